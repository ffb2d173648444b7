#include "generator/module_kind.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "generator/chain_plan_builder.h"
#include "noisemap/error.h"

namespace {

using duneforge::BuildChainPlan;
using duneforge::CommandSettings;
using duneforge::ModuleKind;
using duneforge::ModuleKinds;
using duneforge::ModuleSpec;

// A Const in row 0, then `row`: row 1 has a previous row and row 0 to name.
CommandSettings AfterConst(const ModuleSpec& row) {
  CommandSettings settings;
  settings.moduleCount = 2;
  settings.rows[0] = ModuleSpec{7, 1, 0.0f, 0.0f, 0.0f};
  settings.rows[1] = row;
  return settings;
}

// The message building throws, or "" when it builds.
std::string BuildMessage(const CommandSettings& settings) {
  try {
    BuildChainPlan(settings);
  } catch (const noise::utils::InvalidParamError& e) {
    return e.Message();
  }
  return std::string();
}

// The fields with a range of their own, worked out by hand from the module
// types: the octave counts of Perlin, RidgedMulti (no lower limit) and
// Billow, and the Turbulence roughness. The vocabulary names exactly these,
// and the builder takes each bound and refuses one step beyond it with the
// text duneforge prints.
TEST(ModuleKinds, RangesAreTheOnesTheBuilderEnforces) {
  struct Range {
    int32_t type;
    const char* name;
    const char* what;
    bool hasLower;
  };
  const std::vector<Range> expected = {
      {0, "Perlin", "octave count", true},
      {1, "RidgedMulti", "octave count", false},
      {2, "Billow", "octave count", true},
      {14, "Turbulence", "roughness", true},
  };
  std::set<std::tuple<int32_t, std::string, bool, double, bool, double>> listed;
  for (const ModuleKind& kind : ModuleKinds()) {
    for (const auto& field : kind.fields) {
      if (field.hasLower || field.hasUpper) {
        listed.emplace(kind.Code(), field.name, field.hasLower, field.lower, field.hasUpper, field.upper);
      }
    }
  }
  std::set<std::tuple<int32_t, std::string, bool, double, bool, double>> wanted;
  for (const Range& r : expected)
    wanted.emplace(r.type, "p1", r.hasLower, r.hasLower ? 1.0 : 0.0, true, 30.0);
  EXPECT_EQ(listed, wanted);

  for (const Range& r : expected) {
    const auto withP1 = [&r](int32_t p1) { return AfterConst(ModuleSpec{r.type, p1, 0.01f, 0.5f, 0.0f}); };
    const std::string prefix = std::string("row 1 (") + r.name + "): " + r.what + " p1 = ";
    const std::string range = r.hasLower ? " is outside 1 .. 30" : " is outside .. 30";
    EXPECT_EQ(BuildMessage(withP1(30)), "") << r.name;
    EXPECT_EQ(BuildMessage(withP1(31)), prefix + "31" + range);
    if (r.hasLower) {
      EXPECT_EQ(BuildMessage(withP1(1)), "") << r.name;
      EXPECT_EQ(BuildMessage(withP1(0)), prefix + "0" + range);
    } else {
      EXPECT_EQ(BuildMessage(withP1(-2147483647 - 1)), "") << r.name;
    }
  }
}

// The types that read the previous row (ScaleBias, Select, Blend, Exponent,
// Turbulence, Invert) are the ones the vocabulary says do, and each is
// refused in row 0 with the builder's text.
TEST(ModuleKinds, PreviousRowInputsAreTheOnesTheBuilderNeeds) {
  const std::set<int32_t> readers = {3, 4, 5, 13, 14, 15};
  for (const ModuleKind& kind : ModuleKinds()) {
    EXPECT_EQ(kind.ReadsPrevious(), readers.count(kind.Code()) == 1) << kind.name;
    CommandSettings settings;
    settings.rows[0] = ModuleSpec{kind.Code(), 6, 1.0f, 0.5f, 0.0f};
    const std::string message = BuildMessage(settings);
    const std::string previous = "takes the previous row's module, but row 0 has no previous row";
    if (readers.count(kind.Code()) == 1) {
      EXPECT_EQ(message, std::string("row 0 (") + kind.name + "): " + previous);
    } else {
      EXPECT_EQ(message.find(previous), std::string::npos) << message;
    }
  }
}

// A row made of every kind's defaults builds after a first row, and rows
// that read sources by index name that first row.
TEST(ModuleKinds, DefaultsMakeARowTheBuilderTakes) {
  for (const ModuleKind& kind : ModuleKinds()) {
    const auto& f = kind.fields;
    const ModuleSpec row{kind.Code(), static_cast<int32_t>(f[0].defaultValue),
                         static_cast<float>(f[1].defaultValue), static_cast<float>(f[2].defaultValue),
                         static_cast<float>(f[3].defaultValue)};
    EXPECT_EQ(BuildMessage(AfterConst(row)), "") << kind.name;
  }
}

}  // namespace
