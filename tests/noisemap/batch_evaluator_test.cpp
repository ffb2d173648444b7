// The batch evaluator against libnoise's own GetValue, module type by module
// type, at many random points and on every processor level this machine
// runs: the values must be the same doubles, bit for bit.
#include "noisemap/batch_evaluator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using noise::utils::AvailableEvaluators;
using noise::utils::BatchEvaluator;
using noise::utils::EvaluatorChoice;
using noise::utils::EvaluatorName;
namespace module = noise::module;

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

// Compares the batch evaluator of every available level with `output`'s
// GetValue at the random points, reporting the first difference per level.
void ExpectSameAsLibnoise(const module::Module& output, const std::string& what) {
  const Points& p = RandomPoints();
  std::vector<double> expected(kPoints);
  for (size_t i = 0; i < kPoints; ++i) expected[i] = output.GetValue(p.x[i], p.y[i], p.z[i]);
  for (EvaluatorChoice choice : AvailableEvaluators()) {
    if (choice == EvaluatorChoice::kLibnoise) continue;
    BatchEvaluator evaluator(output, choice);
    EXPECT_TRUE(evaluator.CoversOutput()) << what;
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

const noise::NoiseQuality kQualities[] = {noise::QUALITY_FAST, noise::QUALITY_STD, noise::QUALITY_BEST};

TEST(BatchEvaluatorIdentity, PerlinInEveryQuality) {
  for (noise::NoiseQuality quality : kQualities) {
    module::Perlin perlin;
    perlin.SetFrequency(1.7);
    perlin.SetLacunarity(2.1);
    perlin.SetPersistence(0.55);
    perlin.SetOctaveCount(7);
    perlin.SetSeed(-123457);
    perlin.SetNoiseQuality(quality);
    ExpectSameAsLibnoise(perlin, "Perlin, quality " + std::to_string(quality));
  }
}

TEST(BatchEvaluatorIdentity, BillowInEveryQuality) {
  for (noise::NoiseQuality quality : kQualities) {
    module::Billow billow;
    billow.SetFrequency(0.31);
    billow.SetLacunarity(1.93);
    billow.SetPersistence(0.6);
    billow.SetOctaveCount(5);
    billow.SetSeed(777);
    billow.SetNoiseQuality(quality);
    ExpectSameAsLibnoise(billow, "Billow, quality " + std::to_string(quality));
  }
}

TEST(BatchEvaluatorIdentity, RidgedMultiInEveryQuality) {
  for (noise::NoiseQuality quality : kQualities) {
    module::RidgedMulti ridged;
    ridged.SetFrequency(2.3);
    ridged.SetLacunarity(2.2);
    ridged.SetOctaveCount(6);
    ridged.SetSeed(-5);
    ridged.SetNoiseQuality(quality);
    ExpectSameAsLibnoise(ridged, "RidgedMulti, quality " + std::to_string(quality));
  }
}

TEST(BatchEvaluatorIdentity, VoronoiWithAndWithoutDistance) {
  for (bool distance : {true, false}) {
    module::Voronoi voronoi;
    voronoi.SetFrequency(1.3);
    voronoi.SetDisplacement(1.25);
    voronoi.SetSeed(31);
    voronoi.EnableDistance(distance);
    ExpectSameAsLibnoise(voronoi, distance ? "Voronoi with distance" : "Voronoi");
  }
}

// A Turbulence reads its source at displaced points; here the source is
// also read undisplaced, and a second Turbulence displaces the first.
TEST(BatchEvaluatorIdentity, TurbulenceNestedWithItsSourceReadOutside) {
  module::Perlin source;
  source.SetOctaveCount(3);
  module::Turbulence inner;
  inner.SetSourceModule(0, source);
  inner.SetFrequency(2.0);
  inner.SetPower(0.125);
  inner.SetRoughness(4);
  inner.SetSeed(20);
  module::Turbulence outer;
  outer.SetSourceModule(0, inner);
  outer.SetFrequency(0.5);
  outer.SetPower(0.5);
  outer.SetRoughness(2);
  outer.SetSeed(-7);
  module::Add top;
  top.SetSourceModule(0, outer);
  top.SetSourceModule(1, source);
  ExpectSameAsLibnoise(inner, "Turbulence");
  ExpectSameAsLibnoise(top, "Turbulence of Turbulence, its source read outside too");
}

// Each combiner over two cheap generators of different ranges and a control
// that crosses the Select bounds and their falloff often.
TEST(BatchEvaluatorIdentity, CombinersElementByElement) {
  module::Perlin a;
  a.SetOctaveCount(1);
  module::Billow b;
  b.SetOctaveCount(1);
  b.SetFrequency(3.0);
  module::Perlin control;
  control.SetOctaveCount(2);
  control.SetSeed(9);
  module::Const constant;
  constant.SetConstValue(0.375);

  module::Add add;
  module::Multiply multiply;
  module::Min min;
  module::Max max;
  module::Blend blend;
  module::Select select;
  module::Select hardSelect;
  for (module::Module* m :
       std::vector<module::Module*>{&add, &multiply, &min, &max, &blend, &select, &hardSelect}) {
    m->SetSourceModule(0, a);
    m->SetSourceModule(1, b);
  }
  blend.SetControlModule(control);
  select.SetControlModule(control);
  select.SetBounds(-0.2, 0.3);
  select.SetEdgeFalloff(0.125);
  hardSelect.SetControlModule(control);
  hardSelect.SetBounds(-0.1, 0.2);
  module::Invert invert;
  invert.SetSourceModule(0, a);
  module::ScaleBias scaleBias;
  scaleBias.SetSourceModule(0, a);
  scaleBias.SetScale(1.5);
  scaleBias.SetBias(-0.25);
  module::Clamp clamp;
  clamp.SetSourceModule(0, a);
  clamp.SetBounds(-0.3, 0.4);
  module::Exponent exponent;
  exponent.SetSourceModule(0, a);
  exponent.SetExponent(1.7);

  ExpectSameAsLibnoise(constant, "Const");
  ExpectSameAsLibnoise(add, "Add");
  ExpectSameAsLibnoise(multiply, "Multiply");
  ExpectSameAsLibnoise(min, "Min");
  ExpectSameAsLibnoise(max, "Max");
  ExpectSameAsLibnoise(blend, "Blend");
  ExpectSameAsLibnoise(select, "Select with falloff");
  ExpectSameAsLibnoise(hardSelect, "Select without falloff");
  ExpectSameAsLibnoise(invert, "Invert");
  ExpectSameAsLibnoise(scaleBias, "ScaleBias");
  ExpectSameAsLibnoise(clamp, "Clamp");
  ExpectSameAsLibnoise(exponent, "Exponent");
}

// A module type the evaluator does not cover is asked point by point, also
// inside a chain it covers, and a covered module below it is read through
// libnoise there.
TEST(BatchEvaluatorIdentity, UncoveredModulesAreAskedPointByPoint) {
  module::Perlin perlin;
  perlin.SetOctaveCount(2);
  module::Abs abs;
  abs.SetSourceModule(0, perlin);
  module::Add add;
  add.SetSourceModule(0, abs);
  add.SetSourceModule(1, perlin);
  ExpectSameAsLibnoise(add, "Add over Abs");
  EXPECT_FALSE(BatchEvaluator(abs, EvaluatorChoice::kPortable).CoversOutput());
}

}  // namespace
