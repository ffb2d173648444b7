// Reading duneforge's height array back and putting its tiles together.
#include "terrain/noise_array.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/byte_builder.h"
#include "support/temp_dir_fixture.h"
#include "support/terrain_assertions.h"

namespace {

using testsupport::Succeeded;

class NoiseArrayTest : public testsupport::TempDirFixture {
 protected:
  std::string Write(const std::string& text) {
    const std::string path = temp_.File("noise_arr.txt");
    EXPECT_TRUE(testsupport::WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end())));
    return path;
  }
};

TEST_F(NoiseArrayTest, ReadsEveryFormDuneforgeWrites) {
  std::vector<float> values;
  ASSERT_TRUE(Succeeded(terrain::ReadNoiseArray(Write("0.5,-0.123457,1,0,1e-05,-0,"), values)));
  EXPECT_EQ(values, (std::vector<float>{0.5f, -0.123457f, 1.0f, 0.0f, 1e-05f, -0.0f}));
  ASSERT_TRUE(Succeeded(terrain::ReadNoiseArray(Write(""), values)));
  EXPECT_TRUE(values.empty());
  // Editors add a line break or spaces after the last comma.
  for (const char* text : {"1,2,\n", "1,2, \r\n", "1,2,\t "}) {
    ASSERT_TRUE(Succeeded(terrain::ReadNoiseArray(Write(text), values)));
    EXPECT_EQ(values, (std::vector<float>{1.0f, 2.0f}));
  }
}

TEST_F(NoiseArrayTest, RefusesMalformedFilesWithTheirPlace) {
  std::vector<float> values;
  terrain::TerrainResult result;
  EXPECT_FALSE(result = terrain::ReadNoiseArray(Write("1,2,x3,"), values));
  EXPECT_NE(result.Description().find("value 2"), std::string::npos) << result.Text();
  EXPECT_EQ(result.Offset(), 4);  // "x3" after "1,2,"
  EXPECT_EQ(values.size(), 2u);
  EXPECT_FALSE(result = terrain::ReadNoiseArray(Write("1,2"), values));  // last value cut off
  EXPECT_NE(result.Description().find("comma"), std::string::npos) << result.Text();
  EXPECT_EQ(result.Offset(), 2);                                   // the "2" without its comma
  EXPECT_FALSE(terrain::ReadNoiseArray(Write("1,2, 3"), values));  // a value after the spaces
  EXPECT_FALSE(terrain::ReadNoiseArray(Write("1,,"), values));
  // Bytes that are not text are not quoted into the message.
  EXPECT_FALSE(result = terrain::ReadNoiseArray(Write("\x89PNG\r\n\x1a\n,"), values));
  EXPECT_EQ(result.Description(), "value 0 at byte 0 is not a number");
  EXPECT_FALSE(result = terrain::ReadNoiseArray(temp_.File("missing.txt"), values));
  EXPECT_NE(result.Description().find("cannot open"), std::string::npos) << result.Text();
}

TEST(AssembleTilesTest, PutsTilesWhereTheirPositionSays) {
  // 2 x 2 tiles of 2 x 1 samples: tile t holds 10t and 10t + 1; the x
  // position runs fastest, rows run from the lower z edge.
  const std::vector<float> values = {0, 1, 10, 11, 20, 21, 30, 31};
  std::vector<float> grid;
  ASSERT_TRUE(Succeeded(terrain::AssembleTiles(values, 2, 2, 2, 1, grid)));
  EXPECT_EQ(grid, (std::vector<float>{0, 1, 10, 11, 20, 21, 30, 31}));
  // 2 x 1 tiles of 2 x 2: each tile's second row continues the first row's
  // neighbours in the grid's second row.
  ASSERT_TRUE(Succeeded(terrain::AssembleTiles({0, 1, 2, 3, 10, 11, 12, 13}, 2, 1, 2, 2, grid)));
  EXPECT_EQ(grid, (std::vector<float>{0, 1, 10, 11, 2, 3, 12, 13}));
}

TEST(AssembleTilesTest, RefusesCountsThatDoNotMatch) {
  std::vector<float> grid;
  terrain::TerrainResult result;
  EXPECT_FALSE(result = terrain::AssembleTiles({1, 2, 3}, 2, 1, 2, 1, grid));
  EXPECT_FALSE(result = terrain::AssembleTiles({}, 0, 1, 2, 1, grid));
  EXPECT_FALSE(result = terrain::AssembleTiles({1, 2}, 1, 1, -2, -1, grid));
  EXPECT_FALSE(result.Description().empty());
}

}  // namespace
