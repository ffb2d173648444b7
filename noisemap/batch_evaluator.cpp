#include "noisemap/batch_evaluator.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/pow.h"

namespace noise {
namespace utils {
namespace {

using batch::kBlockSize;
using batch::PointBlock;

// Turbulence's three displacement modules read the point offset by these
// (x, y, z), in 1/65536 units, one row per module.
constexpr double kDistortOffsets[3][3] = {
    {12414.0 / 65536.0, 65124.0 / 65536.0, 31337.0 / 65536.0},
    {26519.0 / 65536.0, 18128.0 / 65536.0, 60493.0 / 65536.0},
    {53820.0 / 65536.0, 11213.0 / 65536.0, 44845.0 / 65536.0},
};

inline double Lerp(double n0, double n1, double a) { return ((1.0 - a) * n0) + (a * n1); }
inline double SCurve3(double a) { return (a * a * (3.0 - 2.0 * a)); }

// A Turbulence's displacement generator: a Perlin of the module's
// frequency and roughness, the rest at the library's defaults.
batch::CoherentSettings PerlinSettings(double frequency, int octaves, int seed) {
  batch::CoherentSettings s;
  s.frequency = frequency;
  s.octaveCount = octaves;
  s.seed = seed;
  return s;
}

// What a Select gives at a point, decided as the module decides it.
enum class SelectCase : unsigned char { kSource0, kSource1, kLowerEdge, kUpperEdge };

SelectCase CaseOf(double c, double lower, double upper, double falloff) {
  if (falloff > 0.0) {
    if (c < (lower - falloff)) return SelectCase::kSource0;
    if (c < (lower + falloff)) return SelectCase::kLowerEdge;
    if (c < (upper - falloff)) return SelectCase::kSource1;
    if (c < (upper + falloff)) return SelectCase::kUpperEdge;
    return SelectCase::kSource0;
  }
  return (c < lower || c > upper) ? SelectCase::kSource0 : SelectCase::kSource1;
}

int WrappingAdd(int a, int b) {
  return static_cast<int>(static_cast<unsigned>(a) + static_cast<unsigned>(b));
}

}  // namespace

BatchEvaluator::BatchEvaluator(const ChainPlan& plan, EvaluatorChoice choice) : kernels_(KernelsOf(choice)) {
  for (int i = 0; i < plan.Size(); ++i) nodes_.push_back(NodeOf(plan[i]));
  PlaceNode(plan.Output(), 0);
  for (Scope& scope : scopes_) {
    const size_t slots = scope.stamp.size();
    scope.values.assign(slots * kBlockSize, 0.0);
  }
}

void BatchEvaluator::PlaceNode(int node, int level) {
  if (scopes_.size() <= static_cast<size_t>(level)) scopes_.resize(static_cast<size_t>(level) + 1);
  Scope& scope = scopes_[static_cast<size_t>(level)];
  if (scope.slot.empty()) scope.slot.assign(nodes_.size(), -1);
  if (scope.slot[static_cast<size_t>(node)] >= 0) return;
  scope.slot[static_cast<size_t>(node)] = static_cast<int>(scope.stamp.size());
  scope.stamp.push_back(0);
  const Node& n = nodes_[static_cast<size_t>(node)];
  const int sourceLevel = n.type == ModuleType::kTurbulence ? level + 1 : level;
  for (int s : n.source) {
    if (s >= 0) PlaceNode(s, sourceLevel);
  }
}

BatchEvaluator::Node BatchEvaluator::NodeOf(const PlanModule& m) {
  Node node;
  node.type = m.type;
  for (int k = 0; k < 3; ++k) node.source[k] = k < PlanModule::InputCount(m.type) ? m.Input(k) : -1;
  switch (m.type) {
    case ModuleType::kPerlin:
    case ModuleType::kBillow:
      node.coherent = m.coherent;
      break;
    case ModuleType::kRidgedMulti: {
      node.coherent = m.coherent;
      // The octave weights as the module computes them when its lacunarity
      // is set: f^-1 for f = 1, lacunarity, lacunarity^2, ...
      double frequency = 1.0;
      for (int i = 0; i < kMaxOctaves; ++i) {
        node.spectralWeights.push_back(platform::Pow(frequency, -1.0));
        frequency *= m.coherent.lacunarity;
      }
      break;
    }
    case ModuleType::kVoronoi:
      node.voronoi = m.voronoi;
      break;
    case ModuleType::kTurbulence:
      node.a = m.power;
      for (int k = 0; k < 3; ++k) {
        node.distort[k] =
            PerlinSettings(m.coherent.frequency, m.coherent.octaveCount, WrappingAdd(m.coherent.seed, k));
      }
      break;
    case ModuleType::kConst:
      node.a = m.constValue;
      break;
    case ModuleType::kScaleBias:
      node.a = m.scale;
      node.b = m.bias;
      break;
    case ModuleType::kClamp:
      node.a = m.lowerBound;
      node.b = m.upperBound;
      break;
    case ModuleType::kSelect:
      node.a = m.lowerBound;
      node.b = m.upperBound;
      node.c = m.edgeFalloff;
      break;
    case ModuleType::kExponent:
      node.a = m.exponent;
      break;
    default:  // Add, Multiply, Min, Max, Invert, Blend: no settings
      break;
  }
  return node;
}

void BatchEvaluator::Evaluate(const double* x, const double* y, const double* z, int count, double* out) {
  const int root = static_cast<int>(nodes_.size()) - 1;
  for (int start = 0; start < count; start += kBlockSize) {
    const PointBlock points{x + start, y + start, z + start, std::min(kBlockSize, count - start)};
    ++scopes_[0].generation;
    const double* values = Value(root, points, 0);
    std::memcpy(out + start, values, sizeof(double) * static_cast<size_t>(points.count));
  }
}

const double* BatchEvaluator::Value(int node, const PointBlock& points, int level) {
  Scope& scope = scopes_[static_cast<size_t>(level)];
  const size_t slot = static_cast<size_t>(scope.slot[static_cast<size_t>(node)]);
  double* values = scope.values.data() + slot * kBlockSize;
  if (scope.stamp[slot] == scope.generation) return values;
  Compute(nodes_[static_cast<size_t>(node)], points, level, values);
  // Scopes never grow after construction, so `scope` still names this
  // level's.
  scope.stamp[slot] = scope.generation;
  return values;
}

void BatchEvaluator::Compute(const Node& node, const PointBlock& p, int level, double* out) {
  const int n = p.count;
  batch::CoherentSettings coherent = node.coherent;
  switch (node.type) {
    case ModuleType::kConst:
      for (int i = 0; i < n; ++i) out[i] = node.a;
      return;
    case ModuleType::kPerlin:
      return kernels_.perlin(coherent, p, out);
    case ModuleType::kBillow:
      return kernels_.billow(coherent, p, out);
    case ModuleType::kRidgedMulti:
      coherent.spectralWeights = node.spectralWeights.data();
      return kernels_.ridgedMulti(coherent, p, out);
    case ModuleType::kVoronoi:
      return ComputeVoronoi(node, p, out);
    case ModuleType::kTurbulence:
      return ComputeTurbulence(node, p, level, out);
    case ModuleType::kSelect:
      return ComputeSelect(node, p, level, out);
    default:
      return ComputeCombiner(node, p, level, out);
  }
}

void BatchEvaluator::ComputeCombiner(const Node& node, const PointBlock& p, int level, double* out) {
  const int n = p.count;
  const double* v0 = Value(node.source[0], p, level);
  const double* v1 = node.source[1] >= 0 ? Value(node.source[1], p, level) : nullptr;
  const double* c = node.source[2] >= 0 ? Value(node.source[2], p, level) : nullptr;
  for (int i = 0; i < n; ++i) {
    switch (node.type) {
      case ModuleType::kAdd:
        out[i] = v0[i] + v1[i];
        break;
      case ModuleType::kMultiply:
        out[i] = v0[i] * v1[i];
        break;
      case ModuleType::kMin:
        out[i] = v0[i] < v1[i] ? v0[i] : v1[i];
        break;
      case ModuleType::kMax:
        out[i] = v0[i] > v1[i] ? v0[i] : v1[i];
        break;
      case ModuleType::kInvert:
        out[i] = -v0[i];
        break;
      case ModuleType::kScaleBias:
        out[i] = v0[i] * node.a + node.b;
        break;
      case ModuleType::kClamp:
        out[i] = v0[i] < node.a ? node.a : (v0[i] > node.b ? node.b : v0[i]);
        break;
      case ModuleType::kExponent:
        out[i] = platform::Pow(std::fabs((v0[i] + 1.0) / 2.0), node.a) * 2.0 - 1.0;
        break;
      default:  // Blend
        out[i] = Lerp(v0[i], v1[i], (c[i] + 1.0) / 2.0);
        break;
    }
  }
}

void BatchEvaluator::ComputeSelect(const Node& node, const PointBlock& p, int level, double* out) {
  const int n = p.count;
  const double lower = node.a;
  const double upper = node.b;
  const double falloff = node.c;
  const double* control = Value(node.source[2], p, level);
  SelectCase cases[kBlockSize];
  bool needs0 = false;
  bool needs1 = false;
  for (int i = 0; i < n; ++i) {
    cases[i] = CaseOf(control[i], lower, upper, falloff);
    needs0 |= cases[i] != SelectCase::kSource1;
    needs1 |= cases[i] != SelectCase::kSource0;
  }
  // Only the sources that some point takes are evaluated.
  const double* v0 = needs0 ? Value(node.source[0], p, level) : nullptr;
  const double* v1 = needs1 ? Value(node.source[1], p, level) : nullptr;
  for (int i = 0; i < n; ++i) {
    const double c = control[i];
    switch (cases[i]) {
      case SelectCase::kSource0:
        out[i] = v0[i];
        break;
      case SelectCase::kSource1:
        out[i] = v1[i];
        break;
      case SelectCase::kLowerEdge: {
        const double lowerCurve = (lower - falloff);
        const double upperCurve = (lower + falloff);
        out[i] = Lerp(v0[i], v1[i], SCurve3((c - lowerCurve) / (upperCurve - lowerCurve)));
        break;
      }
      case SelectCase::kUpperEdge: {
        const double lowerCurve = (upper - falloff);
        const double upperCurve = (upper + falloff);
        out[i] = Lerp(v1[i], v0[i], SCurve3((c - lowerCurve) / (upperCurve - lowerCurve)));
        break;
      }
    }
  }
}

void BatchEvaluator::ComputeTurbulence(const Node& node, const PointBlock& p, int level, double* out) {
  const int n = p.count;
  alignas(64) double shifted[3][kBlockSize];
  alignas(64) double displaced[3][kBlockSize];
  alignas(64) double distortion[kBlockSize];
  const double* axis[3] = {p.x, p.y, p.z};
  for (int k = 0; k < 3; ++k) {
    for (int a = 0; a < 3; ++a) {
      for (int i = 0; i < n; ++i) shifted[a][i] = axis[a][i] + kDistortOffsets[k][a];
    }
    kernels_.perlin(node.distort[k], PointBlock{shifted[0], shifted[1], shifted[2], n}, distortion);
    for (int i = 0; i < n; ++i) displaced[k][i] = axis[k][i] + (distortion[i] * node.a);
  }
  Scope& inner = scopes_[static_cast<size_t>(level) + 1];
  ++inner.generation;
  const double* values =
      Value(node.source[0], PointBlock{displaced[0], displaced[1], displaced[2], n}, level + 1);
  std::memcpy(out, values, sizeof(double) * static_cast<size_t>(n));
}

void BatchEvaluator::ComputeVoronoi(const Node& node, const PointBlock& p, double* out) const {
  kernels_.voronoi(node.voronoi, p, out);
}

}  // namespace utils
}  // namespace noise
