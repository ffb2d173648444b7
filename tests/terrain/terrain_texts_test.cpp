// The range and spacing a 16-bit picture carries in its text chunks: written
// by the saver, taken by the loader unless the options say otherwise, and
// ignored where they cannot be taken.
#include "terrain/terrain_texts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/temp_dir_fixture.h"
#include "support/terrain_assertions.h"
#include "terrain/grey_png.h"
#include "terrain/terrain_loader.h"
#include "terrain/terrain_saver.h"

namespace {

using terrain::TerrainFormat;
using testsupport::Succeeded;

class TerrainTextsTest : public testsupport::TempDirFixture {
 protected:
  void SetUp() override {
    if (!terrain::GreyPngSupported()) GTEST_SKIP() << "no PNG support";
  }
  terrain::TerrainGrid Load(const std::string& path, const terrain::TerrainOptions& options = {}) {
    terrain::TerrainGrid grid;
    TerrainFormat format = TerrainFormat::kUnknown;
    EXPECT_TRUE(Succeeded(terrain::LoadTerrain(path, options, grid, format)));
    return grid;
  }
  // A 2 x 1 picture packed 0 and 65535 with the given texts.
  terrain::TerrainGrid LoadPictureWith(const std::vector<terrain::PictureText>& texts,
                                       const terrain::TerrainOptions& options = {}) {
    EXPECT_TRUE(Succeeded(terrain::WriteGreyPng({2, 1, {0, 65535}, texts}, temp_.File("t.png"))));
    return Load(temp_.File("t.png"), options);
  }
};

TEST(NumberPairTextTest, IsTheShortestTextThatReadsBack) {
  EXPECT_EQ(terrain::NumberPairText(0.1, -2.5e-05), "0.1 -2.5e-05");
  EXPECT_EQ(terrain::NumberPairText(1024, 0), "1024 0");
  EXPECT_EQ(terrain::NumberPairText(0.099609375, 1.0 / 3.0), "0.099609375 0.3333333333333333");
}

// Heights off the header's 1/1024 steps: the picture's range is the one its
// heights were packed on, so it reads back as the HMP file of the same
// terrain does, each height within half a step of what was saved.
TEST_F(TerrainTextsTest, PicturesReadBackAsTheHmpFileOfTheSameTerrain) {
  const std::vector<double> heights = {0.1, 0.7, 0.4, 0.25, 0.6, 0.3};
  terrain::TerrainGrid grid;
  grid.columns = 3;
  grid.rows = 2;
  grid.heights = heights;
  terrain::TerrainOptions options;
  options.spacingX = 2.5;
  options.spacingY = 4.0;
  ASSERT_TRUE(Succeeded(terrain::PrepareTerrain(options, grid)));
  ASSERT_TRUE(Succeeded(terrain::SaveTerrain(grid, TerrainFormat::kPng, options, temp_.File("t.png"))));
  ASSERT_TRUE(Succeeded(terrain::SaveTerrain(grid, TerrainFormat::kHmp, options, temp_.File("t.hmp"))));

  const terrain::TerrainGrid picture = Load(temp_.File("t.png"));
  const terrain::TerrainGrid hmp = Load(temp_.File("t.hmp"));
  EXPECT_TRUE(picture.rangeKnown);
  EXPECT_EQ(picture.low, 102.0 / 1024.0);  // 0.1 on the header's steps
  EXPECT_NEAR(picture.low, hmp.low, 1e-12);
  EXPECT_NEAR(picture.high, hmp.high, 1e-12);
  EXPECT_EQ(picture.spacingX, 2.5);
  EXPECT_EQ(picture.spacingY, 4.0);
  const double halfStep = (0.7 - 0.1) / 65535 / 2;
  ASSERT_EQ(picture.heights.size(), heights.size());
  for (size_t i = 0; i < heights.size(); ++i) {
    EXPECT_NEAR(picture.heights[i], hmp.heights[i], 1e-12) << i;
    EXPECT_NEAR(picture.heights[i], heights[i], halfStep * 1.01) << i;
  }
}

TEST_F(TerrainTextsTest, TheOptionsComeBeforeTheStoredRange) {
  const std::vector<terrain::PictureText> texts = {{terrain::kRangeKeyword, "-5 15"},
                                                   {terrain::kSpacingKeyword, "3 0.5"}};
  terrain::TerrainGrid grid = LoadPictureWith(texts);
  EXPECT_EQ(grid.heights, (std::vector<double>{-5, 15}));
  EXPECT_EQ(grid.spacingX, 3.0);
  EXPECT_EQ(grid.spacingY, 0.5);
  terrain::TerrainOptions options;
  options.hasRange = true;
  options.rangeLow = 1;
  options.rangeHigh = 2;
  grid = LoadPictureWith(texts, options);
  EXPECT_EQ(grid.heights, (std::vector<double>{1, 2}));
}

// A text that is not two finite numbers with one space between, a range
// upside down or a spacing not above 0 leaves the picture as if it had none.
TEST_F(TerrainTextsTest, TextsThatCannotBeTakenAreLeftAlone) {
  for (const char* text : {"1 nan", "2 1", "1  2", "1 2 ", " 1 2", "1,2", "1", "0x1 2", "1 inf"}) {
    const terrain::TerrainGrid grid = LoadPictureWith({{terrain::kRangeKeyword, text}});
    EXPECT_FALSE(grid.rangeKnown) << text;
    EXPECT_EQ(grid.heights, (std::vector<double>{0, 65535})) << text;
  }
  for (const char* text : {"0 1", "1 -1", "1 x"}) {
    const terrain::TerrainGrid grid = LoadPictureWith({{terrain::kSpacingKeyword, text}});
    EXPECT_EQ(grid.spacingX, 0.0) << text;
    EXPECT_EQ(grid.spacingY, 0.0) << text;
  }
  const terrain::TerrainGrid flat = LoadPictureWith({{terrain::kRangeKeyword, "7 7"}});
  EXPECT_TRUE(flat.rangeKnown);
  EXPECT_EQ(flat.heights, (std::vector<double>{7, 7}));
}

}  // namespace
