#include "generator/module_kind.h"

#include <cstddef>

namespace duneforge {

namespace {

constexpr double kNoLimit = 0.0;

// A field that sets `sets`, with no range of its own.
constexpr ModuleField Setting(const char* name, const char* sets, double defaultValue) {
  return {name, sets, FieldUse::kSetting, false, kNoLimit, false, kNoLimit, defaultValue};
}
// A field refused outside lower .. upper.
constexpr ModuleField Ranged(const char* name, const char* sets, double lower, double upper,
                             double defaultValue) {
  return {name, sets, FieldUse::kSetting, true, lower, true, upper, defaultValue};
}
// A field refused only above `upper`.
constexpr ModuleField AtMost(const char* name, const char* sets, double upper, double defaultValue) {
  return {name, sets, FieldUse::kSetting, false, kNoLimit, true, upper, defaultValue};
}
// A field that names an earlier row.
constexpr ModuleField Index(const char* name, const char* sets) {
  return {name, sets, FieldUse::kRowIndex, false, kNoLimit, false, kNoLimit, 0.0};
}
constexpr ModuleField Unread(const char* name) {
  return {name, "not read", FieldUse::kNotRead, false, kNoLimit, false, kNoLimit, 0.0};
}

constexpr ModuleField kOctaves = Ranged("p1", "octave count", 1, kMaxOctaveCount, 6);
constexpr ModuleField kFrequency = Setting("p2", "frequency", 1.0);
constexpr ModuleField kSeed = Setting("p4", "seed = trunc(p4 x 10 + seedBase)", 0.0);
constexpr ModuleField kFirstSource = Index("p1", "source 0 = row p1");
constexpr ModuleField kSecondSource = Index("p2", "source 1 = row trunc(p2)");

constexpr ModuleInput kNoInput = {"", InputSource::kPrevious};
constexpr std::array<ModuleInput, 3> kNoInputs = {kNoInput, kNoInput, kNoInput};
constexpr std::array<ModuleInput, 3> kPreviousSource = {ModuleInput{"source 0", InputSource::kPrevious},
                                                        kNoInput, kNoInput};
constexpr std::array<ModuleInput, 3> kTwoSources = {ModuleInput{"source 0", InputSource::kRowP1},
                                                    ModuleInput{"source 1", InputSource::kRowP2}, kNoInput};
constexpr std::array<ModuleInput, 3> kControlAndTwoSources = {ModuleInput{"control", InputSource::kPrevious},
                                                              ModuleInput{"source 0", InputSource::kRowP1},
                                                              ModuleInput{"source 1", InputSource::kRowP2}};

constexpr ModuleKind Combiner(ModuleType type, const char* name, const char* moduleClass) {
  return {type, name, moduleClass, {kFirstSource, kSecondSource, Unread("p3"), Unread("p4")}, 2, kTwoSources};
}

// Defaults give each setting the library's default where they can: a
// ScaleBias of scale 1 and bias 0, a Clamp of -1 .. 1, a Turbulence of
// frequency 1 and power 1.
constexpr std::array<ModuleKind, kModuleKindCount> kKinds = {{
    {ModuleType::kPerlin,
     "Perlin",
     "noise::module::Perlin",
     {kOctaves, kFrequency, Setting("p3", "persistence", 0.5), kSeed},
     0,
     kNoInputs},
    {ModuleType::kRidgedMulti,
     "RidgedMulti",
     "noise::module::RidgedMulti",
     // The library accepts 0 and negative counts here; only above 30 fails.
     {AtMost("p1", "octave count", kMaxOctaveCount, 6), kFrequency, Unread("p3"), kSeed},
     0,
     kNoInputs},
    {ModuleType::kBillow,
     "Billow",
     "noise::module::Billow",
     {kOctaves, kFrequency, Setting("p3", "persistence", 0.5), kSeed},
     0,
     kNoInputs},
    {ModuleType::kScaleBias,
     "ScaleBias",
     "noise::module::ScaleBias",
     {Setting("p1", "bias = (p3 - 0.5) x (p1 div 10)", 0.0), Setting("p2", "scale = p2 - p4 / 10", 1.0),
      Setting("p3", "bias = (p3 - 0.5) x (p1 div 10)", 0.5), Setting("p4", "scale = p2 - p4 / 10", 0.0)},
     1,
     kPreviousSource},
    {ModuleType::kSelect,
     "Select",
     "noise::module::Select",
     {kFirstSource, kSecondSource, Setting("p3", "edge falloff", 0.0), Unread("p4")},
     3,
     kControlAndTwoSources},
    {ModuleType::kBlend,
     "Blend",
     "noise::module::Blend",
     {kFirstSource, kSecondSource, Unread("p3"), Unread("p4")},
     3,
     kControlAndTwoSources},
    Combiner(ModuleType::kAdd, "Add", "noise::module::Add"),
    {ModuleType::kConst,
     "Const",
     "noise::module::Const",
     {Setting("p1", "constant = p1 - p2", 0.0), Setting("p2", "constant = p1 - p2", 0.0), Unread("p3"),
      Unread("p4")},
     0,
     kNoInputs},
    {ModuleType::kVoronoi,
     "Voronoi",
     "noise::module::Voronoi",
     {Setting("p1", "displacement = p1 + p3", 1.0), kFrequency, Setting("p3", "displacement = p1 + p3", 0.0),
      kSeed},
     0,
     kNoInputs},
    Combiner(ModuleType::kMultiply, "Multiply", "noise::module::Multiply"),
    Combiner(ModuleType::kMin, "Min", "noise::module::Min"),
    Combiner(ModuleType::kMax, "Max", "noise::module::Max"),
    {ModuleType::kClamp,
     "Clamp",
     "noise::module::Clamp",
     {kFirstSource, Setting("p2", "lower bound = p4 / 10 - p2", 1.0),
      Setting("p3", "upper bound, above the lower bound", 1.0),
      Setting("p4", "lower bound = p4 / 10 - p2", 0.0)},
     1,
     {ModuleInput{"source 0", InputSource::kRowP1}, kNoInput, kNoInput}},
    {ModuleType::kExponent,
     "Exponent",
     "noise::module::Exponent",
     {Setting("p1", "exponent = p1 + p3", 1.0), Unread("p2"), Setting("p3", "exponent = p1 + p3", 0.0),
      Unread("p4")},
     1,
     kPreviousSource},
    {ModuleType::kTurbulence,
     "Turbulence",
     "noise::module::Turbulence",
     {Ranged("p1", "roughness", 1, kMaxOctaveCount, 3), Setting("p2", "frequency = p2 x 100", 0.01),
      Setting("p3", "power = p3 / 100", 100.0), Setting("p4", "seed = 10 x trunc(p4)", 0.0)},
     1,
     kPreviousSource},
    {ModuleType::kInvert,
     "Invert",
     "noise::module::Invert",
     {Unread("p1"), Unread("p2"), Unread("p3"), Unread("p4")},
     1,
     kPreviousSource},
}};

constexpr ModuleKind kFallback = {ModuleType::kPerlin,
                                  "Perlin (fallback)",
                                  "noise::module::Perlin",
                                  {Unread("p1"), Unread("p2"), Unread("p3"), Unread("p4")},
                                  0,
                                  kNoInputs};

constexpr bool KindsInCodeOrder() {
  for (int32_t i = 0; i < kModuleKindCount; ++i) {
    if (static_cast<int32_t>(kKinds[static_cast<size_t>(i)].type) != i) return false;
  }
  return true;
}
static_assert(KindsInCodeOrder(), "the module kinds must be listed in code order");

}  // namespace

bool ModuleKind::ReadsPrevious() const {
  for (int i = 0; i < inputCount; ++i) {
    if (inputs[static_cast<size_t>(i)].source == InputSource::kPrevious) return true;
  }
  return false;
}

const std::array<ModuleKind, kModuleKindCount>& ModuleKinds() { return kKinds; }

const ModuleKind& ModuleKindOf(int32_t code) {
  return code >= 0 && code < kModuleKindCount ? kKinds[static_cast<size_t>(code)] : kFallback;
}

}  // namespace duneforge
