#include "generator/module_chain.h"

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

using noise::utils::InvalidParamError;

// Checks one row and computes the values that need checking; throws with
// the row named. Builders read the row and the modules before it through it,
// and make the row's module with Make. Each call of Source or Previous is one
// use of that row, counted in `reads` (indexed by row).
class RowReader {
 public:
  RowReader(const ModuleSpec& entry, const ModuleKind& kind, int row, int32_t seedBase, bool cached,
            const ModuleChain& chain, std::array<int, MaxModuleRows>& reads)
      : entry_(entry),
        kind_(kind),
        row_(row),
        seedBase_(seedBase),
        cached_(cached),
        chain_(chain),
        reads_(reads) {}

  const ModuleSpec& Entry() const { return entry_; }
  // The float parameters, widened.
  double P2() const { return static_cast<double>(entry_.p2); }
  double P3() const { return static_cast<double>(entry_.p3); }
  double P4() const { return static_cast<double>(entry_.p4); }
  // The module of an earlier row; the row is checked already.
  const noise::module::Module& Source(int row) const {
    ++reads_[static_cast<size_t>(row)];
    return chain_[row];
  }
  // The previous row's module; RequirePrevious has passed.
  const noise::module::Module& Previous() const { return Source(row_ - 1); }

  // The checks the vocabulary names, before any of the row's settings: each
  // field with a range of its own (an octave count of 0 or 31 is refused),
  // then the previous row where the row reads it.
  void RequireVocabularyLimits() const {
    for (size_t field = 0; field < kind_.fields.size(); ++field) RequireInRange(field);
    if (kind_.ReadsPrevious()) RequirePrevious();
  }

  // The row's module, of class ModuleClass, read through a cache when the
  // row is to be cached.
  template <typename ModuleClass>
  std::unique_ptr<ModuleClass> Make() const {
    if (cached_) return std::make_unique<CachedRow<ModuleClass>>();
    return std::make_unique<ModuleClass>();
  }

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
  bool cached_;
  const ModuleChain& chain_;
  std::array<int, MaxModuleRows>& reads_;
};

using BuiltModule = std::unique_ptr<noise::module::Module>;

// Perlin and Billow: octaves 1 .. 30, frequency, persistence, scaled seed.
template <typename Noise>
BuiltModule BuildOctaveNoise(const RowReader& r) {
  const int32_t seed = r.ScaledSeed();
  auto module = r.Make<Noise>();
  module->SetOctaveCount(r.Entry().p1);
  module->SetFrequency(r.P2());
  module->SetPersistence(r.P3());
  module->SetSeed(seed);
  return module;
}

BuiltModule BuildRidgedMulti(const RowReader& r) {
  const int32_t seed = r.ScaledSeed();
  auto module = r.Make<noise::module::RidgedMulti>();
  module->SetOctaveCount(r.Entry().p1);
  module->SetFrequency(r.P2());
  module->SetSeed(seed);
  return module;
}

// A module whose source is the previous row's module.
template <typename ModuleClass>
std::unique_ptr<ModuleClass> MakeOnPrevious(const RowReader& r) {
  auto module = r.Make<ModuleClass>();
  module->SetSourceModule(0, r.Previous());
  return module;
}

BuiltModule BuildScaleBias(const RowReader& r) {
  auto module = MakeOnPrevious<noise::module::ScaleBias>(r);
  module->SetScale(r.P2() - r.P4() / 10.0);
  // The integer quotient: p1 from -9 to 9 gives no bias at all.
  module->SetBias((r.P3() - 0.5) * static_cast<double>(r.Entry().p1 / 10));
  return module;
}

// A module whose sources 0 and 1 are the rows p1 and trunc(p2).
template <typename ModuleClass>
std::unique_ptr<ModuleClass> MakeWithTwoSources(const RowReader& r) {
  const int first = r.IndexFromP1();
  const int second = r.IndexFromP2();
  auto module = r.Make<ModuleClass>();
  module->SetSourceModule(0, r.Source(first));
  module->SetSourceModule(1, r.Source(second));
  return module;
}

// Add, Multiply, Min and Max: the rows p1 and trunc(p2).
template <typename Combiner>
BuiltModule BuildCombiner(const RowReader& r) {
  return MakeWithTwoSources<Combiner>(r);
}

BuiltModule BuildSelect(const RowReader& r) {
  auto module = MakeWithTwoSources<noise::module::Select>(r);
  module->SetControlModule(r.Previous());
  // The bounds come first: the falloff is limited to half their span.
  module->SetBounds(0.0, 1000.0);
  module->SetEdgeFalloff(r.P3());
  return module;
}

BuiltModule BuildBlend(const RowReader& r) {
  auto module = MakeWithTwoSources<noise::module::Blend>(r);
  module->SetControlModule(r.Previous());
  return module;
}

BuiltModule BuildConst(const RowReader& r) {
  auto module = r.Make<noise::module::Const>();
  module->SetConstValue(static_cast<double>(r.Entry().p1) - r.P2());
  return module;
}

BuiltModule BuildVoronoi(const RowReader& r) {
  const int32_t seed = r.ScaledSeed();
  auto module = r.Make<noise::module::Voronoi>();
  module->SetDisplacement(static_cast<double>(r.Entry().p1) + r.P3());
  module->SetFrequency(r.P2());
  module->SetSeed(seed);
  return module;
}

BuiltModule BuildClamp(const RowReader& r) {
  const int source = r.IndexFromP1();
  const double lower = r.P4() / 10.0 - r.P2();
  const double upper = r.P3();
  // The library asserts lower < upper; NaN fails the test as well.
  if (!(lower < upper)) {
    r.Fail("clamp range p4 / 10 - p2 = " + std::to_string(lower) + " to p3 = " + std::to_string(upper) +
               " is empty or reversed",
           {"p2", "p3", "p4"});
  }
  auto module = r.Make<noise::module::Clamp>();
  module->SetSourceModule(0, r.Source(source));
  module->SetBounds(lower, upper);
  return module;
}

BuiltModule BuildExponent(const RowReader& r) {
  auto module = MakeOnPrevious<noise::module::Exponent>(r);
  module->SetExponent(static_cast<double>(r.Entry().p1) + r.P3());
  return module;
}

BuiltModule BuildTurbulence(const RowReader& r) {
  const int32_t seed = r.TurbulenceSeed();
  auto module = r.Make<noise::module::Turbulence>();
  module->SetSourceModule(0, r.Previous());
  module->SetRoughness(r.Entry().p1);
  module->SetFrequency(r.P2() * 100.0);
  module->SetPower(r.P3() / 100.0);
  module->SetSeed(seed);
  return module;
}

BuiltModule BuildInvert(const RowReader& r) { return MakeOnPrevious<noise::module::Invert>(r); }

// Unknown codes are not an error: a Perlin module at library defaults.
BuiltModule BuildFallback(const RowReader& r) { return r.Make<noise::module::Perlin>(); }

// The builder of each type code, in code order; the vocabulary (module_kind.h)
// holds the code's name, fields, limits and inputs. A new type is added there
// and here.
using RowBuilder = BuiltModule (*)(const RowReader&);
constexpr RowBuilder kRowBuilders[] = {
    BuildOctaveNoise<noise::module::Perlin>,  // kPerlin
    BuildRidgedMulti,                         // kRidgedMulti
    BuildOctaveNoise<noise::module::Billow>,  // kBillow
    BuildScaleBias,                           // kScaleBias
    BuildSelect,                              // kSelect
    BuildBlend,                               // kBlend
    BuildCombiner<noise::module::Add>,        // kAdd
    BuildConst,                               // kConst
    BuildVoronoi,                             // kVoronoi
    BuildCombiner<noise::module::Multiply>,   // kMultiply
    BuildCombiner<noise::module::Min>,        // kMin
    BuildCombiner<noise::module::Max>,        // kMax
    BuildClamp,                               // kClamp
    BuildExponent,                            // kExponent
    BuildTurbulence,                          // kTurbulence
    BuildInvert,                              // kInvert
};
static_assert(sizeof kRowBuilders / sizeof kRowBuilders[0] == kModuleKindCount,
              "one builder per module kind");

// Which rows are read through a cache, and how many uses of each row the
// later rows make, by row.
using RowFlags = std::array<bool, MaxModuleRows>;
using RowReads = std::array<int, MaxModuleRows>;

BuiltModule BuildRow(const ModuleSpec& entry, int row, int32_t seedBase, bool cached,
                     const ModuleChain& chain, RowReads& reads) {
  const ModuleKind& kind = ModuleKindOf(entry.type);
  const RowReader reader(entry, kind, row, seedBase, cached, chain, reads);
  reader.RequireVocabularyLimits();
  const bool known = entry.type >= 0 && entry.type < kModuleKindCount;
  return known ? kRowBuilders[entry.type](reader) : BuildFallback(reader);
}

}  // namespace

ModuleChain BuildModuleChain(const CommandSettings& settings, SharedRows sharedRows) {
  RequireModuleCountInRange(settings.moduleCount, std::string());
  const int rows = settings.moduleCount;
  // Builds every row, those marked in `cached` as CachedRows, and counts the
  // uses of each row in `reads`.
  const auto build = [&settings, rows](const RowFlags& cached, RowReads& reads) {
    reads.fill(0);
    ModuleChain chain;
    try {
      chain.modules_.reserve(static_cast<size_t>(rows));
      chain.cached_.assign(cached.begin(), cached.begin() + rows);
      for (int row = 0; row < rows; ++row) {
        const size_t index = static_cast<size_t>(row);
        chain.modules_.push_back(
            BuildRow(settings.rows[index], row, settings.seedBase, cached[index], chain, reads));
      }
    } catch (const std::bad_alloc&) {
      throw noise::utils::OutOfMemoryError("no memory for module row " + std::to_string(chain.Size()));
    }
    return chain;
  };

  RowFlags cached{};
  RowReads reads{};
  ModuleChain chain = build(cached, reads);
  if (sharedRows == SharedRows::kUncached) return chain;
  bool anyShared = false;
  for (size_t row = 0; row < static_cast<size_t>(rows); ++row) {
    cached[row] = reads[row] >= 2;
    anyShared = anyShared || cached[row];
  }
  if (!anyShared) return chain;
  // Readers hold references to the modules they read, so the rows are built
  // once more, the shared ones as CachedRows, rather than rewired.
  return build(cached, reads);
}

}  // namespace duneforge
