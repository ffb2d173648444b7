// Loading terrains: who decides the format, and what a height array or RAW
// file needs from the options before it can be read.
#include "terrain/terrain_loader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/byte_builder.h"
#include "support/temp_dir_fixture.h"

namespace {

using terrain::LoadResult;
using terrain::TerrainFormat;

class TerrainLoaderTest : public testsupport::TempDirFixture {
 protected:
  LoadResult Load(const std::vector<uint8_t>& bytes, const terrain::TerrainOptions& options) {
    return terrain::LoadTerrain(bytes, options, grid_, format_, error_);
  }
  LoadResult LoadFile(const std::string& name, const std::vector<uint8_t>& bytes,
                      const terrain::TerrainOptions& options) {
    EXPECT_TRUE(testsupport::WriteFileBytes(temp_.File(name), bytes));
    return terrain::LoadTerrain(temp_.File(name), options, grid_, format_, error_);
  }
  terrain::TerrainGrid grid_;
  TerrainFormat format_ = TerrainFormat::kUnknown;
  std::string error_;
};

// "1,2.5," is a height array of two values or a RAW file of three samples;
// only the caller can say which.
TEST_F(TerrainLoaderTest, TextAgainstRawIsTheCallersToName) {
  const std::vector<uint8_t> bytes = {'1', ',', '2', '.', '5', ','};
  terrain::TerrainOptions options;
  options.columns = 2;
  options.rows = 1;
  EXPECT_EQ(Load(bytes, options), LoadResult::kNeedsOptions);
  EXPECT_FALSE(error_.empty());
  EXPECT_EQ(LoadFile("terrain", bytes, options), LoadResult::kNeedsOptions);

  options.format = TerrainFormat::kHeightArray;
  ASSERT_EQ(Load(bytes, options), LoadResult::kLoaded) << error_;
  EXPECT_EQ(grid_.heights, (std::vector<double>{1.0, 2.5}));

  // Little-endian pairs: ",1" is 0x2C31, ".2" 0x2E32, ",5" 0x2C35.
  options.format = TerrainFormat::kRaw;
  options.columns = 3;
  ASSERT_EQ(Load(bytes, options), LoadResult::kLoaded) << error_;
  EXPECT_EQ(format_, TerrainFormat::kRaw);
  EXPECT_EQ(grid_.packed, (std::vector<uint16_t>{0x2C31, 0x2E32, 0x2C35}));
}

TEST_F(TerrainLoaderTest, MissingOptionsAndForeignNamesAreToldApart) {
  const std::vector<uint8_t> bytes = {'1', ',', '2', ','};
  terrain::TerrainOptions options;
  EXPECT_EQ(LoadFile("a.txt", bytes, options), LoadResult::kNeedsOptions);  // no size
  options.columns = 2;
  options.rows = 1;
  options.tilesX = 3;
  EXPECT_EQ(LoadFile("a.txt", bytes, options), LoadResult::kNeedsOptions);  // tiles do not divide
  options.tilesX = 1;
  EXPECT_EQ(LoadFile("a.txt", bytes, options), LoadResult::kLoaded) << error_;
  EXPECT_EQ(LoadFile("a.bmp", bytes, options), LoadResult::kFailed);
  EXPECT_EQ(LoadFile("a.obj", bytes, options), LoadResult::kFailed);
  EXPECT_EQ(terrain::LoadTerrain(temp_.File("missing.txt"), options, grid_, format_, error_),
            LoadResult::kFailed);
}

}  // namespace
