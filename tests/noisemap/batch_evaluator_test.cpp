// The batch evaluator against libnoise's own GetValue, module type by module
// type, at many random points and on every processor level this machine
// runs: the values must be the same doubles, bit for bit. libnoise's modules
// are built from the same plans (their settings are checked in
// libnoise_chain_test.cpp).
#include "noisemap/batch_evaluator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "noisemap/libnoise_chain.h"

namespace {

using noise::utils::AvailableEvaluators;
using noise::utils::BatchEvaluator;
using noise::utils::ChainPlan;
using noise::utils::EvaluatorChoice;
using noise::utils::EvaluatorName;
using noise::utils::LibnoiseChain;
using noise::utils::ModuleType;
using noise::utils::PlanModule;
using noise::utils::batch::Quality;

// Points per module type: fewer under the sanitizers, which run the same
// code some twenty times slower.
#if defined(TOOLKIT_SANITIZED_BUILD)
constexpr size_t kPoints = 20000;
#else
constexpr size_t kPoints = 1000000;
#endif

// Random coordinates of five kinds in equal shares: near zero (exact zeros
// of both signs included), in a few hundred either way, negative, exact
// integers, and beyond +-2^30, where the generators fold them.
std::vector<double> Coordinates(std::mt19937_64& random) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<double> values(kPoints);
  for (double& v : values) {
    const double u = unit(random);
    switch (random() % 5) {
      case 0:
        v = (u < 0.02) ? 0.0 : (u < 0.04) ? -0.0 : (u - 0.5) * 2e-3;
        break;
      case 1:
        v = (u - 0.5) * 600.0;
        break;
      case 2:
        v = -u * 1e5;
        break;
      case 3:
        v = std::floor((u - 0.5) * 2000.0);
        break;
      default:
        v = (random() % 2 == 0 ? 1.0 : -1.0) * std::ldexp(1.0 + u, 30 + static_cast<int>(random() % 6));
        break;
    }
  }
  return values;
}

struct Points {
  std::vector<double> x, y, z;
};

const Points& RandomPoints() {
  static const Points points = [] {
    std::mt19937_64 random(20240611);
    Points p;
    p.x = Coordinates(random);
    p.y = Coordinates(random);
    p.z = Coordinates(random);
    return p;
  }();
  return points;
}

uint64_t Bits(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return bits;
}

// Compares the batch evaluator of every available level with the GetValue of
// libnoise's modules of the plan at the random points, reporting the first
// difference per level.
void ExpectSameAsLibnoise(const ChainPlan& plan, const std::string& what) {
  const Points& p = RandomPoints();
  const LibnoiseChain chain(plan);
  std::vector<double> expected(kPoints);
  for (size_t i = 0; i < kPoints; ++i) expected[i] = chain.OutputModule().GetValue(p.x[i], p.y[i], p.z[i]);
  for (EvaluatorChoice choice : AvailableEvaluators()) {
    if (choice == EvaluatorChoice::kLibnoise) continue;
    BatchEvaluator evaluator(plan, choice);
    std::vector<double> actual(kPoints);
    evaluator.Evaluate(p.x.data(), p.y.data(), p.z.data(), static_cast<int>(kPoints), actual.data());
    size_t differing = 0;
    size_t first = 0;
    for (size_t i = 0; i < kPoints; ++i) {
      if (Bits(actual[i]) != Bits(expected[i]) && differing++ == 0) first = i;
    }
    EXPECT_EQ(differing, 0u) << what << " on " << EvaluatorName(choice) << ": first at (" << p.x[first]
                             << ", " << p.y[first] << ", " << p.z[first] << "): " << actual[first]
                             << " instead of " << expected[first];
  }
}

// A plan of the modules given, in order.
ChainPlan PlanOf(const std::vector<PlanModule>& modules) {
  ChainPlan plan;
  for (const PlanModule& m : modules) plan.Add(m);
  return plan;
}

PlanModule Coherent(ModuleType type, double frequency, double lacunarity, double persistence, int octaves,
                    int seed, Quality quality) {
  PlanModule m = PlanModule::Of(type);
  m.coherent.frequency = frequency;
  m.coherent.lacunarity = lacunarity;
  m.coherent.persistence = persistence;
  m.coherent.octaveCount = octaves;
  m.coherent.seed = seed;
  m.coherent.quality = quality;
  return m;
}

// A module of `type` reading the modules named.
PlanModule Reading(ModuleType type, int source0, int source1 = -1, int control = -1) {
  PlanModule m = PlanModule::Of(type);
  m.source0 = source0;
  m.source1 = source1;
  m.control = control;
  return m;
}

const Quality kQualities[] = {Quality::kFast, Quality::kStandard, Quality::kBest};

std::string QualityName(Quality quality) { return std::to_string(static_cast<int>(quality)); }

TEST(BatchEvaluatorIdentity, PerlinInEveryQuality) {
  for (Quality quality : kQualities) {
    ExpectSameAsLibnoise(PlanOf({Coherent(ModuleType::kPerlin, 1.7, 2.1, 0.55, 7, -123457, quality)}),
                         "Perlin, quality " + QualityName(quality));
  }
}

TEST(BatchEvaluatorIdentity, BillowInEveryQuality) {
  for (Quality quality : kQualities) {
    ExpectSameAsLibnoise(PlanOf({Coherent(ModuleType::kBillow, 0.31, 1.93, 0.6, 5, 777, quality)}),
                         "Billow, quality " + QualityName(quality));
  }
}

TEST(BatchEvaluatorIdentity, RidgedMultiInEveryQuality) {
  for (Quality quality : kQualities) {
    // The persistence is not RidgedMulti's: a value here must change nothing.
    ExpectSameAsLibnoise(PlanOf({Coherent(ModuleType::kRidgedMulti, 2.3, 2.2, 0.9, 6, -5, quality)}),
                         "RidgedMulti, quality " + QualityName(quality));
  }
}

TEST(BatchEvaluatorIdentity, VoronoiWithAndWithoutDistance) {
  for (bool distance : {true, false}) {
    PlanModule voronoi = PlanModule::Of(ModuleType::kVoronoi);
    voronoi.voronoi.frequency = 1.3;
    voronoi.voronoi.displacement = 1.25;
    voronoi.voronoi.seed = 31;
    voronoi.voronoi.distanceEnabled = distance;
    ExpectSameAsLibnoise(PlanOf({voronoi}), distance ? "Voronoi with distance" : "Voronoi");
  }
}

PlanModule Turbulence(int source, double frequency, double power, int roughness, int seed) {
  PlanModule m = Reading(ModuleType::kTurbulence, source);
  m.coherent.frequency = frequency;
  m.power = power;
  m.coherent.octaveCount = roughness;
  m.coherent.seed = seed;
  return m;
}

// A Turbulence reads its source at displaced points; here the source is
// also read undisplaced, and a second Turbulence displaces the first.
TEST(BatchEvaluatorIdentity, TurbulenceNestedWithItsSourceReadOutside) {
  PlanModule source = PlanModule::Of(ModuleType::kPerlin);
  source.coherent.octaveCount = 3;
  const PlanModule inner = Turbulence(0, 2.0, 0.125, 4, 20);
  ExpectSameAsLibnoise(PlanOf({source, inner}), "Turbulence");
  ExpectSameAsLibnoise(
      PlanOf({source, inner, Turbulence(1, 0.5, 0.5, 2, -7), Reading(ModuleType::kAdd, 2, 0)}),
      "Turbulence of Turbulence, its source read outside too");
}

// Each combiner over two cheap generators of different ranges (modules 0
// and 1) and a control (module 2) that crosses the Select bounds and their
// falloff often.
TEST(BatchEvaluatorIdentity, CombinersElementByElement) {
  PlanModule a = PlanModule::Of(ModuleType::kPerlin);
  a.coherent.octaveCount = 1;
  PlanModule b = PlanModule::Of(ModuleType::kBillow);
  b.coherent.octaveCount = 1;
  b.coherent.frequency = 3.0;
  PlanModule control = PlanModule::Of(ModuleType::kPerlin);
  control.coherent.octaveCount = 2;
  control.coherent.seed = 9;
  const auto over = [&](const PlanModule& output) { return PlanOf({a, b, control, output}); };

  PlanModule constant = PlanModule::Of(ModuleType::kConst);
  constant.constValue = 0.375;
  PlanModule select = Reading(ModuleType::kSelect, 0, 1, 2);
  select.lowerBound = -0.2;
  select.upperBound = 0.3;
  select.edgeFalloff = 0.125;
  PlanModule hardSelect = Reading(ModuleType::kSelect, 0, 1, 2);
  hardSelect.lowerBound = -0.1;
  hardSelect.upperBound = 0.2;
  PlanModule scaleBias = Reading(ModuleType::kScaleBias, 0);
  scaleBias.scale = 1.5;
  scaleBias.bias = -0.25;
  PlanModule clamp = Reading(ModuleType::kClamp, 0);
  clamp.lowerBound = -0.3;
  clamp.upperBound = 0.4;
  PlanModule exponent = Reading(ModuleType::kExponent, 0);
  exponent.exponent = 1.7;

  ExpectSameAsLibnoise(over(constant), "Const");
  ExpectSameAsLibnoise(over(Reading(ModuleType::kAdd, 0, 1)), "Add");
  ExpectSameAsLibnoise(over(Reading(ModuleType::kMultiply, 0, 1)), "Multiply");
  ExpectSameAsLibnoise(over(Reading(ModuleType::kMin, 0, 1)), "Min");
  ExpectSameAsLibnoise(over(Reading(ModuleType::kMax, 0, 1)), "Max");
  ExpectSameAsLibnoise(over(Reading(ModuleType::kBlend, 0, 1, 2)), "Blend");
  ExpectSameAsLibnoise(over(select), "Select with falloff");
  ExpectSameAsLibnoise(over(hardSelect), "Select without falloff");
  ExpectSameAsLibnoise(over(Reading(ModuleType::kInvert, 0)), "Invert");
  ExpectSameAsLibnoise(over(scaleBias), "ScaleBias");
  ExpectSameAsLibnoise(over(clamp), "Clamp");
  ExpectSameAsLibnoise(over(exponent), "Exponent");
}

}  // namespace
