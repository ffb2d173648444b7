// Loading terrains: who decides the format, and what a height array or RAW
// file needs from the options before it can be read.
#include "terrain/terrain_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/byte_builder.h"
#include "support/temp_dir_fixture.h"

namespace {

using terrain::TerrainFormat;
using testsupport::ByteBuilder;

// An HMP7 file of 2 x 2 vertices packed 0, 100, 200, 300, z scale 0.5 and
// offset -10, spacings 8 east and 6 north, `param0` columns, and one 24-bit
// 4 x 4 skin with three mip levels (48 + 12 + 3 + 0 bytes, counting up).
ByteBuilder Hmp(float param0 = 2.0f) {
  ByteBuilder b;
  b.Text("HMP7", 4).I32(7).F32(1.0f).F32(1.0f).F32(0.5f).F32(0.0f).F32(0.0f).F32(-10.0f);
  b.I32(0).F32(8.0f).F32(6.0f).F32(param0);
  b.I32(1).I32(0).I32(0).I32(4).I32(0).I32(1).I32(0).I32(0).I32(0);
  b.I32(12).I32(4).I32(4);
  for (int i = 0; i < 63; ++i) b.U8(static_cast<uint8_t>(i));
  b.I32(2).Fill(0, 16).Text("ground", 16);
  for (uint16_t v = 0; v < 4; ++v) b.U16(static_cast<uint16_t>(100 * v)).U8(0).U8(0);
  return b;
}

// What a load comes to, as its callers tell it apart: read, refused for
// options the caller must give (kInvalidArgument), or refused for the file.
enum class LoadResult { kLoaded, kFailed, kNeedsOptions };

class TerrainLoaderTest : public testsupport::TempDirFixture {
 protected:
  LoadResult Load(const std::vector<uint8_t>& bytes, const terrain::TerrainOptions& options) {
    return Outcome(terrain::LoadTerrain(bytes, options, grid_, format_));
  }
  LoadResult LoadFile(const std::string& name, const std::vector<uint8_t>& bytes,
                      const terrain::TerrainOptions& options) {
    EXPECT_TRUE(testsupport::WriteFileBytes(temp_.File(name), bytes));
    return Outcome(terrain::LoadTerrain(temp_.File(name), options, grid_, format_));
  }
  // The outcome of `result`, its words (without the file's name) in error_.
  LoadResult Outcome(const terrain::TerrainResult& result) {
    error_ = result.Description();
    if (result) return LoadResult::kLoaded;
    return result.GetKind() == terrain::TerrainResult::Kind::kInvalidArgument ? LoadResult::kNeedsOptions
                                                                              : LoadResult::kFailed;
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
  EXPECT_EQ(Outcome(terrain::LoadTerrain(temp_.File("missing.txt"), options, grid_, format_)),
            LoadResult::kFailed);
}

TEST_F(TerrainLoaderTest, HeightArrayTilesAreCutFromTheSize) {
  // 2 x 2 in 2 x 1 tiles of 1 x 2: the first tile is the west column.
  terrain::TerrainOptions options;
  options.columns = 2;
  options.rows = 2;
  options.tilesX = 2;
  ASSERT_EQ(LoadFile("t.txt", {'1', ',', '2', ',', '3', ',', '4', ','}, options), LoadResult::kLoaded)
      << error_;
  EXPECT_EQ(grid_.heights, (std::vector<double>{1, 3, 2, 4}));
}

TEST_F(TerrainLoaderTest, TheNameDecidesBeforeTheContent) {
  // HMP bytes named .r16 are RAW samples: "HM" is 0x4D48, "P7" 0x3750.
  terrain::TerrainOptions options;
  options.columns = 2;
  options.rows = 1;
  ASSERT_EQ(LoadFile("a.r16", {'H', 'M', 'P', '7'}, options), LoadResult::kLoaded) << error_;
  EXPECT_EQ(grid_.packed, (std::vector<uint16_t>{0x4D48, 0x3750}));
  // Without an ending the content tells; a dot in a folder's name is no ending.
  ASSERT_EQ(LoadFile("terrain", Hmp().Data(), options), LoadResult::kLoaded) << error_;
  EXPECT_EQ(format_, TerrainFormat::kHmp);
  ASSERT_TRUE(std::filesystem::create_directory(temp_.File("v1.2")));
  EXPECT_EQ(LoadFile("v1.2/terrain", {'1', ',', '2', ','}, options), LoadResult::kNeedsOptions) << error_;
  // The options' format wins over the name.
  options.format = TerrainFormat::kHeightArray;
  ASSERT_EQ(LoadFile("a.png", {'1', ',', '2', ','}, options), LoadResult::kLoaded) << error_;
  EXPECT_EQ(grid_.heights, (std::vector<double>{1.0, 2.0}));
}

TEST_F(TerrainLoaderTest, HmpFilesGiveHeightsSpacingsAndSkinLevels) {
  ASSERT_EQ(Load(Hmp().Data(), {}), LoadResult::kLoaded) << error_;
  EXPECT_EQ(grid_.heights, (std::vector<double>{-10.0, 40.0, 90.0, 140.0}));
  EXPECT_EQ(grid_.low, -10.0);
  EXPECT_EQ(grid_.high, -10.0 + 65535 * 0.5);
  EXPECT_EQ(grid_.spacingX, 8.0);
  EXPECT_EQ(grid_.spacingY, 6.0);
  ASSERT_TRUE(grid_.hasHmpHeader);
  ASSERT_EQ(grid_.skins.size(), 1u);
  const terrain::TerrainSkin& skin = grid_.skins[0];
  EXPECT_EQ(skin.levels[0].size(), 48u);
  ASSERT_EQ(skin.levels[1].size(), 12u);
  EXPECT_EQ(skin.levels[1][0], 48);  // each level starts where the one before ends
  ASSERT_EQ(skin.levels[2].size(), 3u);
  EXPECT_EQ(skin.levels[2][0], 60);
  EXPECT_TRUE(skin.levels[3].empty());
}

TEST_F(TerrainLoaderTest, DamagedHmpFilesNameTheByteAtFault) {
  terrain::TerrainOptions options;
  terrain::TerrainResult result = terrain::LoadTerrain(Hmp(3.0f).Data(), options, grid_, format_);
  EXPECT_EQ(Outcome(result), LoadResult::kFailed);
  EXPECT_EQ(result.Offset(), 44);  // param0: 3 columns do not divide 4 vertices
  std::vector<uint8_t> cut = Hmp().Data();
  cut.pop_back();
  result = terrain::LoadTerrain(cut, options, grid_, format_);
  EXPECT_EQ(Outcome(result), LoadResult::kFailed);
  EXPECT_EQ(result.Offset(), 84 + 12 + 63);  // the frame whose vertices are cut short
  result = terrain::LoadTerrain(std::vector<uint8_t>{'H', 'M', 'P', '7'}, options, grid_, format_);
  EXPECT_EQ(Outcome(result), LoadResult::kFailed);
  EXPECT_EQ(result.Offset(), 0);
}

TEST_F(TerrainLoaderTest, RawSamplesRunFromTheNorthAndStandForTheRange) {
  // 1 x 2: the first sample stored is the north row, grid row 1.
  terrain::TerrainOptions options;
  options.format = TerrainFormat::kRaw;
  options.columns = 1;
  options.rows = 2;
  options.hasRange = true;
  options.rangeLow = -1.0;
  options.rangeHigh = 1.0;
  ASSERT_EQ(Load({0xFF, 0xFF, 0x00, 0x00}, options), LoadResult::kLoaded) << error_;
  EXPECT_EQ(grid_.packed, (std::vector<uint16_t>{0, 65535}));
  EXPECT_EQ(grid_.heights, (std::vector<double>{-1.0, 1.0}));
  options.hasRange = false;
  ASSERT_EQ(Load({0x01, 0x00, 0x02, 0x01}, options), LoadResult::kLoaded) << error_;
  EXPECT_EQ(grid_.heights, (std::vector<double>{258.0, 1.0}));
  EXPECT_EQ(Load({1, 2, 3}, options), LoadResult::kFailed);
  EXPECT_EQ(error_, "holds 3 bytes, but --size 1x2 needs 4");
  options.columns = 0;
  EXPECT_EQ(Load({1, 2, 3}, options), LoadResult::kNeedsOptions);
  EXPECT_EQ(error_, "a RAW file needs --size COLUMNSxROWS");
  options.columns = 65536;
  options.rows = 32768;
  EXPECT_EQ(Load({1, 2, 3}, options), LoadResult::kNeedsOptions);
  EXPECT_EQ(error_, "--size is larger than a terrain can be");
}

}  // namespace
