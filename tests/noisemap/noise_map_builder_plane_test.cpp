#include "noisemap/noise_map_builder_plane.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "noisemap/chain_plan.h"
#include "support/recording_module.h"

namespace {

using noise::utils::HeightGrid;
using noise::utils::NoiseMapBuilderPlane;
using testsupport::RecordingModule;

struct Point {
  double x, z;
};

std::vector<Point> Positions(const RecordingModule& module) {
  std::vector<Point> points;
  for (const auto& call : module.Calls()) {
    EXPECT_EQ(call.y, 0.0);  // the plane is y = 0
    points.push_back({call.x, call.z});
  }
  return points;
}

class PlaneBuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    builder_.AttachModule(module_);
    builder_.SetDestGrid(grid_);
  }
  RecordingModule module_;
  HeightGrid grid_;
  NoiseMapBuilderPlane builder_;
};

TEST_F(PlaneBuilderTest, SamplesTheHalfOpenRectangleRowByRow) {
  builder_.SetGridSize(4, 2);
  builder_.SetBounds(0.0, 1.0, 0.0, 1.0);
  builder_.Build();

  const std::vector<Point> points = Positions(module_);
  ASSERT_EQ(points.size(), 8u);
  const double xs[] = {0.0, 0.25, 0.5, 0.75};
  const double zs[] = {0.0, 0.5};
  for (int z = 0; z < 2; ++z) {
    for (int x = 0; x < 4; ++x) {
      const Point& p = points[static_cast<size_t>(z * 4 + x)];
      EXPECT_EQ(p.x, xs[x]);
      EXPECT_EQ(p.z, zs[z]);
      EXPECT_EQ(grid_.ValueAt(x, z), static_cast<float>(RecordingModule::Value(xs[x], 0.0, zs[z])));
    }
  }
  EXPECT_EQ(grid_.GetWidth(), 4);
  EXPECT_EQ(grid_.GetHeight(), 2);
}

TEST_F(PlaneBuilderTest, CoordinatesAdvanceByRepeatedAddition) {
  const int width = 7;
  const double lower = 0.1, upper = 1.3;
  builder_.SetGridSize(width, 1);
  builder_.SetBounds(lower, upper, -2.0, 5.0);
  builder_.Build();

  const double delta = (upper - lower) / width;
  std::vector<double> added, multiplied;
  double cur = lower;
  for (int x = 0; x < width; ++x, cur += delta) {
    added.push_back(cur);
    multiplied.push_back(lower + x * delta);
  }
  ASSERT_NE(added, multiplied) << "the bounds must tell the two ways apart";
  std::vector<double> seen;
  for (const Point& p : Positions(module_)) seen.push_back(p.x);
  EXPECT_EQ(seen, added);
}

// Bands of 3 rows over 7 (the last band is short) sample exactly where the
// whole build samples, z reached by repeated addition as there (on these
// bounds lower + k x step differs), and hold the whole build's rows.
TEST_F(PlaneBuilderTest, BandsSampleAndHoldExactlyTheRowsOfTheWholeBuild) {
  const int width = 2, height = 7;
  builder_.SetGridSize(width, height);
  builder_.SetBounds(-1.0, 1.0, 0.1, 1.3);
  for (const bool seamless : {false, true}) {
    builder_.SetSeamless(seamless);
    module_.ClearCalls();
    builder_.Build();
    std::vector<float> whole;
    for (int y = 0; y < height; ++y) whole.insert(whole.end(), grid_.RowData(y), grid_.RowData(y) + width);
    const std::vector<Point> wholePoints = Positions(module_);
    module_.ClearCalls();
    for (int first = 0; first < height; first += 3) {
      const int rows = std::min(3, height - first);
      builder_.BuildBand(first, rows);
      ASSERT_EQ(grid_.GetHeight(), rows);
      for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < width; ++x) {
          EXPECT_EQ(grid_.ValueAt(x, y), whole[static_cast<size_t>((first + y) * width + x)])
              << seamless << " " << x << ", " << first + y;
        }
      }
    }
    const std::vector<Point> bandPoints = Positions(module_);
    ASSERT_EQ(bandPoints.size(), wholePoints.size());
    for (size_t i = 0; i < bandPoints.size(); ++i) {
      EXPECT_EQ(bandPoints[i].x, wholePoints[i].x) << seamless << " " << i;
      EXPECT_EQ(bandPoints[i].z, wholePoints[i].z) << seamless << " " << i;
    }
  }
  EXPECT_THROW(builder_.BuildBand(5, 3), noise::ExceptionInvalidParam);
  EXPECT_THROW(builder_.BuildBand(-1, 2), noise::ExceptionInvalidParam);
}

TEST_F(PlaneBuilderTest, SeamlessTakesFourSamplesAndStartsWithTheFarCorner) {
  builder_.SetGridSize(2, 2);
  builder_.SetBounds(1.0, 3.0, 10.0, 14.0);
  builder_.SetSeamless(true);
  builder_.Build();

  const std::vector<Point> points = Positions(module_);
  ASSERT_EQ(points.size(), 16u);
  // Position (0, 0): sw, se, nw, ne, each one extent (2 along x, 4 along z) apart.
  const Point expected[] = {{1.0, 10.0}, {3.0, 10.0}, {1.0, 14.0}, {3.0, 14.0}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(points[static_cast<size_t>(i)].x, expected[i].x);
    EXPECT_EQ(points[static_cast<size_t>(i)].z, expected[i].z);
  }
  // Both blend factors are 1 at the first sample: it is the value at (upper x, upper z).
  EXPECT_EQ(grid_.ValueAt(0, 0), static_cast<float>(RecordingModule::Value(3.0, 0.0, 14.0)));
  // At column 1 (x = 2) the x blend is 0.5: halfway between x = 2 and x = 4.
  const double at2 = RecordingModule::Value(2.0, 0.0, 14.0), at4 = RecordingModule::Value(4.0, 0.0, 14.0);
  EXPECT_EQ(grid_.ValueAt(1, 0), static_cast<float>(0.5 * at2 + 0.5 * at4));
}

// On a rectangle twice as deep as it is wide, sampled 2 x 4, every position
// blends four samples one extent apart: z0 and z1 along x, then the two along
// z with zBlend = 1 - (z - lower z) / z extent, which falls 1, 0.75, 0.5,
// 0.25 over the rows. The expected values come from the module itself.
TEST(PlaneBuilderSeamless, BlendsAlongZWithTheZExtent) {
  noise::module::Perlin perlin;
  HeightGrid grid;
  NoiseMapBuilderPlane builder;
  builder.AttachModule(perlin);
  builder.SetDestGrid(grid);
  builder.SetSeamless(true);
  const int width = 2, height = 4;
  const double lowerX = 0.3, upperX = 1.3, lowerZ = -0.45, upperZ = 1.55;
  builder.SetGridSize(width, height);
  builder.SetBounds(lowerX, upperX, lowerZ, upperZ);
  builder.Build();

  const double xExtent = upperX - lowerX, zExtent = upperZ - lowerZ;
  auto at = [&](double x, double z) { return perlin.GetValue(x, 0.0, z); };
  double z = lowerZ;
  for (int row = 0; row < height; ++row, z += zExtent / height) {
    const double zBlend = 1.0 - (z - lowerZ) / zExtent;
    double x = lowerX;
    for (int col = 0; col < width; ++col, x += xExtent / width) {
      const double xBlend = 1.0 - (x - lowerX) / xExtent;
      const double near = (1.0 - xBlend) * at(x, z) + xBlend * at(x + xExtent, z);
      const double far = (1.0 - xBlend) * at(x, z + zExtent) + xBlend * at(x + xExtent, z + zExtent);
      EXPECT_FLOAT_EQ(grid.ValueAt(col, row), static_cast<float>((1.0 - zBlend) * near + zBlend * far))
          << col << ", " << row;
    }
  }
}

TEST_F(PlaneBuilderTest, RefusesBadSettingsBeforeTouchingTheGrid) {
  grid_.Resize(3, 3);
  grid_.RowData(0)[0] = 42.0f;
  builder_.SetGridSize(4, 4);
  EXPECT_THROW(builder_.Build(), noise::ExceptionInvalidParam);  // bounds never set: all 0.0

  EXPECT_THROW(builder_.SetBounds(1.0, 1.0, 0.0, 1.0), noise::ExceptionInvalidParam);
  EXPECT_THROW(builder_.SetBounds(0.0, 1.0, 2.0, 1.0), noise::ExceptionInvalidParam);
  EXPECT_EQ(builder_.GetLowerXBound(), 0.0);
  EXPECT_EQ(builder_.GetUpperXBound(), 0.0);
  builder_.SetBounds(0.0, 1.0, 0.0, 1.0);

  builder_.SetGridSize(0, 4);
  EXPECT_THROW(builder_.Build(), noise::ExceptionInvalidParam);
  builder_.SetGridSize(4, -1);
  EXPECT_THROW(builder_.Build(), noise::ExceptionInvalidParam);

  NoiseMapBuilderPlane noModule;
  noModule.SetDestGrid(grid_);
  noModule.SetGridSize(4, 4);
  noModule.SetBounds(0.0, 1.0, 0.0, 1.0);
  EXPECT_THROW(noModule.Build(), noise::ExceptionInvalidParam);

  NoiseMapBuilderPlane noGrid;
  noGrid.AttachModule(module_);
  noGrid.SetGridSize(4, 4);
  noGrid.SetBounds(0.0, 1.0, 0.0, 1.0);
  EXPECT_THROW(noGrid.Build(), noise::ExceptionInvalidParam);

  EXPECT_TRUE(module_.Calls().empty());
  EXPECT_EQ(grid_.GetWidth(), 3);
  EXPECT_EQ(grid_.ValueAt(0, 0), 42.0f);
}

std::vector<std::pair<int, size_t>>* g_progress = nullptr;
const RecordingModule* g_progressModule = nullptr;
void RecordProgress(int row) { g_progress->push_back({row, g_progressModule->Calls().size()}); }

TEST_F(PlaneBuilderTest, CallsTheProgressCallbackAfterEachFinishedRow) {
  std::vector<std::pair<int, size_t>> progress;
  g_progress = &progress;
  g_progressModule = &module_;
  builder_.SetProgressCallback(RecordProgress);
  builder_.SetGridSize(3, 4);
  builder_.SetBounds(0.0, 1.0, 0.0, 1.0);
  builder_.Build();
  const std::vector<std::pair<int, size_t>> expected = {{0, 3}, {1, 6}, {2, 9}, {3, 12}};
  EXPECT_EQ(progress, expected);
  g_progress = nullptr;
}

TEST_F(PlaneBuilderTest, RowsFinishedBeforeAModuleExceptionStay) {
  builder_.SetGridSize(4, 3);
  builder_.SetBounds(0.0, 4.0, 0.0, 3.0);
  module_.ThrowAtCall(6);  // second sample of row 1
  EXPECT_THROW(builder_.Build(), noise::ExceptionUnknown);
  for (int x = 0; x < 4; ++x)
    EXPECT_EQ(grid_.ValueAt(x, 0), static_cast<float>(RecordingModule::Value(x, 0, 0)));
  EXPECT_EQ(grid_.ValueAt(0, 1), static_cast<float>(RecordingModule::Value(0, 0, 1)));
}

TEST_F(PlaneBuilderTest, RepeatedTilesReuseOneAllocation) {
  builder_.SetGridSize(5, 5);
  builder_.SetBounds(0.0, 1.0, 0.0, 1.0);
  builder_.Build();
  const float* storage = grid_.RowData(0);
  builder_.SetBounds(1.0, 2.0, 0.0, 1.0);
  builder_.Build();
  EXPECT_EQ(grid_.RowData(0), storage);
  EXPECT_EQ(grid_.ValueAt(0, 0), static_cast<float>(RecordingModule::Value(1.0, 0.0, 0.0)));
}

// The block path over a plan samples where the pointwise path over the same
// module does, on a grid of more than one block whose x and z steps differ,
// seamless or not, whole or in bands.
TEST(PlaneBuilderBlocks, SampleWhereThePointwisePathSamples) {
  noise::utils::ChainPlan plan;
  noise::utils::PlanModule perlin = noise::utils::PlanModule::Of(noise::utils::ModuleType::kPerlin);
  perlin.coherent.seed = 5;
  plan.Add(perlin);
  noise::module::Perlin reference;
  reference.SetSeed(5);

  const int width = 70, height = 3;  // 64 samples to a block
  for (const bool seamless : {false, true}) {
    HeightGrid blocks, points;
    NoiseMapBuilderPlane byBlocks, byPoints;
    byBlocks.AttachPlan(plan);
    byPoints.AttachModule(reference);
    for (NoiseMapBuilderPlane* b : {&byBlocks, &byPoints}) {
      b->SetGridSize(width, height);
      b->SetBounds(0.1, 1.3, -2.0, 5.0);
      b->SetSeamless(seamless);
    }
    byBlocks.SetDestGrid(blocks);
    byPoints.SetDestGrid(points);
    ASSERT_NE(byBlocks.GetEvaluator(), noise::utils::EvaluatorChoice::kLibnoise);
    byPoints.Build();
    byBlocks.Build();
    for (int z = 0; z < height; ++z)
      for (int x = 0; x < width; ++x)
        ASSERT_EQ(blocks.ValueAt(x, z), points.ValueAt(x, z)) << seamless << " " << x << ", " << z;
    byBlocks.BuildBand(1, 2);
    for (int z = 0; z < 2; ++z)
      for (int x = 0; x < width; ++x)
        ASSERT_EQ(blocks.ValueAt(x, z), points.ValueAt(x, z + 1)) << seamless << " " << x << ", " << z + 1;
  }
}

}  // namespace
