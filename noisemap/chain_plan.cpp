#include "noisemap/chain_plan.h"

#include <string>

#include "noisemap/error.h"

namespace noise {
namespace utils {

PlanModule PlanModule::Of(ModuleType type) {
  PlanModule module;
  module.type = type;
  if (type == ModuleType::kTurbulence) module.coherent.octaveCount = kDefaultRoughness;
  return module;
}

int PlanModule::InputCount(ModuleType type) {
  switch (type) {
    case ModuleType::kPerlin:
    case ModuleType::kRidgedMulti:
    case ModuleType::kBillow:
    case ModuleType::kConst:
    case ModuleType::kVoronoi:
      return 0;
    case ModuleType::kScaleBias:
    case ModuleType::kClamp:
    case ModuleType::kExponent:
    case ModuleType::kTurbulence:
    case ModuleType::kInvert:
      return 1;
    case ModuleType::kSelect:
    case ModuleType::kBlend:
      return 3;
    default:  // Add, Multiply, Min, Max
      return 2;
  }
}

void ChainPlan::Add(const PlanModule& module) {
  const int index = Size();
  const auto refuse = [index](const std::string& what) {
    throw InvalidParamError("plan module " + std::to_string(index) + ": " + what);
  };
  const int32_t code = static_cast<int32_t>(module.type);
  if (code < 0 || code > static_cast<int32_t>(ModuleType::kInvert)) {
    refuse("type " + std::to_string(code) + " is no module type");
  }
  const int octaves = module.coherent.octaveCount;
  switch (module.type) {
    case ModuleType::kPerlin:
    case ModuleType::kBillow:
    case ModuleType::kTurbulence:
      if (octaves < 1 || octaves > kMaxOctaves)
        refuse("octave count " + std::to_string(octaves) + " is outside 1 .. 30");
      break;
    case ModuleType::kRidgedMulti:
      if (octaves > kMaxOctaves) refuse("octave count " + std::to_string(octaves) + " is above 30");
      break;
    case ModuleType::kClamp:
    case ModuleType::kSelect:
      // Written so that NaN bounds are refused too.
      if (!(module.lowerBound < module.upperBound)) refuse("bounds are empty or reversed");
      break;
    default:
      break;
  }
  for (int k = 0; k < PlanModule::InputCount(module.type); ++k) {
    const int input = module.Input(k);
    if (input < 0 || input >= index) {
      refuse("input " + std::to_string(k) + " = " + std::to_string(input) + " names no earlier module");
    }
  }
  modules_.push_back(module);
}

int ChainPlan::Reads(int index) const {
  int reads = 0;
  for (const PlanModule& m : modules_) {
    for (int k = 0; k < PlanModule::InputCount(m.type); ++k) reads += m.Input(k) == index ? 1 : 0;
  }
  return reads;
}

}  // namespace utils
}  // namespace noise
