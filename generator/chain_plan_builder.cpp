#include "generator/chain_plan_builder.h"

#include <array>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "generator/checked_conversion.h"
#include "generator/row_error.h"
#include "noisemap/error.h"

namespace duneforge {

namespace {

using noise::utils::ChainPlan;
using noise::utils::PlanModule;

// Checks one row and computes the values that need checking; throws with
// the row named. Builders read the row through it and fill in the row's
// plan module, which Module starts.
class RowReader {
 public:
  RowReader(const ModuleSpec& entry, const ModuleKind& kind, int row, int32_t seedBase)
      : entry_(entry), kind_(kind), row_(row), seedBase_(seedBase) {}

  const ModuleSpec& Entry() const { return entry_; }
  // The float parameters, widened.
  double P2() const { return static_cast<double>(entry_.p2); }
  double P3() const { return static_cast<double>(entry_.p3); }
  double P4() const { return static_cast<double>(entry_.p4); }
  // The previous row; RequirePrevious has passed.
  int Previous() const { return row_ - 1; }

  // The checks the vocabulary names, before any of the row's settings: each
  // field with a range of its own (an octave count of 0 or 31 is refused),
  // then the previous row where the row reads it.
  void RequireVocabularyLimits() const {
    for (size_t field = 0; field < kind_.fields.size(); ++field) RequireInRange(field);
    if (kind_.ReadsPrevious()) RequirePrevious();
  }

  // The row's plan module, of the row's type, every setting at the
  // library's default.
  PlanModule Module() const { return PlanModule::Of(kind_.type); }

  // Refuses the row for the values of `fields`; none when its place is at
  // fault.
  [[noreturn]] void Fail(const std::string& what, std::vector<std::string> fields) const {
    throw RowError("row " + std::to_string(row_) + " (" + kind_.name + "): " + what, row_, std::move(fields));
  }

  // A source named by p1: 0 <= p1 < row.
  int IndexFromP1() const { return CheckIndex(entry_.p1, "p1"); }

  // A source named by trunc(p2): 0 <= trunc(p2) < row.
  int IndexFromP2() const {
    int32_t index;
    if (!TruncateToInt32(static_cast<double>(entry_.p2), &index)) {
      Fail("row index p2 = " + std::to_string(entry_.p2) + " is not a 32-bit integer", {"p2"});
    }
    return CheckIndex(index, "p2");
  }

  // trunc(p4 x 10 + seedBase), formed in double precision.
  int32_t ScaledSeed() const {
    const double seed = static_cast<double>(entry_.p4) * 10.0 + static_cast<double>(seedBase_);
    int32_t result;
    if (!TruncateToInt32(seed, &result)) {
      Fail("seed p4 x 10 + seedBase = " + std::to_string(seed) + " is not a 32-bit integer", {"p4"});
    }
    return result;
  }

  // 10 x trunc(p4); seedBase is not added.
  int32_t TurbulenceSeed() const {
    int32_t whole;
    if (!TruncateToInt32(static_cast<double>(entry_.p4), &whole)) {
      Fail("seed p4 = " + std::to_string(entry_.p4) + " is not a 32-bit integer", {"p4"});
    }
    const int64_t seed = 10 * static_cast<int64_t>(whole);
    if (seed < INT32_MIN || seed > INT32_MAX) {
      Fail("seed 10 x trunc(p4) = " + std::to_string(seed) + " is not a 32-bit integer", {"p4"});
    }
    return static_cast<int32_t>(seed);
  }

 private:
  // The parameter p1 .. p4 at `field` (0 .. 3), widened, and as messages
  // show it.
  double FieldValue(size_t field) const {
    return field == 0 ? static_cast<double>(entry_.p1) : field == 1 ? P2() : field == 2 ? P3() : P4();
  }
  std::string FieldText(size_t field) const {
    return field == 0 ? std::to_string(entry_.p1) : std::to_string(static_cast<float>(FieldValue(field)));
  }
  // A limit as messages show it: 30, not 30.000000.
  static std::string LimitText(double limit) {
    int32_t whole;
    if (TruncateToInt32(limit, &whole) && static_cast<double>(whole) == limit) return std::to_string(whole);
    return std::to_string(limit);
  }

  // "octave count p1 = 31 is outside 1 .. 30"; a field with only an upper
  // limit says "outside .. 30".
  void RequireInRange(size_t field) const {
    const ModuleField& f = kind_.fields[field];
    if (f.InRange(FieldValue(field))) return;
    Fail(std::string(f.sets) + " " + f.name + " = " + FieldText(field) + " is outside " +
             (f.hasLower ? LimitText(f.lower) + " " : "") + ".." +
             (f.hasUpper ? " " + LimitText(f.upper) : ""),
         {f.name});
  }

  void RequirePrevious() const {
    if (row_ < 1) Fail("takes the previous row's module, but row 0 has no previous row", {});
  }

  int CheckIndex(int32_t index, const char* field) const {
    if (index < 0 || index >= row_) {
      Fail(std::string("row index ") + field + " = " + std::to_string(index) + " names no earlier row " +
               (row_ == 0 ? std::string("(row 0 has none)") : "(0 .. " + std::to_string(row_ - 1) + ")"),
           {field});
    }
    return index;
  }

  const ModuleSpec& entry_;
  const ModuleKind& kind_;
  int row_;
  int32_t seedBase_;
};

// RidgedMulti: octaves 1 .. 30, frequency, scaled seed.
PlanModule PlanRidgedMulti(const RowReader& r) {
  PlanModule m = r.Module();
  m.coherent.seed = r.ScaledSeed();
  m.coherent.octaveCount = r.Entry().p1;
  m.coherent.frequency = r.P2();
  return m;
}

// Perlin and Billow: RidgedMulti's settings and the persistence.
PlanModule PlanOctaveNoise(const RowReader& r) {
  PlanModule m = PlanRidgedMulti(r);
  m.coherent.persistence = r.P3();
  return m;
}

// A module whose source is the previous row.
PlanModule OnPrevious(const RowReader& r) {
  PlanModule m = r.Module();
  m.source0 = r.Previous();
  return m;
}

PlanModule PlanScaleBias(const RowReader& r) {
  PlanModule m = OnPrevious(r);
  m.scale = r.P2() - r.P4() / 10.0;
  // The integer quotient: p1 from -9 to 9 gives no bias at all.
  m.bias = (r.P3() - 0.5) * static_cast<double>(r.Entry().p1 / 10);
  return m;
}

// A module whose sources 0 and 1 are the rows p1 and trunc(p2): all that
// Add, Multiply, Min and Max need.
PlanModule WithTwoSources(const RowReader& r) {
  PlanModule m = r.Module();
  m.source0 = r.IndexFromP1();
  m.source1 = r.IndexFromP2();
  return m;
}

// The Select's bounds, and the falloff limited to half their span as the
// library limits it when the falloff is set after the bounds.
constexpr double kSelectLower = 0.0;
constexpr double kSelectUpper = 1000.0;

PlanModule PlanSelect(const RowReader& r) {
  PlanModule m = WithTwoSources(r);
  m.control = r.Previous();
  m.lowerBound = kSelectLower;
  m.upperBound = kSelectUpper;
  const double halfSpan = (kSelectUpper - kSelectLower) / 2.0;
  m.edgeFalloff = r.P3() > halfSpan ? halfSpan : r.P3();
  return m;
}

PlanModule PlanBlend(const RowReader& r) {
  PlanModule m = WithTwoSources(r);
  m.control = r.Previous();
  return m;
}

PlanModule PlanConst(const RowReader& r) {
  PlanModule m = r.Module();
  m.constValue = static_cast<double>(r.Entry().p1) - r.P2();
  return m;
}

PlanModule PlanVoronoi(const RowReader& r) {
  PlanModule m = r.Module();
  m.voronoi.seed = r.ScaledSeed();
  m.voronoi.displacement = static_cast<double>(r.Entry().p1) + r.P3();
  m.voronoi.frequency = r.P2();
  return m;
}

PlanModule PlanClamp(const RowReader& r) {
  PlanModule m = r.Module();
  m.source0 = r.IndexFromP1();
  const double lower = r.P4() / 10.0 - r.P2();
  const double upper = r.P3();
  // The library asserts lower < upper; NaN fails the test as well.
  if (!(lower < upper)) {
    r.Fail("clamp range p4 / 10 - p2 = " + std::to_string(lower) + " to p3 = " + std::to_string(upper) +
               " is empty or reversed",
           {"p2", "p3", "p4"});
  }
  m.lowerBound = lower;
  m.upperBound = upper;
  return m;
}

PlanModule PlanExponent(const RowReader& r) {
  PlanModule m = OnPrevious(r);
  m.exponent = static_cast<double>(r.Entry().p1) + r.P3();
  return m;
}

PlanModule PlanTurbulence(const RowReader& r) {
  PlanModule m = r.Module();
  m.coherent.seed = r.TurbulenceSeed();
  m.source0 = r.Previous();
  m.coherent.octaveCount = r.Entry().p1;
  m.coherent.frequency = r.P2() * 100.0;
  m.power = r.P3() / 100.0;
  return m;
}

// The plan module of each type code, in code order; the vocabulary
// (module_kind.h) holds the code's name, fields, limits and inputs. A new
// type is added there and here.
using RowPlanner = PlanModule (*)(const RowReader&);
constexpr RowPlanner kRowPlanners[] = {
    PlanOctaveNoise,  // kPerlin
    PlanRidgedMulti,  // kRidgedMulti
    PlanOctaveNoise,  // kBillow
    PlanScaleBias,    // kScaleBias
    PlanSelect,       // kSelect
    PlanBlend,        // kBlend
    WithTwoSources,   // kAdd
    PlanConst,        // kConst
    PlanVoronoi,      // kVoronoi
    WithTwoSources,   // kMultiply
    WithTwoSources,   // kMin
    WithTwoSources,   // kMax
    PlanClamp,        // kClamp
    PlanExponent,     // kExponent
    PlanTurbulence,   // kTurbulence
    OnPrevious,       // kInvert
};
static_assert(sizeof kRowPlanners / sizeof kRowPlanners[0] == kModuleKindCount,
              "one planner per module kind");

PlanModule PlanRow(const ModuleSpec& entry, int row, int32_t seedBase) {
  const ModuleKind& kind = ModuleKindOf(entry.type);
  const RowReader reader(entry, kind, row, seedBase);
  reader.RequireVocabularyLimits();
  const bool known = entry.type >= 0 && entry.type < kModuleKindCount;
  // Unknown codes are not an error: a Perlin module at library defaults.
  if (!known) return reader.Module();
  return kRowPlanners[entry.type](reader);
}

}  // namespace

ChainPlan BuildChainPlan(const CommandSettings& settings) {
  RequireModuleCountInRange(settings.moduleCount, std::string());
  ChainPlan plan;
  try {
    for (int row = 0; row < settings.moduleCount; ++row) {
      plan.Add(PlanRow(settings.rows[static_cast<size_t>(row)], row, settings.seedBase));
    }
  } catch (const std::bad_alloc&) {
    throw noise::utils::OutOfMemoryError("no memory for module row " + std::to_string(plan.Size()));
  }
  return plan;
}

}  // namespace duneforge
