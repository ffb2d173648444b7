// A chain of every module type with rows that several modules read, planned
// from command rows as duneforge plans it, sampled by the plane builder
// point by point through libnoise's modules built from the plan and in
// blocks on every processor level: the grids must hold the same floats, bit
// for bit.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "generator/module_chain.h"
#include "noisemap/noise_map_builder_plane.h"

namespace {

using duneforge::BuildChainPlan;
using duneforge::BuildModuleChain;
using duneforge::CommandSettings;
using duneforge::ModuleChain;
using duneforge::ModuleSpec;
using noise::utils::ChainPlan;
using noise::utils::EvaluatorChoice;
using noise::utils::HeightGrid;
using noise::utils::NoiseMapBuilderPlane;

// Row 0 is read by five later rows and row 1 by two; the Select's control
// crosses its lower bound and falloff, and the Turbulence distorts a chain
// that reads every earlier type.
const std::vector<ModuleSpec> kEveryType = {
    {0, 3, 1.0f, 0.5f, 0.1f},       // 0 Perlin
    {1, 4, 1.5f, 0.0f, 0.7f},       // 1 RidgedMulti
    {2, 3, 2.0f, 0.5f, 0.2f},       // 2 Billow
    {3, 10, 0.125f, -0.25f, 0.0f},  // 3 ScaleBias of 2
    {4, 0, 1.0f, 0.125f, 0.0f},     // 4 Select of 0 and 1 by 3
    {5, 0, 2.0f, 0.0f, 0.0f},       // 5 Blend of 0 and 2 by 4
    {6, 0, 1.0f, 0.0f, 0.0f},       // 6 Add of 0 and 1
    {7, 1, 0.25f, 0.0f, 0.0f},      // 7 Const 0.75
    {8, 1, 2.0f, 0.25f, 0.3f},      // 8 Voronoi
    {9, 8, 6.0f, 0.0f, 0.0f},       // 9 Multiply of 8 and 6
    {10, 9, 0.0f, 0.0f, 0.0f},      // 10 Min of 9 and 0
    {11, 10, 7.0f, 0.0f, 0.0f},     // 11 Max of 10 and 7
    {12, 11, 0.5f, 0.6f, 0.0f},     // 12 Clamp of 11 to -0.5 .. 0.6
    {13, 1, 0.0f, 0.5f, 0.0f},      // 13 Exponent 1.5 of 12
    {14, 3, 0.02f, 12.5f, 2.0f},    // 14 Turbulence of 13
    {15, 0, 0.0f, 0.0f, 0.0f},      // 15 Invert of 14
    {6, 15, 0.0f, 0.0f, 0.0f},      // 16 Add of 15 and 0
    {5, 16, 5.0f, 0.0f, 0.0f},      // 17 Blend of 16 and 5 by 16
};

std::vector<uint32_t> GridBits(const HeightGrid& grid) {
  std::vector<uint32_t> bits;
  for (int y = 0; y < grid.GetHeight(); ++y) {
    for (int x = 0; x < grid.GetWidth(); ++x) {
      const float value = grid.ValueAt(x, y);
      uint32_t b;
      std::memcpy(&b, &value, sizeof b);
      bits.push_back(b);
    }
  }
  return bits;
}

// Samples the plan (with `module` null) or a libnoise module.
std::vector<uint32_t> Sample(const ChainPlan& chain, const noise::module::Module* module,
                             EvaluatorChoice evaluator, bool seamless) {
  HeightGrid grid;
  NoiseMapBuilderPlane builder;
  if (module != nullptr) {
    builder.AttachModule(*module);
  } else {
    builder.AttachPlan(chain);
  }
  builder.SetDestGrid(grid);
  // 150 columns: two whole blocks and a part of one.
  builder.SetGridSize(150, 9);
  builder.SetBounds(-3.3, 5.1, -2.2, 4.4);
  builder.SetSeamless(seamless);
  builder.SetEvaluator(evaluator);
  builder.Build();
  return GridBits(grid);
}

TEST(BatchChain, EveryTypeWithSharedRowsGivesLibnoisesGridOnEveryLevel) {
  CommandSettings settings;
  settings.moduleCount = static_cast<int32_t>(kEveryType.size());
  for (size_t i = 0; i < kEveryType.size(); ++i) settings.rows[i] = kEveryType[i];
  const ChainPlan plan = BuildChainPlan(settings);
  const ModuleChain chain = BuildModuleChain(settings);
  ASSERT_TRUE(chain.IsCached(0));
  ASSERT_TRUE(chain.IsCached(1));
  for (bool seamless : {false, true}) {
    const std::vector<uint32_t> expected =
        Sample(plan, &chain.OutputModule(), EvaluatorChoice::kLibnoise, seamless);
    for (EvaluatorChoice choice : noise::utils::AvailableEvaluators()) {
      EXPECT_TRUE(Sample(plan, nullptr, choice, seamless) == expected)
          << noise::utils::EvaluatorName(choice) << (seamless ? ", seamless" : "");
    }
  }
}

}  // namespace
