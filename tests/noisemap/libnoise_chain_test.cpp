// libnoise's modules built from a plan carry the plan's settings and inputs,
// shared modules are read through caches, and the plan's defaults and
// gradient table are libnoise's own.
#include "noisemap/libnoise_chain.h"

#include <gtest/gtest.h>

#include <cstring>

#include "noisemap/gradient_vectors.h"

namespace {

// libnoise's table, included out of the way of the library's own symbol.
namespace reference {
#include <libnoise/vectortable.h>
}

using noise::utils::ChainPlan;
using noise::utils::LibnoiseChain;
using noise::utils::ModuleType;
using noise::utils::PlanModule;
namespace module = noise::module;

template <typename M>
const M& As(const LibnoiseChain& chain, int row) {
  const M* m = dynamic_cast<const M*>(&chain[row]);
  EXPECT_NE(m, nullptr) << "row " << row;
  return *m;
}

// Seven modules, each with settings of its own: three generators, a Select
// of two of them controlled by the third, and a Turbulence, Clamp and
// ScaleBias each over the row before.
ChainPlan SevenModulePlan() {
  ChainPlan plan;
  PlanModule perlin = PlanModule::Of(ModuleType::kPerlin);
  perlin.coherent = {1.5, 2.25, 0.375, 7, -11, noise::utils::batch::Quality::kBest, nullptr};
  plan.Add(perlin);  // 0
  PlanModule ridged = PlanModule::Of(ModuleType::kRidgedMulti);
  ridged.coherent = {0.75, 1.75, 0.5, 3, 12, noise::utils::batch::Quality::kFast, nullptr};
  plan.Add(ridged);  // 1
  PlanModule voronoi = PlanModule::Of(ModuleType::kVoronoi);
  voronoi.voronoi = {2.5, 0.625, 44, true};
  plan.Add(voronoi);  // 2
  PlanModule select = PlanModule::Of(ModuleType::kSelect);
  select.source0 = 1;
  select.source1 = 2;
  select.control = 0;
  select.lowerBound = -0.5;
  select.upperBound = 0.25;
  select.edgeFalloff = 0.125;
  plan.Add(select);  // 3
  PlanModule turbulence = PlanModule::Of(ModuleType::kTurbulence);
  turbulence.source0 = 3;
  turbulence.coherent.frequency = 4.5;
  turbulence.coherent.octaveCount = 5;
  turbulence.coherent.seed = 70;
  turbulence.power = 0.0625;
  plan.Add(turbulence);  // 4
  PlanModule clamp = PlanModule::Of(ModuleType::kClamp);
  clamp.source0 = 4;
  clamp.lowerBound = -0.75;
  clamp.upperBound = 0.5;
  plan.Add(clamp);  // 5
  PlanModule scaleBias = PlanModule::Of(ModuleType::kScaleBias);
  scaleBias.source0 = 5;
  scaleBias.scale = 3.5;
  scaleBias.bias = -1.25;
  plan.Add(scaleBias);  // 6
  return plan;
}

class LibnoiseChainOfSevenModules : public testing::Test {
 protected:
  const ChainPlan plan_ = SevenModulePlan();
  const LibnoiseChain chain_{plan_};
};

TEST_F(LibnoiseChainOfSevenModules, GeneratorsCarryThePlansSettings) {
  const LibnoiseChain& chain = chain_;
  ASSERT_EQ(chain.Size(), 7);
  const auto& p = As<module::Perlin>(chain, 0);
  EXPECT_EQ(p.GetFrequency(), 1.5);
  EXPECT_EQ(p.GetLacunarity(), 2.25);
  EXPECT_EQ(p.GetPersistence(), 0.375);
  EXPECT_EQ(p.GetOctaveCount(), 7);
  EXPECT_EQ(p.GetSeed(), -11);
  EXPECT_EQ(p.GetNoiseQuality(), noise::QUALITY_BEST);
  const auto& r = As<module::RidgedMulti>(chain, 1);
  EXPECT_EQ(r.GetFrequency(), 0.75);
  EXPECT_EQ(r.GetLacunarity(), 1.75);
  EXPECT_EQ(r.GetOctaveCount(), 3);
  EXPECT_EQ(r.GetSeed(), 12);
  EXPECT_EQ(r.GetNoiseQuality(), noise::QUALITY_FAST);
  const auto& v = As<module::Voronoi>(chain, 2);
  EXPECT_EQ(v.GetFrequency(), 2.5);
  EXPECT_EQ(v.GetDisplacement(), 0.625);
  EXPECT_EQ(v.GetSeed(), 44);
  EXPECT_TRUE(v.IsDistanceEnabled());
}

TEST_F(LibnoiseChainOfSevenModules, SelectCarriesThePlansInputsAndBounds) {
  const LibnoiseChain& chain = chain_;
  ASSERT_EQ(chain.Size(), 7);
  const auto& s = As<module::Select>(chain, 3);
  EXPECT_EQ(&s.GetSourceModule(0), &chain[1]);
  EXPECT_EQ(&s.GetSourceModule(1), &chain[2]);
  EXPECT_EQ(&s.GetControlModule(), &chain[0]);
  EXPECT_EQ(s.GetLowerBound(), -0.5);
  EXPECT_EQ(s.GetUpperBound(), 0.25);
  EXPECT_EQ(s.GetEdgeFalloff(), 0.125);
}

TEST_F(LibnoiseChainOfSevenModules, ModifiersCarryThePlansInputsAndSettings) {
  const LibnoiseChain& chain = chain_;
  ASSERT_EQ(chain.Size(), 7);
  const auto& t = As<module::Turbulence>(chain, 4);
  EXPECT_EQ(&t.GetSourceModule(0), &chain[3]);
  EXPECT_EQ(t.GetFrequency(), 4.5);
  EXPECT_EQ(t.GetRoughnessCount(), 5);
  EXPECT_EQ(t.GetSeed(), 70);
  EXPECT_EQ(t.GetPower(), 0.0625);
  const auto& c = As<module::Clamp>(chain, 5);
  EXPECT_EQ(c.GetLowerBound(), -0.75);
  EXPECT_EQ(c.GetUpperBound(), 0.5);
  const auto& sb = As<module::ScaleBias>(chain, 6);
  EXPECT_EQ(&sb.GetSourceModule(0), &chain[5]);
  EXPECT_EQ(sb.GetScale(), 3.5);
  EXPECT_EQ(sb.GetBias(), -1.25);
  EXPECT_EQ(&chain.OutputModule(), &chain[6]);
}

// Module 0 is read by an Add twice and module 1 once: only 0 is cached,
// unless no module is to be.
TEST(LibnoiseChain, ModulesReadTwiceOrMoreAreCached) {
  ChainPlan plan;
  plan.Add(PlanModule::Of(ModuleType::kPerlin));
  PlanModule twice = PlanModule::Of(ModuleType::kAdd);
  twice.source0 = 0;
  twice.source1 = 0;
  plan.Add(twice);
  PlanModule invert = PlanModule::Of(ModuleType::kInvert);
  invert.source0 = 1;
  plan.Add(invert);
  const LibnoiseChain cached(plan);
  EXPECT_TRUE(cached.IsCached(0));
  EXPECT_FALSE(cached.IsCached(1));
  EXPECT_FALSE(cached.IsCached(2));
  EXPECT_FALSE(LibnoiseChain(plan, noise::utils::SharedRows::kUncached).IsCached(0));
  EXPECT_EQ(cached.OutputModule().GetValue(0.3, 0.0, 0.7), -2.0 * module::Perlin().GetValue(0.3, 0.0, 0.7));
}

TEST(LibnoiseChain, PlanDefaultsAreTheLibrarys) {
  const PlanModule perlin = PlanModule::Of(ModuleType::kPerlin);
  EXPECT_EQ(perlin.coherent.frequency, module::DEFAULT_PERLIN_FREQUENCY);
  EXPECT_EQ(perlin.coherent.lacunarity, module::DEFAULT_PERLIN_LACUNARITY);
  EXPECT_EQ(perlin.coherent.persistence, module::DEFAULT_PERLIN_PERSISTENCE);
  EXPECT_EQ(perlin.coherent.octaveCount, module::DEFAULT_PERLIN_OCTAVE_COUNT);
  EXPECT_EQ(perlin.coherent.seed, module::DEFAULT_PERLIN_SEED);
  EXPECT_EQ(static_cast<int>(perlin.coherent.quality), static_cast<int>(module::DEFAULT_PERLIN_QUALITY));
  const PlanModule ridged = PlanModule::Of(ModuleType::kRidgedMulti);
  EXPECT_EQ(ridged.coherent.lacunarity, module::DEFAULT_RIDGED_LACUNARITY);
  EXPECT_EQ(ridged.coherent.octaveCount, module::DEFAULT_RIDGED_OCTAVE_COUNT);
  const PlanModule billow = PlanModule::Of(ModuleType::kBillow);
  EXPECT_EQ(billow.coherent.persistence, module::DEFAULT_BILLOW_PERSISTENCE);
  EXPECT_EQ(billow.coherent.octaveCount, module::DEFAULT_BILLOW_OCTAVE_COUNT);
  const PlanModule turbulence = PlanModule::Of(ModuleType::kTurbulence);
  EXPECT_EQ(turbulence.coherent.frequency, module::DEFAULT_TURBULENCE_FREQUENCY);
  EXPECT_EQ(turbulence.coherent.octaveCount, module::DEFAULT_TURBULENCE_ROUGHNESS);
  EXPECT_EQ(turbulence.coherent.seed, module::DEFAULT_TURBULENCE_SEED);
  EXPECT_EQ(turbulence.power, module::DEFAULT_TURBULENCE_POWER);
  const PlanModule voronoi = PlanModule::Of(ModuleType::kVoronoi);
  EXPECT_EQ(voronoi.voronoi.frequency, module::DEFAULT_VORONOI_FREQUENCY);
  EXPECT_EQ(voronoi.voronoi.displacement, module::DEFAULT_VORONOI_DISPLACEMENT);
  EXPECT_EQ(voronoi.voronoi.seed, module::DEFAULT_VORONOI_SEED);
  EXPECT_FALSE(voronoi.voronoi.distanceEnabled);
  const PlanModule other = PlanModule::Of(ModuleType::kSelect);
  EXPECT_EQ(other.lowerBound, module::DEFAULT_SELECT_LOWER_BOUND);
  EXPECT_EQ(other.upperBound, module::DEFAULT_SELECT_UPPER_BOUND);
  EXPECT_EQ(other.edgeFalloff, module::DEFAULT_SELECT_EDGE_FALLOFF);
  EXPECT_EQ(other.lowerBound, module::DEFAULT_CLAMP_LOWER_BOUND);
  EXPECT_EQ(other.upperBound, module::DEFAULT_CLAMP_UPPER_BOUND);
  EXPECT_EQ(other.scale, module::DEFAULT_SCALE);
  EXPECT_EQ(other.bias, module::DEFAULT_BIAS);
  EXPECT_EQ(other.exponent, module::DEFAULT_EXPONENT);
  EXPECT_EQ(other.constValue, module::DEFAULT_CONST_VALUE);
}

TEST(LibnoiseChain, GradientTableIsTheLibrarys) {
  EXPECT_EQ(std::memcmp(noise::utils::batch::kGradientVectors, reference::noise::g_randomVectors,
                        sizeof reference::noise::g_randomVectors),
            0);
}

}  // namespace
