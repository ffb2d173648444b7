// A chain of noise modules described as data: per module its type, its
// settings and the modules it reads. The batch evaluator computes a plan;
// where libnoise is present, its modules can be built from the same plan.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "noisemap/batch_kernels.h"

namespace noise {
namespace utils {

// The module types a plan holds, numbered as the command file's type codes
// name them. Each computes what the libnoise class of the same name does.
enum class ModuleType : int32_t {
  kPerlin = 0,
  kRidgedMulti = 1,
  kBillow = 2,
  kScaleBias = 3,
  kSelect = 4,
  kBlend = 5,
  kAdd = 6,
  kConst = 7,
  kVoronoi = 8,
  kMultiply = 9,
  kMin = 10,
  kMax = 11,
  kClamp = 12,
  kExponent = 13,
  kTurbulence = 14,
  kInvert = 15,
};

// The largest octave count of the coherent generators (and the Turbulence
// roughness): the RidgedMulti octave weights are kept for this many.
constexpr int kMaxOctaves = 30;

// One module of a plan. Of(type) gives a module of that type with every
// setting at the library's default for it; each type reads only the settings
// its comment names:
// - Perlin, Billow: coherent (all but spectralWeights);
// - RidgedMulti: coherent but persistence;
// - Voronoi: voronoi;
// - Turbulence: coherent.frequency, coherent.octaveCount (the roughness),
//   coherent.seed and power; its three displacement generators are Perlins
//   of those settings with seeds seed, seed + 1 and seed + 2;
// - ScaleBias: scale and bias; Clamp: lowerBound and upperBound; Select:
//   lowerBound, upperBound and edgeFalloff; Exponent: exponent; Const:
//   constValue;
// - Add, Multiply, Min, Max, Invert, Blend: none.
// Inputs are indices of earlier modules of the plan: source0 for every type
// that reads one, source1 for the two-source types, control for Blend and
// Select; -1 where the type has no such input.
struct PlanModule {
  ModuleType type = ModuleType::kPerlin;
  int source0 = -1;
  int source1 = -1;
  int control = -1;
  batch::CoherentSettings coherent;
  batch::VoronoiSettings voronoi;
  double power = 1.0;
  double scale = 1.0;
  double bias = 0.0;
  double lowerBound = -1.0;
  double upperBound = 1.0;
  double edgeFalloff = 0.0;
  double exponent = 1.0;
  double constValue = 0.0;

  // The library's default roughness of a Turbulence, whose displacement
  // generators otherwise keep the Perlin defaults.
  static constexpr int kDefaultRoughness = 3;

  // A module of `type`, every setting at the library's default for it and
  // no input set.
  static PlanModule Of(ModuleType type);
  // How many inputs (sources and control) a module of `type` reads.
  static int InputCount(ModuleType type);
  // The module's inputs in the order source0, source1, control, as many as
  // InputCount says.
  int Input(int k) const { return k == 0 ? source0 : k == 1 ? source1 : control; }
};

// The modules of one chain in order; the last one is the chain's output.
// Every module reads only modules before it, so the plan can be evaluated
// from the first module on. A plan does not change once it is made and may
// be read by several threads at once.
class ChainPlan {
 public:
  // Appends `module`. Each of its inputs must name an earlier module;
  // otherwise noise::ExceptionInvalidParam, and the plan is unchanged.
  void Add(const PlanModule& module);

  int Size() const { return static_cast<int>(modules_.size()); }
  bool Empty() const { return modules_.empty(); }
  const PlanModule& operator[](int index) const { return modules_[static_cast<size_t>(index)]; }
  // The index of the output module; the plan is not empty.
  int Output() const { return Size() - 1; }
  // How many times later modules read module `index` (each input counted,
  // so an Add of one module with itself reads it twice).
  int Reads(int index) const;

 private:
  std::vector<PlanModule> modules_;
};

}  // namespace utils
}  // namespace noise
