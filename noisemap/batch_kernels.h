// The batch evaluator's generator kernels: libnoise's coherent-noise
// generators over blocks of points, equal to its GetValue to the bit.
#pragma once

namespace noise {
namespace utils {
namespace batch {

// Points per block. Every kernel takes 1 .. kBlockSize points; the plane
// builder hands out pieces of a row of this length.
constexpr int kBlockSize = 64;

// How smoothly coherent noise passes between the integer lattice points:
// linear, a cubic or a quintic curve (libnoise's QUALITY_FAST, QUALITY_STD
// and QUALITY_BEST, with the same numbers).
enum class Quality : int { kFast = 0, kStandard = 1, kBest = 2 };

// The settings of a Perlin, Billow or RidgedMulti module. Persistence is unused by RidgedMulti, whose octave
// weights come in `spectralWeights` (octave k's weight, as the module computes it).
struct CoherentSettings {
  double frequency = 1.0;
  double lacunarity = 2.0;
  double persistence = 0.5;
  int octaveCount = 6;
  int seed = 0;
  Quality quality = Quality::kStandard;
  const double* spectralWeights = nullptr;
};

// The settings of a Voronoi module.
struct VoronoiSettings {
  double frequency = 1.0;
  double displacement = 1.0;
  int seed = 0;
  bool distanceEnabled = false;
};

// The points of a block: `count` points at (x[i], y[i], z[i]).
struct PointBlock {
  const double* x;
  const double* y;
  const double* z;
  int count;
};

typedef void (*CoherentKernel)(const CoherentSettings& settings, const PointBlock& points, double* out);
typedef void (*VoronoiKernel)(const VoronoiSettings& settings, const PointBlock& points, double* out);

// One set of kernels, all compiled for one processor level.
struct KernelTable {
  CoherentKernel perlin;
  CoherentKernel billow;
  CoherentKernel ridgedMulti;
  VoronoiKernel voronoi;
};

// The kernels in plain C++ for any processor, and the same computations
// compiled for x86-64-v3 (AVX2) and x86-64-v4 (AVX-512). In an x86-64 build
// the latter two run only on processors that have those levels; elsewhere
// they are the plain kernels again.
const KernelTable& PortableKernels();
const KernelTable& X86_64V3Kernels();
const KernelTable& X86_64V4Kernels();

}  // namespace batch
}  // namespace utils
}  // namespace noise
