// A plan refuses what the evaluator or libnoise could not run, and counts the
// reads of each module.
#include "noisemap/chain_plan.h"

#include <gtest/gtest.h>

#include <cmath>

#include "noisemap/error.h"

namespace {

using noise::utils::ChainPlan;
using noise::utils::ModuleType;
using noise::utils::PlanModule;

PlanModule Reading(ModuleType type, int source0, int source1 = -1, int control = -1) {
  PlanModule m = PlanModule::Of(type);
  m.source0 = source0;
  m.source1 = source1;
  m.control = control;
  return m;
}

TEST(ChainPlan, RefusesModulesThatCouldNotRunAndStaysAsItWas) {
  ChainPlan plan;
  EXPECT_THROW(plan.Add(Reading(ModuleType::kInvert, 0)), noise::ExceptionInvalidParam);  // itself
  plan.Add(PlanModule::Of(ModuleType::kPerlin));
  EXPECT_THROW(plan.Add(Reading(ModuleType::kAdd, 0, 1)), noise::ExceptionInvalidParam);
  EXPECT_THROW(plan.Add(Reading(ModuleType::kAdd, -1, 0)), noise::ExceptionInvalidParam);
  EXPECT_THROW(plan.Add(Reading(ModuleType::kSelect, 0, 0, 1)), noise::ExceptionInvalidParam);
  PlanModule unknown = PlanModule::Of(ModuleType::kPerlin);
  unknown.type = static_cast<ModuleType>(16);
  EXPECT_THROW(plan.Add(unknown), noise::ExceptionInvalidParam);
  for (int octaves : {0, 31}) {
    PlanModule perlin = PlanModule::Of(ModuleType::kBillow);
    perlin.coherent.octaveCount = octaves;
    EXPECT_THROW(plan.Add(perlin), noise::ExceptionInvalidParam) << octaves;
    PlanModule turbulence = Reading(ModuleType::kTurbulence, 0);
    turbulence.coherent.octaveCount = octaves;
    EXPECT_THROW(plan.Add(turbulence), noise::ExceptionInvalidParam) << octaves;
  }
  PlanModule ridged = PlanModule::Of(ModuleType::kRidgedMulti);
  ridged.coherent.octaveCount = 31;
  EXPECT_THROW(plan.Add(ridged), noise::ExceptionInvalidParam);
  for (double lower : {0.5, 0.25, std::nan("")}) {
    PlanModule clamp = Reading(ModuleType::kClamp, 0);
    clamp.lowerBound = lower;
    clamp.upperBound = 0.25;
    EXPECT_THROW(plan.Add(clamp), noise::ExceptionInvalidParam) << lower;
  }
  EXPECT_EQ(plan.Size(), 1);

  // What libnoise takes: a RidgedMulti of no octave, bounds just apart, an
  // Add of one module with itself.
  ridged.coherent.octaveCount = 0;
  plan.Add(ridged);
  PlanModule select = Reading(ModuleType::kSelect, 0, 1, 0);
  select.lowerBound = 0.25;
  select.upperBound = std::nextafter(0.25, 1.0);
  plan.Add(select);
  plan.Add(Reading(ModuleType::kAdd, 2, 2));
  EXPECT_EQ(plan.Size(), 4);
  EXPECT_EQ(plan.Output(), 3);
}

TEST(ChainPlan, ReadsCountEveryInputOfLaterModules) {
  ChainPlan plan;
  plan.Add(PlanModule::Of(ModuleType::kPerlin));   // 0
  plan.Add(PlanModule::Of(ModuleType::kConst));    // 1
  plan.Add(Reading(ModuleType::kBlend, 0, 1, 0));  // 2: reads 0 twice, 1 once
  plan.Add(Reading(ModuleType::kMultiply, 2, 2));  // 3: reads 2 twice
  plan.Add(Reading(ModuleType::kScaleBias, 3));    // 4
  EXPECT_EQ(plan.Reads(0), 2);
  EXPECT_EQ(plan.Reads(1), 1);
  EXPECT_EQ(plan.Reads(2), 2);
  EXPECT_EQ(plan.Reads(3), 1);
  EXPECT_EQ(plan.Reads(4), 0);
}

}  // namespace
