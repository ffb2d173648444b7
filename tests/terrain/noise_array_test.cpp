// Reading duneforge's height array back and putting its tiles together.
#include "terrain/noise_array.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/byte_builder.h"
#include "support/temp_dir_fixture.h"

namespace {

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
  std::string error;
  ASSERT_TRUE(terrain::ReadNoiseArray(Write("0.5,-0.123457,1,0,1e-05,-0,"), values, error)) << error;
  EXPECT_EQ(values, (std::vector<float>{0.5f, -0.123457f, 1.0f, 0.0f, 1e-05f, -0.0f}));
  ASSERT_TRUE(terrain::ReadNoiseArray(Write(""), values, error)) << error;
  EXPECT_TRUE(values.empty());
  // Editors add a line break or spaces after the last comma.
  for (const char* text : {"1,2,\n", "1,2, \r\n", "1,2,\t "}) {
    ASSERT_TRUE(terrain::ReadNoiseArray(Write(text), values, error)) << error;
    EXPECT_EQ(values, (std::vector<float>{1.0f, 2.0f}));
  }
}

TEST_F(NoiseArrayTest, RefusesMalformedFilesWithTheirPlace) {
  std::vector<float> values;
  std::string error;
  EXPECT_FALSE(terrain::ReadNoiseArray(Write("1,2,x3,"), values, error));
  EXPECT_NE(error.find("value 2"), std::string::npos) << error;
  EXPECT_EQ(values.size(), 2u);
  EXPECT_FALSE(terrain::ReadNoiseArray(Write("1,2"), values, error));  // last value cut off
  EXPECT_NE(error.find("comma"), std::string::npos) << error;
  EXPECT_FALSE(terrain::ReadNoiseArray(Write("1,2, 3"), values, error));  // a value after the spaces
  EXPECT_FALSE(terrain::ReadNoiseArray(Write("1,,"), values, error));
  // Bytes that are not text are not quoted into the message.
  EXPECT_FALSE(terrain::ReadNoiseArray(Write("\x89PNG\r\n\x1a\n,"), values, error));
  EXPECT_EQ(error, "value 0 at byte 0 is not a number");
  EXPECT_FALSE(terrain::ReadNoiseArray(temp_.File("missing.txt"), values, error));
  EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
}

TEST(AssembleTilesTest, PutsTilesWhereTheirPositionSays) {
  // 2 x 2 tiles of 2 x 1 samples: tile t holds 10t and 10t + 1; the x
  // position runs fastest, rows run from the lower z edge.
  const std::vector<float> values = {0, 1, 10, 11, 20, 21, 30, 31};
  std::vector<float> grid;
  std::string error;
  ASSERT_TRUE(terrain::AssembleTiles(values, 2, 2, 2, 1, grid, error)) << error;
  EXPECT_EQ(grid, (std::vector<float>{0, 1, 10, 11, 20, 21, 30, 31}));
  // 2 x 1 tiles of 2 x 2: each tile's second row continues the first row's
  // neighbours in the grid's second row.
  ASSERT_TRUE(terrain::AssembleTiles({0, 1, 2, 3, 10, 11, 12, 13}, 2, 1, 2, 2, grid, error)) << error;
  EXPECT_EQ(grid, (std::vector<float>{0, 1, 10, 11, 2, 3, 12, 13}));
}

TEST(AssembleTilesTest, RefusesCountsThatDoNotMatch) {
  std::vector<float> grid;
  std::string error;
  EXPECT_FALSE(terrain::AssembleTiles({1, 2, 3}, 2, 1, 2, 1, grid, error));
  EXPECT_FALSE(terrain::AssembleTiles({}, 0, 1, 2, 1, grid, error));
  EXPECT_FALSE(terrain::AssembleTiles({1, 2}, 1, 1, -2, -1, grid, error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
