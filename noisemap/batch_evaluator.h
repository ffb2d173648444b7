// Evaluates a chain of libnoise modules over blocks of points.
#pragma once

#include <libnoise/noise.h>

#include <cstdint>
#include <vector>

#include "noisemap/batch_kernels.h"
#include "noisemap/evaluator_choice.h"

namespace noise {
namespace utils {

// Walks the modules that an output module reads, once, reading their settings
// through their getters, and then evaluates the output over blocks of points
// with the values libnoise's GetValue gives, to the bit. Perlin, Billow,
// RidgedMulti, Voronoi and Turbulence run as batch kernels; Const and the
// combiners (Add, Multiply, Min, Max, Invert, ScaleBias, Clamp, Exponent,
// Blend, Select) work element by element; any other module is asked for
// each point through its own GetValue, which also evaluates its sources.
// A module of a class derived from one of these is taken for that class.
//
// Within a block every module is evaluated once, however many modules read
// it, and a Select evaluates only the sources that some point of the block
// takes. The evaluator holds plain references to the modules, which must
// neither change nor die while it is in use; it keeps block values of its
// own, so one evaluator serves one thread at a time.
class BatchEvaluator {
 public:
  // Walks the chain below `output`. `choice` names the kernels and is not
  // kLibnoise.
  BatchEvaluator(const module::Module& output, EvaluatorChoice choice);
  BatchEvaluator(const BatchEvaluator&) = delete;
  BatchEvaluator& operator=(const BatchEvaluator&) = delete;

  // Whether the output module itself is one the evaluator computes; when it
  // is not, every point goes to its GetValue and nothing is gained.
  bool CoversOutput() const { return nodes_.back().kind != Kind::kPointwise; }

  // Writes the output's value at (x[i], y[i], z[i]) to out[i] for i below
  // `count`, in blocks of batch::kBlockSize points.
  void Evaluate(const double* x, const double* y, const double* z, int count, double* out);

 private:
  enum class Kind {
    kPointwise,
    kConst,
    kPerlin,
    kBillow,
    kRidgedMulti,
    kVoronoi,
    kTurbulence,
    kAdd,
    kMultiply,
    kMin,
    kMax,
    kInvert,
    kScaleBias,
    kClamp,
    kExponent,
    kBlend,
    kSelect,
  };

  // One module of the chain. Sources are node indices, sources before
  // readers; source[2] is the control of Blend and Select.
  struct Node {
    Kind kind = Kind::kPointwise;
    const module::Module* module = nullptr;
    int source[3] = {-1, -1, -1};
    // Const value; ScaleBias scale and bias; Clamp, Select bounds (a, b) and
    // Select falloff (c); Exponent; Turbulence power (a).
    double a = 0.0;
    double b = 0.0;
    double c = 0.0;
    batch::CoherentSettings coherent;
    batch::VoronoiSettings voronoi;
    // The RidgedMulti octave weights, or Turbulence's three displacements.
    std::vector<double> spectralWeights;
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

  int AddNode(const module::Module& module);
  void PlaceNode(int node, int level);
  void ReadGenerator(const module::Module& module, Node& node) const;
  bool ReadCombiner(const module::Module& module, Node& node);
  const double* Value(int node, const batch::PointBlock& points, int level);
  void Compute(const Node& node, const batch::PointBlock& points, int level, double* out);
  void ComputeCombiner(const Node& node, const batch::PointBlock& points, int level, double* out);
  void ComputeSelect(const Node& node, const batch::PointBlock& points, int level, double* out);
  void ComputeTurbulence(const Node& node, const batch::PointBlock& points, int level, double* out);
  void ComputeVoronoi(const Node& node, const batch::PointBlock& points, double* out) const;

  const batch::KernelTable& kernels_;
  std::vector<Node> nodes_;
  std::vector<const module::Module*> walked_;
  std::vector<Scope> scopes_;
};

}  // namespace utils
}  // namespace noise
