// The rows of a command file become a chain plan: each row's settings and
// inputs as the vocabulary says, and the rows that could not run refused.
#include "generator/chain_plan_builder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "noisemap/batch_evaluator.h"
#include "noisemap/error.h"

namespace {

using duneforge::BuildChainPlan;
using duneforge::CommandSettings;
using duneforge::ModuleSpec;
using noise::utils::ChainPlan;
using noise::utils::ModuleType;
using noise::utils::PlanModule;

CommandSettings WithRows(const std::vector<ModuleSpec>& rows, int32_t seedBase = 0) {
  CommandSettings settings;
  settings.moduleCount = static_cast<int32_t>(rows.size());
  settings.seedBase = seedBase;
  for (size_t i = 0; i < rows.size(); ++i) settings.rows[i] = rows[i];
  return settings;
}

ModuleSpec Row(int32_t type, int32_t p1, float p2 = 0.0f, float p3 = 0.0f, float p4 = 0.0f) {
  return ModuleSpec{type, p1, p2, p3, p4};
}

// The plan module of `row`, which must be of `type`.
const PlanModule& As(ModuleType type, const ChainPlan& plan, int row) {
  if (plan[row].type != type) throw std::logic_error("row " + std::to_string(row) + " has another type");
  return plan[row];
}

// The value of module `row` of the plan at (x, y, z): the plan up to that
// row, evaluated.
double ValueOf(const ChainPlan& plan, int row, double x, double y, double z) {
  ChainPlan upTo;
  for (int i = 0; i <= row; ++i) upTo.Add(plan[i]);
  noise::utils::BatchEvaluator evaluator(upTo, noise::utils::EvaluatorChoice::kPortable);
  double value = 0.0;
  evaluator.Evaluate(&x, &y, &z, 1, &value);
  return value;
}

// The message of the noise::ExceptionInvalidParam that building throws.
std::string BuildError(const CommandSettings& settings) {
  try {
    BuildChainPlan(settings);
  } catch (const noise::utils::InvalidParamError& e) {
    return e.Message();
  }
  ADD_FAILURE() << "no noise::ExceptionInvalidParam";
  return std::string();
}

TEST(BuildChainPlan, OctaveCountLimitsPerType) {
  for (int32_t type : {0, 2, 14}) {
    for (int32_t octaves : {0, 31, -1}) {
      const std::string message = BuildError(WithRows({Row(7, 1), Row(type, octaves, 1, 0.5f, 0)}));
      EXPECT_NE(message.find("row 1"), std::string::npos) << message;
    }
    EXPECT_NO_THROW(BuildChainPlan(WithRows({Row(7, 1), Row(type, 30, 0.01f, 0.5f, 0)})));
    EXPECT_NO_THROW(BuildChainPlan(WithRows({Row(7, 1), Row(type, 1, 0.01f, 0.5f, 0)})));
  }
  // RidgedMulti refuses only counts above 30.
  EXPECT_NO_THROW(BuildChainPlan(WithRows({Row(1, 0, 1, 0, 0)})));
  EXPECT_NO_THROW(BuildChainPlan(WithRows({Row(1, -3, 1, 0, 0)})));
  EXPECT_NO_THROW(BuildChainPlan(WithRows({Row(1, 30, 1, 0, 0)})));
  EXPECT_THROW(BuildChainPlan(WithRows({Row(1, 31, 1, 0, 0)})), noise::ExceptionInvalidParam);
}

TEST(BuildChainPlan, UnknownTypesAreDefaultPerlin) {
  const ChainPlan chain = BuildChainPlan(WithRows({Row(16, 0, 9, 9, 9), Row(-1, 0, 9, 9, 9)}, 77));
  for (int row = 0; row < 2; ++row) {
    const PlanModule& p = As(ModuleType::kPerlin, chain, row);
    EXPECT_EQ(p.coherent.octaveCount, 6);
    EXPECT_EQ(p.coherent.frequency, 1.0);
    EXPECT_EQ(p.coherent.persistence, 0.5);
    EXPECT_EQ(p.coherent.seed, 0);
  }
}

TEST(BuildChainPlan, SeedsAreFormedInDoublePrecisionThenTruncated) {
  struct Case {
    float p4;
    int32_t seedBase;
    int32_t seed;
  };
  const Case cases[] = {{0.3f, 0, 3}, {0.7f, 0, 6}, {-0.25f, 0, -2}, {0.7f, 10, 16}, {0.7f, -10, -3}};
  for (const Case& c : cases) {
    const ChainPlan chain = BuildChainPlan(WithRows(
        {Row(0, 6, 1, 0.5f, c.p4), Row(1, 6, 1, 0, c.p4), Row(2, 6, 1, 0.5f, c.p4), Row(8, 1, 1, 0, c.p4)},
        c.seedBase));
    EXPECT_EQ(As(ModuleType::kPerlin, chain, 0).coherent.seed, c.seed) << c.p4 << " " << c.seedBase;
    EXPECT_EQ(As(ModuleType::kRidgedMulti, chain, 1).coherent.seed, c.seed);
    EXPECT_EQ(As(ModuleType::kBillow, chain, 2).coherent.seed, c.seed);
    EXPECT_EQ(As(ModuleType::kVoronoi, chain, 3).voronoi.seed, c.seed);
  }
  for (int32_t seedBase : {0, 10, -1000}) {
    const ChainPlan chain = BuildChainPlan(WithRows({Row(7, 0), Row(14, 3, 0.02f, 12.5f, 2.9f)}, seedBase));
    EXPECT_EQ(As(ModuleType::kTurbulence, chain, 1).coherent.seed, 20);
  }
}

TEST(BuildChainPlan, ParametersBecomeSettings) {
  const ChainPlan chain = BuildChainPlan(WithRows({
      Row(7, 3, 0.25f),               // 0: Const 3 - 0.25
      Row(13, 1, 0, 0.5f),            // 1: Exponent 1 + 0.5
      Row(8, 1, 2.5f, 0.25f, 0),      // 2: Voronoi displacement 1 + 0.25
      Row(14, 3, 0.02f, 12.5f, 0),    // 3: Turbulence
      Row(0, 4, 1.5f, 0.25f, 0),      // 4: Perlin
      Row(3, 25, 2.0f, 0.75f, 5.0f),  // 5: ScaleBias
      Row(3, 9, 2.0f, 0.75f, 0),      // 6: ScaleBias, p1 div 10 = 0
      Row(3, -25, 1.0f, 0.75f, 0),    // 7: ScaleBias, p1 div 10 = -2
      Row(12, 0, 0.5f, 0.75f, 2.0f),  // 8: Clamp of row 0, -0.3 .. 0.75
  }));
  EXPECT_EQ(As(ModuleType::kConst, chain, 0).constValue, 2.75);
  EXPECT_EQ(As(ModuleType::kExponent, chain, 1).exponent, 1.5);
  EXPECT_EQ(chain[1].source0, 0);
  const PlanModule& voronoi = As(ModuleType::kVoronoi, chain, 2);
  EXPECT_EQ(voronoi.voronoi.displacement, 1.25);
  EXPECT_EQ(voronoi.voronoi.frequency, 2.5);
  EXPECT_FALSE(voronoi.voronoi.distanceEnabled);
  const PlanModule& turbulence = As(ModuleType::kTurbulence, chain, 3);
  EXPECT_EQ(turbulence.coherent.frequency, static_cast<double>(0.02f) * 100.0);
  EXPECT_NEAR(turbulence.coherent.frequency, 2.0, 1e-6);
  EXPECT_EQ(turbulence.power, 0.125);
  EXPECT_EQ(turbulence.coherent.octaveCount, 3);
  EXPECT_EQ(turbulence.source0, 2);
  const PlanModule& perlin = As(ModuleType::kPerlin, chain, 4);
  EXPECT_EQ(perlin.coherent.octaveCount, 4);
  EXPECT_EQ(perlin.coherent.frequency, 1.5);
  EXPECT_EQ(perlin.coherent.persistence, 0.25);
  EXPECT_EQ(perlin.coherent.lacunarity, 2.0);
  EXPECT_EQ(As(ModuleType::kScaleBias, chain, 5).scale, 2.0 - 0.5);
  EXPECT_EQ(As(ModuleType::kScaleBias, chain, 5).bias, (0.75 - 0.5) * 2.0);
  EXPECT_EQ(As(ModuleType::kScaleBias, chain, 6).bias, 0.0);
  EXPECT_EQ(As(ModuleType::kScaleBias, chain, 7).bias, (0.75 - 0.5) * -2.0);
  EXPECT_EQ(chain[5].source0, 4);
  const PlanModule& clamp = As(ModuleType::kClamp, chain, 8);
  EXPECT_EQ(clamp.lowerBound, 2.0 / 10.0 - 0.5);
  EXPECT_EQ(clamp.upperBound, 0.75);
  EXPECT_EQ(clamp.source0, 0);
}

TEST(BuildChainPlan, InputsComeFromPreviousAndIndexedRows) {
  const ChainPlan chain = BuildChainPlan(WithRows({
      Row(0, 6, 1, 0.5f, 0.3f),   // 0
      Row(3, 20, 0.5f, 1.0f, 0),  // 1: ScaleBias of row 0
      Row(6, 0, 1.9f),            // 2: Add rows 0 and trunc(1.9) = 1
      Row(4, 0, 1.0f, 600.0f),    // 3: Select, control row 2
      Row(5, 1, 0.0f),            // 4: Blend, control row 3
      Row(9, 3, 4.0f),            // 5: Multiply
      Row(10, 4, 2.0f),           // 6: Min
      Row(11, 0, 5.0f),           // 7: Max
      Row(15, 0),                 // 8: Invert of row 7
  }));
  ASSERT_EQ(chain.Size(), 9);
  EXPECT_EQ(chain.Output(), 8);
  EXPECT_EQ(chain[1].source0, 0);
  for (double x : {0.1, 1.7, -3.25}) {
    EXPECT_EQ(ValueOf(chain, 2, x, 0, 0.4), ValueOf(chain, 0, x, 0, 0.4) + ValueOf(chain, 1, x, 0, 0.4));
  }
  const PlanModule& select = As(ModuleType::kSelect, chain, 3);
  EXPECT_EQ(select.control, 2);
  EXPECT_EQ(select.source0, 0);
  EXPECT_EQ(select.source1, 1);
  EXPECT_EQ(select.lowerBound, 0.0);
  EXPECT_EQ(select.upperBound, 1000.0);
  // Measured against 0 .. 1000, the falloff is capped at 500 (against the
  // library's default bounds it would be 1).
  EXPECT_EQ(select.edgeFalloff, 500.0);
  const PlanModule& blend = As(ModuleType::kBlend, chain, 4);
  EXPECT_EQ(blend.control, 3);
  EXPECT_EQ(blend.source0, 1);
  EXPECT_EQ(blend.source1, 0);
  EXPECT_EQ(chain[5].source1, 4);
  EXPECT_EQ(chain[6].source0, 4);
  EXPECT_EQ(chain[8].source0, 7);

  const ChainPlan single = BuildChainPlan(WithRows({Row(7, 5)}));
  EXPECT_EQ(ValueOf(single, single.Output(), 1, 2, 3), 5.0);
}

TEST(BuildChainPlan, EachCombiningTypeAppliesItsOwnOperation) {
  // Over the constants 3 and -2: sum 1, product -6, smaller -2, larger 3,
  // and the larger one negated.
  const ChainPlan chain = BuildChainPlan(WithRows({
      Row(7, 3),         // 0: Const 3
      Row(7, -2),        // 1: Const -2
      Row(6, 0, 1.0f),   // 2: Add
      Row(9, 0, 1.0f),   // 3: Multiply
      Row(10, 0, 1.0f),  // 4: Min
      Row(11, 0, 1.0f),  // 5: Max
      Row(15, 0),        // 6: Invert of row 5
  }));
  ASSERT_EQ(chain.Size(), 7);
  const double expected[] = {3.0, -2.0, 1.0, -6.0, -2.0, 3.0, -3.0};
  for (int row = 0; row < chain.Size(); ++row)
    EXPECT_EQ(ValueOf(chain, row, 0.5, 0, 0.5), expected[row]) << row;
}

TEST(BuildChainPlan, RefusesRowsTheLibraryCannotRun) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  // A previous-row input in row 0.
  for (int32_t type : {3, 4, 5, 13, 14, 15}) {
    const std::string message = BuildError(WithRows({Row(type, 1, 0, 1, 0)}));
    EXPECT_NE(message.find("row 0"), std::string::npos) << type << ": " << message;
  }
  // Indices that name the row itself, a later row or no row.
  for (int32_t type : {4, 5, 6, 9, 10, 11}) {
    EXPECT_THROW(BuildChainPlan(WithRows({Row(7, 1), Row(type, 1, 0.0f)})), noise::ExceptionInvalidParam);
    EXPECT_THROW(BuildChainPlan(WithRows({Row(7, 1), Row(type, -1, 0.0f)})), noise::ExceptionInvalidParam);
    EXPECT_THROW(BuildChainPlan(WithRows({Row(7, 1), Row(type, 0, 1.0f)})), noise::ExceptionInvalidParam);
    EXPECT_THROW(BuildChainPlan(WithRows({Row(7, 1), Row(type, 0, 2.5f), Row(7, 1)})),
                 noise::ExceptionInvalidParam);
    EXPECT_THROW(BuildChainPlan(WithRows({Row(7, 1), Row(type, 0, nan)})), noise::ExceptionInvalidParam);
    EXPECT_THROW(BuildChainPlan(WithRows({Row(7, 1), Row(type, 0, 3e9f)})), noise::ExceptionInvalidParam);
    EXPECT_NO_THROW(BuildChainPlan(WithRows({Row(7, 1), Row(type, 0, 0.99f)})));
  }
  EXPECT_THROW(BuildChainPlan(WithRows({Row(7, 1), Row(12, 1, 0, 1, 0)})), noise::ExceptionInvalidParam);
  // Clamp ranges that are empty, reversed or NaN.
  std::string message = BuildError(WithRows({Row(7, 1), Row(7, 1), Row(12, 0, 0.0f, 0.5f, 5.0f)}));
  EXPECT_NE(message.find("row 2 (Clamp)"), std::string::npos) << message;
  EXPECT_THROW(BuildChainPlan(WithRows({Row(7, 1), Row(12, 0, -1.0f, 0.5f, -5.0f)})),
               noise::ExceptionInvalidParam);
  EXPECT_THROW(BuildChainPlan(WithRows({Row(7, 1), Row(12, 0, 0.0f, nan, 0.0f)})),
               noise::ExceptionInvalidParam);
  // Seeds outside 32 bits.
  EXPECT_THROW(BuildChainPlan(WithRows({Row(0, 6, 1, 0.5f, 3e8f)})), noise::ExceptionInvalidParam);
  EXPECT_THROW(BuildChainPlan(WithRows({Row(8, 1, 1, 0.5f, nan)})), noise::ExceptionInvalidParam);
  EXPECT_THROW(BuildChainPlan(WithRows({Row(1, 6, 1, 0, 2e8f)}, 2147483647)), noise::ExceptionInvalidParam);
  EXPECT_THROW(BuildChainPlan(WithRows({Row(7, 1), Row(14, 3, 1, 1, 3e8f)})), noise::ExceptionInvalidParam);
  EXPECT_THROW(BuildChainPlan(WithRows({Row(7, 1), Row(14, 3, 1, 1, 3e9f)})), noise::ExceptionInvalidParam);
  EXPECT_NO_THROW(BuildChainPlan(WithRows({Row(7, 1), Row(14, 3, 1, 1, 2e8f)})));
  // The row count itself.
  CommandSettings none;
  none.moduleCount = 0;
  EXPECT_THROW(BuildChainPlan(none), noise::ExceptionInvalidParam);
}

}  // namespace
