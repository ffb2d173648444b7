// Evaluates a chain plan over blocks of points.
#pragma once

#include <cstdint>
#include <vector>

#include "noisemap/batch_kernels.h"
#include "noisemap/chain_plan.h"
#include "noisemap/evaluator_choice.h"

namespace noise {
namespace utils {

// Evaluates the output of a chain plan over blocks of points with the values
// libnoise's modules of the same settings give, to the bit. Perlin, Billow,
// RidgedMulti, Voronoi and Turbulence run as batch kernels; Const and the
// combiners (Add, Multiply, Min, Max, Invert, ScaleBias, Clamp, Exponent,
// Blend, Select) work element by element.
//
// Within a block every module is evaluated once, however many modules read
// it, and a Select evaluates only the sources that some point of the block
// takes. The evaluator copies what it needs of the plan; it keeps block
// values of its own, so one evaluator serves one thread at a time, while
// several evaluators may be made from one plan.
class BatchEvaluator {
 public:
  // Takes the modules that the plan's output reads. `choice` names the
  // kernels and is not kLibnoise; the plan is not empty.
  BatchEvaluator(const ChainPlan& plan, EvaluatorChoice choice);
  BatchEvaluator(const BatchEvaluator&) = delete;
  BatchEvaluator& operator=(const BatchEvaluator&) = delete;

  // Writes the output's value at (x[i], y[i], z[i]) to out[i] for i below
  // `count`, in blocks of batch::kBlockSize points.
  void Evaluate(const double* x, const double* y, const double* z, int count, double* out);

 private:
  // One module of the plan. Sources are node indices, sources before
  // readers; source[2] is the control of Blend and Select.
  struct Node {
    ModuleType type = ModuleType::kConst;
    int source[3] = {-1, -1, -1};
    // Const value; ScaleBias scale and bias; Clamp, Select bounds (a, b) and
    // Select falloff (c); Exponent; Turbulence power (a).
    double a = 0.0;
    double b = 0.0;
    double c = 0.0;
    batch::CoherentSettings coherent;
    batch::VoronoiSettings voronoi;
    // The RidgedMulti octave weights.
    std::vector<double> spectralWeights;
    // Turbulence's three displacement generators.
    batch::CoherentSettings distort[3];
  };
  // The block values of the nodes evaluated at one set of points: a
  // Turbulence reads its source at displaced points, one level deeper. Only
  // the nodes that can be evaluated at a level have a slot there, so a
  // chain of Turbulence modules holds one block of values per node, not
  // one per node and level.
  struct Scope {
    std::vector<int> slot;  // per node; -1 where the node never comes
    std::vector<double> values;
    std::vector<uint64_t> stamp;  // per slot: the generation its values are of
    uint64_t generation = 0;
  };

  static Node NodeOf(const PlanModule& module);
  void PlaceNode(int node, int level);
  const double* Value(int node, const batch::PointBlock& points, int level);
  void Compute(const Node& node, const batch::PointBlock& points, int level, double* out);
  void ComputeCombiner(const Node& node, const batch::PointBlock& points, int level, double* out);
  void ComputeSelect(const Node& node, const batch::PointBlock& points, int level, double* out);
  void ComputeTurbulence(const Node& node, const batch::PointBlock& points, int level, double* out);
  void ComputeVoronoi(const Node& node, const batch::PointBlock& points, double* out) const;

  const batch::KernelTable& kernels_;
  std::vector<Node> nodes_;
  std::vector<Scope> scopes_;
};

}  // namespace utils
}  // namespace noise
