// Rows that several later modules read: read through a cache, evaluated once
// per point, with the values of a chain built without caches to the bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "generator/module_chain.h"
#include "support/recording_module.h"

namespace {

using duneforge::BuildModuleChain;
using duneforge::CommandSettings;
using duneforge::ModuleChain;
using duneforge::ModuleSpec;
namespace nm = noise::module;

CommandSettings WithRows(const std::vector<ModuleSpec>& rows) {
  CommandSettings settings;
  settings.moduleCount = static_cast<int32_t>(rows.size());
  for (size_t i = 0; i < rows.size(); ++i) settings.rows[i] = rows[i];
  return settings;
}

uint64_t Bits(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

TEST(ChainSharedRows, CachedRowEvaluatesOncePerPoint) {
  // x + 10 y + 100 z, read twice by an Add and once more by a Multiply:
  // 2 v^2, with one evaluation of the row per point.
  duneforge::CachedRow<testsupport::RecordingModule> row;
  nm::Add twice;
  twice.SetSourceModule(0, row);
  twice.SetSourceModule(1, row);
  nm::Multiply top;
  top.SetSourceModule(0, twice);
  top.SetSourceModule(1, row);
  EXPECT_EQ(top.GetValue(1, 2, 3), 2.0 * 321.0 * 321.0);
  EXPECT_EQ(top.GetValue(1, 2, 3), 2.0 * 321.0 * 321.0);
  EXPECT_EQ(row.Calls().size(), 1u);
  // A change of any one coordinate is another point.
  EXPECT_EQ(top.GetValue(1, 2, 4), 2.0 * 421.0 * 421.0);
  EXPECT_EQ(top.GetValue(1, 5, 4), 2.0 * 451.0 * 451.0);
  EXPECT_EQ(top.GetValue(7, 5, 4), 2.0 * 457.0 * 457.0);
  EXPECT_EQ(row.Calls().size(), 4u);
  // 0.0 and -0.0 compare equal but are two points: -0 + 10 (-0) + 100 (-0)
  // is -0, which the value cached for +0 would not give.
  EXPECT_FALSE(std::signbit(row.GetValue(0.0, 0.0, 0.0)));
  EXPECT_TRUE(std::signbit(row.GetValue(-0.0, -0.0, -0.0)));
  EXPECT_EQ(row.Calls().size(), 6u);
}

TEST(ChainSharedRows, RowsReadTwiceAreCachedWithTheValuesOfAnUncachedChain) {
  const CommandSettings settings = WithRows({
      {0, 4, 1.5f, 0.5f, 0.3f},     // 0: Perlin; read by rows 1, 3 and 8
      {3, 20, 0.5f, 1.0f, 0.0f},    // 1: ScaleBias of 0; read twice by row 4
      {8, 0, 2.0f, 0.25f, 0.1f},    // 2: Voronoi; row 3's control and source 1
      {4, 0, 2.0f, 0.25f, 0.0f},    // 3: Select of 0 and 2 by 2; read by row 6
      {6, 1, 1.0f, 0.0f, 0.0f},     // 4: Add 1 + 1; read by rows 5 and 6
      {14, 3, 0.02f, 12.5f, 1.0f},  // 5: Turbulence of 4; row 6's control
      {5, 4, 3.0f, 0.0f, 0.0f},     // 6: Blend of 4 and 3 by 5; read by row 7
      {12, 6, 0.5f, 0.75f, 2.0f},   // 7: Clamp of 6; read by row 8
      {11, 7, 0.0f, 0.0f, 0.0f},    // 8: Max of 7 and 0; read by row 9
      {15, 0, 0.0f, 0.0f, 0.0f},    // 9: Invert of 8
  });
  const ModuleChain cached = BuildModuleChain(settings);
  const ModuleChain uncached = BuildModuleChain(settings, duneforge::SharedRows::kUncached);
  const bool expected[] = {true, true, true, false, true, false, false, false, false, false};
  ASSERT_EQ(cached.Size(), 10);
  for (int row = 0; row < cached.Size(); ++row) {
    EXPECT_EQ(cached.IsCached(row), expected[row]) << row;
    EXPECT_FALSE(uncached.IsCached(row)) << row;
  }
  EXPECT_NE(dynamic_cast<const nm::Perlin*>(&cached[0]), nullptr);

  // Every row over a lattice that takes in turn each axis fastest, so that
  // consecutive points differ in one coordinate, zeros of both signs among
  // them. Row 5 reads row 4 at displaced points, between row 6's reads.
  const double coords[] = {-1.75, -0.0, 0.0, 0.3, 1.0, 2.5};
  int compared = 0;
  for (int fastest = 0; fastest < 3; ++fastest) {
    for (double a : coords) {
      for (double b : coords) {
        for (double c : coords) {
          double p[3];
          p[fastest] = c;
          p[(fastest + 1) % 3] = b;
          p[(fastest + 2) % 3] = a;
          for (int row = 0; row < cached.Size(); ++row) {
            const double want = uncached[row].GetValue(p[0], p[1], p[2]);
            const double got = cached[row].GetValue(p[0], p[1], p[2]);
            ASSERT_EQ(Bits(got), Bits(want))
                << "row " << row << " at " << p[0] << ", " << p[1] << ", " << p[2];
          }
          // The output alone, so that the shared rows are read only through it.
          const double want = uncached.OutputModule().GetValue(p[0], p[1], p[2]);
          ASSERT_EQ(Bits(cached.OutputModule().GetValue(p[0], p[1], p[2])), Bits(want));
          ++compared;
        }
      }
    }
  }
  EXPECT_EQ(compared, 3 * 6 * 6 * 6);
}

TEST(ChainSharedRows, HundredRowDoublingChainFinishes) {
  // A Perlin row and 99 rows that add the row before to itself: read without
  // caches, the Perlin row would be evaluated 2^99 times per point. Each
  // addition doubles exactly, so the output is the Perlin value x 2^99.
  std::vector<ModuleSpec> rows = {{0, 6, 1.0f, 0.5f, 0.3f}};
  for (int row = 1; row < duneforge::MaxModuleRows; ++row) {
    rows.push_back({6, row - 1, static_cast<float>(row - 1), 0.0f, 0.0f});
  }
  const ModuleChain chain = BuildModuleChain(WithRows(rows));
  nm::Perlin perlin;
  perlin.SetOctaveCount(6);
  perlin.SetFrequency(1.0);
  perlin.SetPersistence(0.5);
  perlin.SetSeed(3);  // trunc(0.3f x 10)
  // One tile of 16 x 16 samples.
  for (int i = 0; i < 16; ++i) {
    for (int k = 0; k < 16; ++k) {
      const double x = 0.5 + i / 16.0;
      const double z = -1.0 + k / 8.0;
      ASSERT_EQ(chain.OutputModule().GetValue(x, 0.0, z), std::ldexp(perlin.GetValue(x, 0.0, z), 99))
          << x << ", " << z;
    }
  }
}

}  // namespace
