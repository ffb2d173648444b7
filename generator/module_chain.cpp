#include "generator/module_chain.h"

#include <new>
#include <string>

#include "generator/checked_conversion.h"
#include "noisemap/error.h"

namespace duneforge {

namespace {

using noise::utils::InvalidParamError;

const char* TypeName(int32_t type) {
  static const char* const kNames[] = {"Perlin", "RidgedMulti", "Billow",     "ScaleBias", "Select", "Blend",
                                       "Add",    "Const",       "Voronoi",    "Multiply",  "Min",    "Max",
                                       "Clamp",  "Exponent",    "Turbulence", "Invert"};
  return type >= 0 && type <= 15 ? kNames[type] : "Perlin (fallback)";
}

// Checks one row and computes the values that need checking; throws with
// the row named.
class RowReader {
 public:
  RowReader(const ModuleSpec& entry, int row, int32_t seedBase)
      : entry_(entry), row_(row), seedBase_(seedBase) {}

  [[noreturn]] void Fail(const std::string& what) const {
    throw InvalidParamError("row " + std::to_string(row_) + " (" + TypeName(entry_.type) + "): " + what);
  }

  void RequireOctaves(const char* what, bool allowBelowOne) const {
    if (entry_.p1 > kMaxOctaveCount || (!allowBelowOne && entry_.p1 < 1)) {
      Fail(std::string(what) + " p1 = " + std::to_string(entry_.p1) + " is outside " +
           (allowBelowOne ? "" : "1 ") + ".. " + std::to_string(kMaxOctaveCount));
    }
  }

  void RequirePrevious() const {
    if (row_ < 1) Fail("takes the previous row's module, but row 0 has no previous row");
  }

  // A source named by p1: 0 <= p1 < row.
  int IndexFromP1() const { return CheckIndex(entry_.p1, "p1"); }

  // A source named by trunc(p2): 0 <= trunc(p2) < row.
  int IndexFromP2() const {
    int32_t index;
    if (!TruncateToInt32(static_cast<double>(entry_.p2), &index)) {
      Fail("row index p2 = " + std::to_string(entry_.p2) + " is not a 32-bit integer");
    }
    return CheckIndex(index, "p2");
  }

  // trunc(p4 x 10 + seedBase), formed in double precision.
  int32_t ScaledSeed() const {
    const double seed = static_cast<double>(entry_.p4) * 10.0 + static_cast<double>(seedBase_);
    int32_t result;
    if (!TruncateToInt32(seed, &result)) {
      Fail("seed p4 x 10 + seedBase = " + std::to_string(seed) + " is not a 32-bit integer");
    }
    return result;
  }

  // 10 x trunc(p4); seedBase is not added.
  int32_t TurbulenceSeed() const {
    int32_t whole;
    if (!TruncateToInt32(static_cast<double>(entry_.p4), &whole)) {
      Fail("seed p4 = " + std::to_string(entry_.p4) + " is not a 32-bit integer");
    }
    const int64_t seed = 10 * static_cast<int64_t>(whole);
    if (seed < INT32_MIN || seed > INT32_MAX) {
      Fail("seed 10 x trunc(p4) = " + std::to_string(seed) + " is not a 32-bit integer");
    }
    return static_cast<int32_t>(seed);
  }

 private:
  int CheckIndex(int32_t index, const char* field) const {
    if (index < 0 || index >= row_) {
      Fail(std::string("row index ") + field + " = " + std::to_string(index) + " names no earlier row " +
           (row_ == 0 ? std::string("(row 0 has none)") : "(0 .. " + std::to_string(row_ - 1) + ")"));
    }
    return index;
  }

  const ModuleSpec& entry_;
  int row_;
  int32_t seedBase_;
};

std::unique_ptr<noise::module::Module> BuildRow(const ModuleSpec& entry, int row, int32_t seedBase,
                                                const ModuleChain& chain) {
  using namespace noise::module;
  const RowReader reader(entry, row, seedBase);
  const double p2 = static_cast<double>(entry.p2);
  const double p3 = static_cast<double>(entry.p3);
  const double p4 = static_cast<double>(entry.p4);

  switch (entry.type) {
    case static_cast<int32_t>(ModuleType::kPerlin):
    case static_cast<int32_t>(ModuleType::kBillow): {
      reader.RequireOctaves("octave count", false);
      const int32_t seed = reader.ScaledSeed();
      if (entry.type == static_cast<int32_t>(ModuleType::kPerlin)) {
        auto module = std::make_unique<Perlin>();
        module->SetOctaveCount(entry.p1);
        module->SetFrequency(p2);
        module->SetPersistence(p3);
        module->SetSeed(seed);
        return module;
      }
      auto module = std::make_unique<Billow>();
      module->SetOctaveCount(entry.p1);
      module->SetFrequency(p2);
      module->SetPersistence(p3);
      module->SetSeed(seed);
      return module;
    }
    case static_cast<int32_t>(ModuleType::kRidgedMulti): {
      // The library accepts 0 and negative counts here; only above 30 fails.
      reader.RequireOctaves("octave count", true);
      const int32_t seed = reader.ScaledSeed();
      auto module = std::make_unique<RidgedMulti>();
      module->SetOctaveCount(entry.p1);
      module->SetFrequency(p2);
      module->SetSeed(seed);
      return module;
    }
    case static_cast<int32_t>(ModuleType::kScaleBias): {
      reader.RequirePrevious();
      auto module = std::make_unique<ScaleBias>();
      module->SetSourceModule(0, chain[row - 1]);
      module->SetScale(p2 - p4 / 10.0);
      // The integer quotient: p1 from -9 to 9 gives no bias at all.
      module->SetBias((p3 - 0.5) * static_cast<double>(entry.p1 / 10));
      return module;
    }
    case static_cast<int32_t>(ModuleType::kSelect): {
      reader.RequirePrevious();
      const int first = reader.IndexFromP1();
      const int second = reader.IndexFromP2();
      auto module = std::make_unique<Select>();
      module->SetControlModule(chain[row - 1]);
      // The bounds come first: the falloff is limited to half their span.
      module->SetBounds(0.0, 1000.0);
      module->SetSourceModule(0, chain[first]);
      module->SetSourceModule(1, chain[second]);
      module->SetEdgeFalloff(p3);
      return module;
    }
    case static_cast<int32_t>(ModuleType::kBlend): {
      reader.RequirePrevious();
      const int first = reader.IndexFromP1();
      const int second = reader.IndexFromP2();
      auto module = std::make_unique<Blend>();
      module->SetControlModule(chain[row - 1]);
      module->SetSourceModule(0, chain[first]);
      module->SetSourceModule(1, chain[second]);
      return module;
    }
    case static_cast<int32_t>(ModuleType::kAdd):
    case static_cast<int32_t>(ModuleType::kMultiply):
    case static_cast<int32_t>(ModuleType::kMin):
    case static_cast<int32_t>(ModuleType::kMax): {
      const int first = reader.IndexFromP1();
      const int second = reader.IndexFromP2();
      std::unique_ptr<Module> module;
      switch (static_cast<ModuleType>(entry.type)) {
        case ModuleType::kAdd:
          module = std::make_unique<Add>();
          break;
        case ModuleType::kMultiply:
          module = std::make_unique<Multiply>();
          break;
        case ModuleType::kMin:
          module = std::make_unique<Min>();
          break;
        default:
          module = std::make_unique<Max>();
          break;
      }
      module->SetSourceModule(0, chain[first]);
      module->SetSourceModule(1, chain[second]);
      return module;
    }
    case static_cast<int32_t>(ModuleType::kConst): {
      auto module = std::make_unique<Const>();
      module->SetConstValue(static_cast<double>(entry.p1) - p2);
      return module;
    }
    case static_cast<int32_t>(ModuleType::kVoronoi): {
      const int32_t seed = reader.ScaledSeed();
      auto module = std::make_unique<Voronoi>();
      module->SetDisplacement(static_cast<double>(entry.p1) + p3);
      module->SetFrequency(p2);
      module->SetSeed(seed);
      return module;
    }
    case static_cast<int32_t>(ModuleType::kClamp): {
      const int source = reader.IndexFromP1();
      const double lower = p4 / 10.0 - p2;
      const double upper = p3;
      // The library asserts lower < upper; NaN fails the test as well.
      if (!(lower < upper)) {
        reader.Fail("clamp range p4 / 10 - p2 = " + std::to_string(lower) +
                    " to p3 = " + std::to_string(upper) + " is empty or reversed");
      }
      auto module = std::make_unique<Clamp>();
      module->SetSourceModule(0, chain[source]);
      module->SetBounds(lower, upper);
      return module;
    }
    case static_cast<int32_t>(ModuleType::kExponent): {
      reader.RequirePrevious();
      auto module = std::make_unique<Exponent>();
      module->SetSourceModule(0, chain[row - 1]);
      module->SetExponent(static_cast<double>(entry.p1) + p3);
      return module;
    }
    case static_cast<int32_t>(ModuleType::kTurbulence): {
      reader.RequireOctaves("roughness", false);
      reader.RequirePrevious();
      const int32_t seed = reader.TurbulenceSeed();
      auto module = std::make_unique<Turbulence>();
      module->SetSourceModule(0, chain[row - 1]);
      module->SetRoughness(entry.p1);
      module->SetFrequency(p2 * 100.0);
      module->SetPower(p3 / 100.0);
      module->SetSeed(seed);
      return module;
    }
    case static_cast<int32_t>(ModuleType::kInvert): {
      reader.RequirePrevious();
      auto module = std::make_unique<Invert>();
      module->SetSourceModule(0, chain[row - 1]);
      return module;
    }
    default:
      // Unknown codes are not an error: a Perlin module at library defaults.
      return std::make_unique<Perlin>();
  }
}

}  // namespace

ModuleChain BuildModuleChain(const CommandSettings& settings) {
  if (settings.moduleCount < 1 || settings.moduleCount > MaxModuleRows) {
    throw InvalidParamError("moduleCount " + std::to_string(settings.moduleCount) + " is outside 1 .. " +
                            std::to_string(MaxModuleRows));
  }
  ModuleChain chain;
  try {
    chain.modules_.reserve(static_cast<size_t>(settings.moduleCount));
    for (int row = 0; row < settings.moduleCount; ++row) {
      chain.modules_.push_back(
          BuildRow(settings.rows[static_cast<size_t>(row)], row, settings.seedBase, chain));
    }
  } catch (const std::bad_alloc&) {
    throw noise::utils::OutOfMemoryError("no memory for module row " + std::to_string(chain.Size()));
  }
  return chain;
}

}  // namespace duneforge
