#include "noisemap/batch_evaluator.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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

// Voronoi points whose scaled coordinates reach this go to the module itself:
// libnoise's cell search steps past the 32-bit range there.
constexpr double kVoronoiLimit = 1073741824.0;

inline double Lerp(double n0, double n1, double a) { return ((1.0 - a) * n0) + (a * n1); }
inline double SCurve3(double a) { return (a * a * (3.0 - 2.0 * a)); }

batch::CoherentSettings PerlinSettings(double frequency, int octaves, int seed) {
  batch::CoherentSettings s;
  s.frequency = frequency;
  s.lacunarity = module::DEFAULT_PERLIN_LACUNARITY;
  s.persistence = module::DEFAULT_PERLIN_PERSISTENCE;
  s.octaveCount = octaves;
  s.seed = seed;
  s.quality = static_cast<batch::Quality>(module::DEFAULT_PERLIN_QUALITY);
  return s;
}

template <typename Generator>
batch::CoherentSettings CoherentOf(const Generator& g, double persistence) {
  batch::CoherentSettings s;
  s.frequency = g.GetFrequency();
  s.lacunarity = g.GetLacunarity();
  s.persistence = persistence;
  s.octaveCount = g.GetOctaveCount();
  s.seed = g.GetSeed();
  s.quality = static_cast<batch::Quality>(g.GetNoiseQuality());
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

BatchEvaluator::BatchEvaluator(const module::Module& output, EvaluatorChoice choice)
    : kernels_(KernelsOf(choice)) {
  PlaceNode(AddNode(output), 0);
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
  const int sourceLevel = n.kind == Kind::kTurbulence ? level + 1 : level;
  for (int s : n.source) {
    if (s >= 0) PlaceNode(s, sourceLevel);
  }
}

int BatchEvaluator::AddNode(const module::Module& module) {
  const auto known = std::find(walked_.begin(), walked_.end(), &module);
  if (known != walked_.end()) return static_cast<int>(known - walked_.begin());
  Node node;
  node.module = &module;
  ReadGenerator(module, node);
  if (node.kind == Kind::kPointwise) ReadCombiner(module, node);
  nodes_.push_back(node);
  walked_.push_back(&module);
  return static_cast<int>(nodes_.size()) - 1;
}

void BatchEvaluator::ReadGenerator(const module::Module& m, Node& node) const {
  if (const auto* perlin = dynamic_cast<const module::Perlin*>(&m)) {
    node.kind = Kind::kPerlin;
    node.coherent = CoherentOf(*perlin, perlin->GetPersistence());
  } else if (const auto* billow = dynamic_cast<const module::Billow*>(&m)) {
    node.kind = Kind::kBillow;
    node.coherent = CoherentOf(*billow, billow->GetPersistence());
  } else if (const auto* ridged = dynamic_cast<const module::RidgedMulti*>(&m)) {
    node.kind = Kind::kRidgedMulti;
    node.coherent = CoherentOf(*ridged, 0.0);
    // The octave weights as the module computes them when its lacunarity is
    // set: f^-1 for f = 1, lacunarity, lacunarity^2, ...
    double frequency = 1.0;
    for (int i = 0; i < module::RIDGED_MAX_OCTAVE; ++i) {
      node.spectralWeights.push_back(std::pow(frequency, -1.0));
      frequency *= ridged->GetLacunarity();
    }
  } else if (const auto* voronoi = dynamic_cast<const module::Voronoi*>(&m)) {
    node.kind = Kind::kVoronoi;
    node.voronoi.frequency = voronoi->GetFrequency();
    node.voronoi.displacement = voronoi->GetDisplacement();
    node.voronoi.seed = voronoi->GetSeed();
    node.voronoi.distanceEnabled = voronoi->IsDistanceEnabled();
  } else if (const auto* constant = dynamic_cast<const module::Const*>(&m)) {
    node.kind = Kind::kConst;
    node.a = constant->GetConstValue();
  }
}

bool BatchEvaluator::ReadCombiner(const module::Module& m, Node& node) {
  // Sources are walked first, so that every node comes after those it reads.
  const auto sources = [&](int count) {
    for (int i = 0; i < count; ++i) node.source[i] = AddNode(m.GetSourceModule(i));
  };
  if (const auto* select = dynamic_cast<const module::Select*>(&m)) {
    sources(2);
    node.source[2] = AddNode(select->GetControlModule());
    node.kind = Kind::kSelect;
    node.a = select->GetLowerBound();
    node.b = select->GetUpperBound();
    node.c = select->GetEdgeFalloff();
  } else if (const auto* blend = dynamic_cast<const module::Blend*>(&m)) {
    sources(2);
    node.source[2] = AddNode(blend->GetControlModule());
    node.kind = Kind::kBlend;
  } else if (const auto* turbulence = dynamic_cast<const module::Turbulence*>(&m)) {
    sources(1);
    node.kind = Kind::kTurbulence;
    node.a = turbulence->GetPower();
    for (int k = 0; k < 3; ++k) {
      node.distort[k] = PerlinSettings(turbulence->GetFrequency(), turbulence->GetRoughnessCount(),
                                       WrappingAdd(turbulence->GetSeed(), k));
    }
  } else if (const auto* scaleBias = dynamic_cast<const module::ScaleBias*>(&m)) {
    sources(1);
    node.kind = Kind::kScaleBias;
    node.a = scaleBias->GetScale();
    node.b = scaleBias->GetBias();
  } else if (const auto* clamp = dynamic_cast<const module::Clamp*>(&m)) {
    sources(1);
    node.kind = Kind::kClamp;
    node.a = clamp->GetLowerBound();
    node.b = clamp->GetUpperBound();
  } else if (const auto* exponent = dynamic_cast<const module::Exponent*>(&m)) {
    sources(1);
    node.kind = Kind::kExponent;
    node.a = exponent->GetExponent();
  } else if (dynamic_cast<const module::Invert*>(&m) != nullptr) {
    sources(1);
    node.kind = Kind::kInvert;
  } else {
    const Kind two = dynamic_cast<const module::Add*>(&m) != nullptr        ? Kind::kAdd
                     : dynamic_cast<const module::Multiply*>(&m) != nullptr ? Kind::kMultiply
                     : dynamic_cast<const module::Min*>(&m) != nullptr      ? Kind::kMin
                     : dynamic_cast<const module::Max*>(&m) != nullptr      ? Kind::kMax
                                                                            : Kind::kPointwise;
    if (two == Kind::kPointwise) return false;
    sources(2);
    node.kind = two;
  }
  return true;
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
  switch (node.kind) {
    case Kind::kPointwise:
      for (int i = 0; i < n; ++i) out[i] = node.module->GetValue(p.x[i], p.y[i], p.z[i]);
      return;
    case Kind::kConst:
      for (int i = 0; i < n; ++i) out[i] = node.a;
      return;
    case Kind::kPerlin:
      return kernels_.perlin(coherent, p, out);
    case Kind::kBillow:
      return kernels_.billow(coherent, p, out);
    case Kind::kRidgedMulti:
      coherent.spectralWeights = node.spectralWeights.data();
      return kernels_.ridgedMulti(coherent, p, out);
    case Kind::kVoronoi:
      return ComputeVoronoi(node, p, out);
    case Kind::kTurbulence:
      return ComputeTurbulence(node, p, level, out);
    case Kind::kSelect:
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
    switch (node.kind) {
      case Kind::kAdd:
        out[i] = v0[i] + v1[i];
        break;
      case Kind::kMultiply:
        out[i] = v0[i] * v1[i];
        break;
      case Kind::kMin:
        out[i] = v0[i] < v1[i] ? v0[i] : v1[i];
        break;
      case Kind::kMax:
        out[i] = v0[i] > v1[i] ? v0[i] : v1[i];
        break;
      case Kind::kInvert:
        out[i] = -v0[i];
        break;
      case Kind::kScaleBias:
        out[i] = v0[i] * node.a + node.b;
        break;
      case Kind::kClamp:
        out[i] = v0[i] < node.a ? node.a : (v0[i] > node.b ? node.b : v0[i]);
        break;
      case Kind::kExponent:
        out[i] = std::pow(std::fabs((v0[i] + 1.0) / 2.0), node.a) * 2.0 - 1.0;
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
  const double f = node.voronoi.frequency;
  for (int i = 0; i < p.count; ++i) {
    const bool inRange = std::fabs(p.x[i] * f) < kVoronoiLimit && std::fabs(p.y[i] * f) < kVoronoiLimit &&
                         std::fabs(p.z[i] * f) < kVoronoiLimit;
    if (!inRange) out[i] = node.module->GetValue(p.x[i], p.y[i], p.z[i]);
  }
}

}  // namespace utils
}  // namespace noise
