// The body of the batch kernels, compiled once per processor level: the file
// that includes it defines BATCH_KERNEL_TABLE as the name of the accessor it
// provides and is compiled with that level's target flags. Everything here
// has internal linkage, so no function compiled for one level can stand in
// for another's at link time; for the same reason no inline function or
// template of a library header is used. Every floating-point operation is
// libnoise's own, in its order, and the build forbids fused multiply-add, so
// every level gives libnoise's bits.
#ifndef BATCH_KERNEL_TABLE
#error "define BATCH_KERNEL_TABLE before including batch_kernels_body.h"
#endif

#include <math.h>
#include <stdint.h>
#include <string.h>

#include "noisemap/batch_kernels.h"
#include "noisemap/gradient_vectors.h"

#if defined(__AVX512F__) && defined(__AVX512DQ__) && defined(__AVX512VL__)
#define BATCH_KERNEL_LANES 8
#include <immintrin.h>
#elif defined(__AVX2__)
#define BATCH_KERNEL_LANES 4
#include <immintrin.h>
#else
#define BATCH_KERNEL_LANES 1
#endif

namespace noise {
namespace utils {
namespace batch {
namespace {

const double* const kGradients = kGradientVectors;

// Coordinates at or beyond +-2^30 are folded into range as libnoise does.
constexpr double kFoldLimit = 1073741824.0;
constexpr double kGradientScale = 2.12;
constexpr uint32_t kXNoise = 1619;
constexpr uint32_t kYNoise = 31337;
constexpr uint32_t kZNoise = 6971;
constexpr uint32_t kSeedNoise = 1013;

// Truncation toward zero as the processor's conversion gives it: NaN and
// values outside the 32-bit range give INT32_MIN.
inline int32_t Truncate(double value) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return INT32_MIN;
  return static_cast<int32_t>(value);
}

inline int32_t WrappingAdd(int32_t a, uint32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + b);
}

// The integer cell below a coordinate: truncation, one less for values not
// above zero (so -0.0 and 0.0 lie in cell -1, as in libnoise).
inline int32_t CellOf(double c) {
  const int32_t t = Truncate(c);
  return c > 0.0 ? t : WrappingAdd(t, 0xffffffffu);
}

inline double Fold(double n) {
  if (n >= kFoldLimit) return (2.0 * fmod(n, kFoldLimit)) - kFoldLimit;
  if (n <= -kFoldLimit) return (2.0 * fmod(n, kFoldLimit)) + kFoldLimit;
  return n;
}

inline double Lerp(double n0, double n1, double a) { return ((1.0 - a) * n0) + (a * n1); }

inline double Curve(Quality quality, double s) {
  if (quality == Quality::kStandard) return s * s * (3.0 - 2.0 * s);
  if (quality == Quality::kBest) {
    const double s3 = s * s * s;
    const double s4 = s3 * s;
    const double s5 = s4 * s;
    return (6.0 * s5) - (15.0 * s4) + (10.0 * s3);
  }
  return s;
}

inline double Gradient(double fx, double fy, double fz, int32_t ix, int32_t iy, int32_t iz,
                       uint32_t seedTerm) {
  // Only the low 8 bits of h ^ (h >> 8) are kept, which an arithmetic and a
  // logical shift agree on.
  const uint32_t h = kXNoise * static_cast<uint32_t>(ix) + kYNoise * static_cast<uint32_t>(iy) +
                     kZNoise * static_cast<uint32_t>(iz) + seedTerm;
  const double* g = kGradients + (((h ^ (h >> 8)) & 0xffu) << 2);
  return ((g[0] * (fx - static_cast<double>(ix))) + (g[1] * (fy - static_cast<double>(iy))) +
          (g[2] * (fz - static_cast<double>(iz)))) *
         kGradientScale;
}

// Coherent gradient noise at one point whose coordinates are in range.
[[maybe_unused]] double GradientPoint(Quality quality, int32_t seed, double x, double y, double z) {
  const int32_t x0 = CellOf(x);
  const int32_t y0 = CellOf(y);
  const int32_t z0 = CellOf(z);
  const int32_t x1 = WrappingAdd(x0, 1);
  const int32_t y1 = WrappingAdd(y0, 1);
  const int32_t z1 = WrappingAdd(z0, 1);
  const double xs = Curve(quality, x - static_cast<double>(x0));
  const double ys = Curve(quality, y - static_cast<double>(y0));
  const double zs = Curve(quality, z - static_cast<double>(z0));
  const uint32_t st = kSeedNoise * static_cast<uint32_t>(seed);
  double ix0 = Lerp(Gradient(x, y, z, x0, y0, z0, st), Gradient(x, y, z, x1, y0, z0, st), xs);
  double ix1 = Lerp(Gradient(x, y, z, x0, y1, z0, st), Gradient(x, y, z, x1, y1, z0, st), xs);
  const double iy0 = Lerp(ix0, ix1, ys);
  ix0 = Lerp(Gradient(x, y, z, x0, y0, z1, st), Gradient(x, y, z, x1, y0, z1, st), xs);
  ix1 = Lerp(Gradient(x, y, z, x0, y1, z1, st), Gradient(x, y, z, x1, y1, z1, st), xs);
  const double iy1 = Lerp(ix0, ix1, ys);
  return Lerp(iy0, iy1, zs);
}

enum class Coherent { kPerlin, kBillow, kRidged };

// Copies `in` to `out`, folding every lane that needs it.
void FoldBlock(const double* in, double* out, int count) {
  bool inRange = true;
  for (int i = 0; i < count; ++i) {
    out[i] = in[i];
    inRange &= fabs(in[i]) < kFoldLimit;
  }
  if (inRange) return;
  for (int i = 0; i < count; ++i) out[i] = Fold(in[i]);
}

// One octave's signal added to the sum as each generator adds it. The
// RidgedMulti weight carries over to the next octave.
template <Coherent kind>
inline void Accumulate(double signal, double persistence, double spectral, double& value, double& weight) {
  if (kind == Coherent::kPerlin) {
    value += signal * persistence;
  } else if (kind == Coherent::kBillow) {
    value += (2.0 * fabs(signal) - 1.0) * persistence;
  } else {
    double r = 1.0 - fabs(signal);
    r *= r;
    r *= weight;
    double w = r * 2.0;
    w = w > 1.0 ? 1.0 : w;
    weight = w < 0.0 ? 0.0 : w;
    value += r * spectral;
  }
}

// The octave's seed: RidgedMulti keeps it non-negative.
template <Coherent kind>
inline int32_t OctaveSeed(int seed, int k) {
  uint32_t octaveSeed = static_cast<uint32_t>(seed) + static_cast<uint32_t>(k);
  if (kind == Coherent::kRidged) octaveSeed &= 0x7fffffffu;
  return static_cast<int32_t>(octaveSeed);
}

// The octave loop point by point: the sums of the octaves' signals at the
// scaled points (x, y, z), which it scales on by the lacunarity.
template <Coherent kind>
[[maybe_unused]] void OctavesPointwise(const CoherentSettings& s, double* x, double* y, double* z, int n,
                                       double* value) {
  alignas(64) double fx[kBlockSize], fy[kBlockSize], fz[kBlockSize], weight[kBlockSize];
  for (int i = 0; i < n; ++i) {
    value[i] = 0.0;
    weight[i] = 1.0;
  }
  double persistence = 1.0;
  for (int k = 0; k < s.octaveCount; ++k) {
    FoldBlock(x, fx, n);
    FoldBlock(y, fy, n);
    FoldBlock(z, fz, n);
    const int32_t seed = OctaveSeed<kind>(s.seed, k);
    const double spectral = kind == Coherent::kRidged ? s.spectralWeights[k] : 0.0;
    for (int i = 0; i < n; ++i) {
      const double signal = GradientPoint(s.quality, seed, fx[i], fy[i], fz[i]);
      Accumulate<kind>(signal, persistence, spectral, value[i], weight[i]);
      x[i] *= s.lacunarity;
      y[i] *= s.lacunarity;
      z[i] *= s.lacunarity;
    }
    persistence *= s.persistence;
  }
}

#include "noisemap/batch_kernels_simd.h"

// Rounds a count up to whole vectors.
inline int Padded(int count) {
  return (count + BATCH_KERNEL_LANES - 1) / BATCH_KERNEL_LANES * BATCH_KERNEL_LANES;
}

// Perlin, Billow and RidgedMulti: the octave loop around gradient noise.
// Lanes beyond the block's count are zero points whose values are dropped.
template <Coherent kind>
void CoherentOctaves(const CoherentSettings& s, const PointBlock& p, double* out) {
  alignas(64) double x[kBlockSize], y[kBlockSize], z[kBlockSize], value[kBlockSize];
  const int n = Padded(p.count);
  for (int i = 0; i < n; ++i) {
    const bool real = i < p.count;
    x[i] = real ? p.x[i] * s.frequency : 0.0;
    y[i] = real ? p.y[i] * s.frequency : 0.0;
    z[i] = real ? p.z[i] * s.frequency : 0.0;
  }
#if BATCH_KERNEL_LANES > 1
  OctavesVectors<kind>(s, x, y, z, n, value);
#else
  OctavesPointwise<kind>(s, x, y, z, n, value);
#endif
  for (int i = 0; i < p.count; ++i) {
    if (kind == Coherent::kPerlin) out[i] = value[i];
    if (kind == Coherent::kBillow) out[i] = value[i] + 0.5;
    if (kind == Coherent::kRidged) out[i] = (value[i] * 1.25) - 1.0;
  }
}

void PerlinBlock(const CoherentSettings& s, const PointBlock& p, double* out) {
  CoherentOctaves<Coherent::kPerlin>(s, p, out);
}
void BillowBlock(const CoherentSettings& s, const PointBlock& p, double* out) {
  CoherentOctaves<Coherent::kBillow>(s, p, out);
}
void RidgedBlock(const CoherentSettings& s, const PointBlock& p, double* out) {
  CoherentOctaves<Coherent::kRidged>(s, p, out);
}

// libnoise's integer value noise as Debian's build computes it: the final
// mask of the source is not applied, so the result may be negative.
inline int32_t IntValueNoise(int32_t x, int32_t y, int32_t z, uint32_t seed) {
  uint32_t n = (kXNoise * static_cast<uint32_t>(x) + kYNoise * static_cast<uint32_t>(y) +
                kZNoise * static_cast<uint32_t>(z) + kSeedNoise * seed) &
               0x7fffffffu;
  n = (n >> 13) ^ n;
  return static_cast<int32_t>(n * (n * n * 60493u + 19990303u) + 1376312589u);
}

inline double ValueNoise(int32_t x, int32_t y, int32_t z, uint32_t seed) {
  return 1.0 - (static_cast<double>(IntValueNoise(x, y, z, seed)) / 1073741824.0);
}

// An operation on two doubles as x86-64, where libnoise runs, gives it,
// down to the bits of a NaN: an operand's NaN passes on, the first
// operand's before the second's, made quiet; two numbers that make none
// (infinity times zero) give the default NaN, negative with an empty
// payload. `result` is the operation's value, kept when it is a number.
// With the operands in libnoise's order this fixes which NaN comes out,
// whatever order the compiler puts them in.
inline double AsOnX86(double first, double second, double result) {
  uint64_t bits;
  if (first != first) {
    memcpy(&bits, &first, sizeof bits);
  } else if (second != second) {
    memcpy(&bits, &second, sizeof bits);
  } else if (result != result) {
    bits = 0xfff8000000000000u;
  } else {
    return result;
  }
  bits |= 0x0008000000000000u;
  memcpy(&result, &bits, sizeof result);
  return result;
}

// Voronoi cells, lane by lane within each of the 125 neighbouring cubes, z
// outermost and x innermost, so the first nearest seed point wins as in
// libnoise. Every lane is libnoise's, whatever its coordinates:
// - A coordinate's cell is its truncation less one unless it is above zero,
//   with NaN and values beyond the 32-bit range truncating to INT32_MIN: a
//   NaN or a coordinate at or below -2^31 lies in cell INT32_MAX, one at or
//   above 2^31 in cell INT32_MIN.
// - The five cells of each axis wrap around in 32 bits, so near a limit they
//   run on from INT32_MAX to INT32_MIN, and a seed point lies at its wrapped
//   cell as a double.
// - A point with no seed point nearer than the starting bound (a squared
//   distance of 2^31 - 1) keeps the seed point (0, 0, 0).
// - A NaN result carries the NaN that libnoise's compiled code passes on:
//   it scales as coordinate * frequency, sums the squares as
//   (y's + x's) + z's and adds the distance term to the displaced cell
//   value, the first operand's NaN winning each time. Of the scalings only
//   y's order can show: a NaN frequency makes every coordinate NaN, and y's
//   square comes first.
void VoronoiPointwise(const VoronoiSettings& s, const PointBlock& p, double* out) {
  alignas(64) double x[kBlockSize], y[kBlockSize], z[kBlockSize];
  alignas(64) double best[kBlockSize], bx[kBlockSize], by[kBlockSize], bz[kBlockSize];
  alignas(64) int32_t xi[kBlockSize], yi[kBlockSize], zi[kBlockSize];
  const int n = p.count;
  const uint32_t seed = static_cast<uint32_t>(s.seed);
  for (int i = 0; i < n; ++i) {
    x[i] = AsOnX86(p.x[i], s.frequency, p.x[i] * s.frequency);
    y[i] = AsOnX86(p.y[i], s.frequency, p.y[i] * s.frequency);
    z[i] = AsOnX86(p.z[i], s.frequency, p.z[i] * s.frequency);
    xi[i] = CellOf(x[i]);
    yi[i] = CellOf(y[i]);
    zi[i] = CellOf(z[i]);
    best[i] = 2147483647.0;
    bx[i] = by[i] = bz[i] = 0.0;
  }
  for (int dz = -2; dz <= 2; ++dz) {
    for (int dy = -2; dy <= 2; ++dy) {
      for (int dx = -2; dx <= 2; ++dx) {
        for (int i = 0; i < n; ++i) {
          const int32_t xc = WrappingAdd(xi[i], static_cast<uint32_t>(dx));
          const int32_t yc = WrappingAdd(yi[i], static_cast<uint32_t>(dy));
          const int32_t zc = WrappingAdd(zi[i], static_cast<uint32_t>(dz));
          const double px = static_cast<double>(xc) + ValueNoise(xc, yc, zc, seed);
          const double py = static_cast<double>(yc) + ValueNoise(xc, yc, zc, seed + 1u);
          const double pz = static_cast<double>(zc) + ValueNoise(xc, yc, zc, seed + 2u);
          const double ddx = px - x[i];
          const double ddy = py - y[i];
          const double ddz = pz - z[i];
          const double d = ddx * ddx + ddy * ddy + ddz * ddz;
          const bool nearer = d < best[i];
          best[i] = nearer ? d : best[i];
          bx[i] = nearer ? px : bx[i];
          by[i] = nearer ? py : by[i];
          bz[i] = nearer ? pz : bz[i];
        }
      }
    }
  }
  for (int i = 0; i < n; ++i) {
    double value = 0.0;
    if (s.distanceEnabled) {
      const double ddx = bx[i] - x[i];
      const double ddy = by[i] - y[i];
      const double ddz = bz[i] - z[i];
      const double xx = ddx * ddx;
      const double yy = ddy * ddy;
      const double zz = ddz * ddz;
      const double xy = AsOnX86(yy, xx, yy + xx);
      const double d = AsOnX86(xy, zz, xy + zz);
      // A NaN goes past the square root untouched, as on x86, whatever the
      // C library's sqrt makes of it.
      value = (d != d ? d : sqrt(d)) * 1.7320508075688772935 - 1.0;
    }
    const double cell =
        ValueNoise(Truncate(floor(bx[i])), Truncate(floor(by[i])), Truncate(floor(bz[i])), 0u);
    const double displaced = AsOnX86(s.displacement, cell, s.displacement * cell);
    out[i] = AsOnX86(displaced, value, displaced + value);
  }
}

// Voronoi for every lane of a block. The vectors find the same seed points
// and numbers as libnoise for any coordinates, but which NaN comes out of an
// operation on two depends on how the compiler ordered its operands, so
// lanes whose value is NaN, rare, are computed again point by point.
void VoronoiBlock(const VoronoiSettings& s, const PointBlock& p, double* out) {
#if BATCH_KERNEL_LANES > 1
  VoronoiVectors(s, p, out);
  alignas(64) double x[kBlockSize], y[kBlockSize], z[kBlockSize], value[kBlockSize];
  int lane[kBlockSize];
  int nans = 0;
  for (int i = 0; i < p.count; ++i) {
    if (out[i] != out[i]) {
      lane[nans] = i;
      x[nans] = p.x[i];
      y[nans] = p.y[i];
      z[nans] = p.z[i];
      ++nans;
    }
  }
  if (nans == 0) return;
  VoronoiPointwise(s, PointBlock{x, y, z, nans}, value);
  for (int k = 0; k < nans; ++k) out[lane[k]] = value[k];
#else
  VoronoiPointwise(s, p, out);
#endif
}

}  // namespace

const KernelTable& BATCH_KERNEL_TABLE() {
  static const KernelTable table = {PerlinBlock, BillowBlock, RidgedBlock, VoronoiBlock};
  return table;
}

}  // namespace batch
}  // namespace utils
}  // namespace noise
