// Preparing terrains for writing and writing them: the height range and its
// packing, the header an HMP output keeps or takes anew, the row order and
// byte order of pictures and RAW files, and the skins and textures.
#include "terrain/terrain_saver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "support/byte_builder.h"
#include "support/temp_dir_fixture.h"
#include "support/terrain_assertions.h"
#include "terrain/grey_png.h"
#include "terrain/hmp_file.h"
#include "terrain/terrain_loader.h"

namespace {

using terrain::TerrainFormat;
using testsupport::ByteBuilder;
using testsupport::Succeeded;

terrain::TerrainGrid Grid(int32_t columns, int32_t rows, const std::vector<double>& heights) {
  terrain::TerrainGrid grid;
  grid.columns = columns;
  grid.rows = rows;
  grid.heights = heights;
  return grid;
}

// An HMP7 file of 2 x 2 vertices packed 0, 100, 200, 300 in one frame, the
// heights z scale 0.5 and offset -10 (-10, 40, 90, 140), spacings 8, and
// the given skins (type, width, height, data bytes filled with `fill`).
std::vector<uint8_t> HmpOf2x2(const std::vector<std::vector<int32_t>>& skins, uint8_t fill = 0x40) {
  ByteBuilder b;
  b.Text("HMP7", 4).I32(7).F32(1.0f).F32(1.0f).F32(0.5f).F32(0.0f).F32(0.0f).F32(-10.0f);
  b.I32(0).F32(8.0f).F32(8.0f).F32(2.0f);
  b.I32(static_cast<int32_t>(skins.size())).I32(0).I32(0).I32(4).I32(0).I32(1).I32(0).I32(0).I32(0);
  for (const std::vector<int32_t>& skin : skins) {
    b.I32(skin[0]).I32(skin[1]).I32(skin[2]).Fill(fill, static_cast<size_t>(skin[3]));
  }
  b.I32(2).Fill(0, 16).Text("ground", 16);
  for (uint16_t v = 0; v < 4; ++v) b.U16(static_cast<uint16_t>(100 * v)).U8(0).U8(0);
  return b.Data();
}

class TerrainSaverTest : public testsupport::TempDirFixture {
 protected:
  // Loads an HMP file from its bytes and prepares it with `options`.
  terrain::TerrainGrid LoadHmp(const std::vector<uint8_t>& bytes, const terrain::TerrainOptions& options) {
    terrain::TerrainGrid grid;
    TerrainFormat format = TerrainFormat::kUnknown;
    EXPECT_TRUE(Succeeded(terrain::LoadTerrain(bytes, terrain::TerrainOptions(), grid, format)));
    EXPECT_TRUE(Succeeded(terrain::PrepareTerrain(options, grid)));
    return grid;
  }
  terrain::TerrainResult result_;
};

TEST_F(TerrainSaverTest, PreparingScalesHeightsAndPacksThemBetweenTheirEnds) {
  // Scaled by 2 the heights run 0 .. 65535, one packed step a unit.
  terrain::TerrainGrid grid = Grid(3, 1, {0.0, 617.0, 32767.5});
  grid.spacingX = 4.0;
  grid.spacingY = std::numeric_limits<double>::quiet_NaN();
  terrain::TerrainOptions options;
  options.heightScale = 2.0;
  ASSERT_TRUE(Succeeded(terrain::PrepareTerrain(options, grid)));
  EXPECT_EQ(grid.packed, (std::vector<uint16_t>{0, 1234, 65535}));
  EXPECT_EQ(grid.low, 0.0);
  EXPECT_EQ(grid.high, 65535.0);
  EXPECT_EQ(grid.spacingX, 4.0);  // the input's
  EXPECT_EQ(grid.spacingY, 1.0);  // none usable: 1
  // The options' range and spacing win; heights beyond the range stop at its ends.
  grid = Grid(4, 1, {-5.0, 0.0, 10.0, 20.0});
  grid.spacingX = 4.0;
  options = terrain::TerrainOptions();
  options.hasRange = true;
  options.rangeHigh = 10.0;
  options.spacingX = 0.5;
  ASSERT_TRUE(Succeeded(terrain::PrepareTerrain(options, grid)));
  EXPECT_EQ(grid.packed, (std::vector<uint16_t>{0, 0, 65535, 65535}));
  EXPECT_EQ(grid.spacingX, 0.5);
}

TEST_F(TerrainSaverTest, PreparingRefusesWhatAnHmpHeaderCannotHold) {
  terrain::TerrainGrid grid = Grid(2, 1, {0.0, std::numeric_limits<double>::infinity()});
  EXPECT_FALSE(result_ = terrain::PrepareTerrain(terrain::TerrainOptions(), grid));
  EXPECT_NE(result_.Text().find("not a finite number"), std::string::npos) << result_.Text();
  // 1e300 x 1e10 overflows only once scaled.
  grid = Grid(1, 1, {1e300});
  terrain::TerrainOptions options;
  options.heightScale = 1e10;
  EXPECT_FALSE(terrain::PrepareTerrain(options, grid));
  // Engine numbers reach 2097151 and no further.
  for (double high : {2097151.0, 2097152.0}) {
    grid = Grid(2, 1, {-2097151.0, high});
    result_ = terrain::PrepareTerrain(terrain::TerrainOptions(), grid);
    EXPECT_EQ(static_cast<bool>(result_), high < 2097152.0) << high;
    EXPECT_EQ(result_.Text().find("the height range does not fit"), high < 2097152.0 ? std::string::npos : 0u)
        << result_.Text();
  }
}

TEST_F(TerrainSaverTest, PackedHeightsOfPicturesAreKeptEvenWithARange) {
  terrain::TerrainGrid grid = Grid(2, 1, {0.0, 1.0});
  grid.packed = {7, 9};
  grid.high = 65535.0;
  terrain::TerrainOptions options;
  options.hasRange = true;
  options.rangeHigh = 1.0;
  ASSERT_TRUE(Succeeded(terrain::PrepareTerrain(options, grid)));
  EXPECT_EQ(grid.packed, (std::vector<uint16_t>{7, 9}));
}

TEST_F(TerrainSaverTest, HmpToHmpKeepsTheHeaderUnlessARangeIsChosen) {
  const std::string path = temp_.File("out.hmp");
  terrain::HmpFile out;
  terrain::TerrainGrid kept = LoadHmp(HmpOf2x2({}), terrain::TerrainOptions());
  ASSERT_TRUE(Succeeded(terrain::SaveTerrain(kept, TerrainFormat::kHmp, terrain::TerrainOptions(), path)));
  ASSERT_TRUE(out.Load(path));
  EXPECT_EQ(out.Header().scale[2], 0.5f);
  EXPECT_EQ(out.Header().offset[2], -10.0f);
  std::vector<uint16_t> heights;
  ASSERT_TRUE(out.FrameHeights(0, heights));
  EXPECT_EQ(heights, (std::vector<uint16_t>{0, 100, 200, 300}));

  // Range 0 .. 65535: scale 1 and offset 0; -10 stops at 0, 40 packs to 40.
  terrain::TerrainOptions options;
  options.hasRange = true;
  options.rangeHigh = 65535.0;
  terrain::TerrainGrid ranged = LoadHmp(HmpOf2x2({}), options);
  ASSERT_TRUE(Succeeded(terrain::SaveTerrain(ranged, TerrainFormat::kHmp, options, path)));
  ASSERT_TRUE(out.Load(path));
  EXPECT_EQ(out.Header().scale[2], 1.0f);
  EXPECT_EQ(out.Header().offset[2], 0.0f);
  EXPECT_EQ(out.Header().param1, 8.0f);  // the input's spacing stays
  ASSERT_TRUE(out.FrameHeights(0, heights));
  EXPECT_EQ(heights, (std::vector<uint16_t>{0, 40, 90, 140}));
}

// A new height scale or spacing rewrites the header around the packed
// heights, which stay: scaled by 2 they stand for -20 + p x 1.
TEST_F(TerrainSaverTest, HmpHeaderFollowsANewHeightScaleOrSpacing) {
  const std::string path = temp_.File("out.hmp");
  terrain::HmpFile out;
  std::vector<uint16_t> heights;
  terrain::TerrainOptions options;
  options.heightScale = 2.0;
  terrain::TerrainGrid scaled = LoadHmp(HmpOf2x2({}), options);
  ASSERT_TRUE(Succeeded(terrain::SaveTerrain(scaled, TerrainFormat::kHmp, options, path)));
  ASSERT_TRUE(out.Load(path) && out.FrameHeights(0, heights));
  EXPECT_EQ(out.Header().scale[2], 1.0f);
  EXPECT_EQ(out.Header().offset[2], -20.0f);
  EXPECT_EQ(heights, (std::vector<uint16_t>{0, 100, 200, 300}));
  // Spacing north 3 (and east kept at 8): 2 rows span 3, 2 columns 8.
  options = terrain::TerrainOptions();
  options.spacingY = 3.0;
  terrain::TerrainGrid spaced = LoadHmp(HmpOf2x2({}), options);
  ASSERT_TRUE(Succeeded(terrain::SaveTerrain(spaced, TerrainFormat::kHmp, options, path)));
  ASSERT_TRUE(out.Load(path));
  EXPECT_EQ(out.Header().param1, 8.0f);
  EXPECT_EQ(out.Header().param2, 3.0f);
  EXPECT_EQ(out.Header().scale[1], static_cast<float>(3.0 / 65535.0));
}

TEST_F(TerrainSaverTest, PicturesAndRawFilesRunFromTheNorthRow) {
  // Grid row 0 is the south: 1 2 / north 3 0x1234.
  terrain::TerrainGrid grid = Grid(2, 2, {0, 0, 0, 0});
  grid.packed = {1, 2, 3, 0x1234};
  grid.high = 65535.0;
  ASSERT_TRUE(Succeeded(terrain::PrepareTerrain(terrain::TerrainOptions(), grid)));
  ASSERT_TRUE(Succeeded(terrain::SaveTerrain(grid, TerrainFormat::kRaw, {}, temp_.File("t.r16"))));
  EXPECT_EQ(testsupport::ReadFileBytes(temp_.File("t.r16")),
            (std::vector<uint8_t>{0x03, 0x00, 0x34, 0x12, 0x01, 0x00, 0x02, 0x00}));
  if (!terrain::GreyPngSupported()) GTEST_SKIP() << "no PNG support";
  ASSERT_TRUE(Succeeded(terrain::SaveTerrain(grid, TerrainFormat::kPng, {}, temp_.File("t.png"))));
  terrain::GreyPicture picture;
  ASSERT_TRUE(Succeeded(terrain::ReadGreyPng(testsupport::ReadFileBytes(temp_.File("t.png")), picture)));
  EXPECT_EQ(picture.samples, (std::vector<uint16_t>{3, 0x1234, 1, 2}));
}

TEST_F(TerrainSaverTest, HmpSkinsComeFromThePictureElseTheInputElseBlank) {
  terrain::TerrainGrid grid = LoadHmp(HmpOf2x2({{4, 2, 1, 6}}), terrain::TerrainOptions());
  const std::string path = temp_.File("s.hmp");
  terrain::HmpFile out;
  ASSERT_TRUE(Succeeded(terrain::SaveTerrain(grid, TerrainFormat::kHmp, {}, path)));
  ASSERT_TRUE(out.Load(path) && out.WalkComplete());
  ASSERT_EQ(out.Skins().size(), 1u);
  EXPECT_EQ(out.Skins()[0].type, 4);
  std::vector<uint8_t> data;
  ASSERT_TRUE(out.SkinBytes(0, data));
  EXPECT_EQ(data, std::vector<uint8_t>(6, 0x40));

  // A 16 x 8 picture: 24-bit with three mip levels (16x8, 8x4, 4x2, 2x1).
  terrain::BmpImage skin;
  skin.width = 16;
  skin.height = 8;
  skin.pixels.assign(16 * 8 * 3, 0x11);
  ASSERT_TRUE(Succeeded(terrain::SaveTerrain(grid, TerrainFormat::kHmp, {}, skin, path)));
  ASSERT_TRUE(out.Load(path) && out.WalkComplete());
  ASSERT_EQ(out.Skins().size(), 1u);
  EXPECT_EQ(out.Skins()[0].type, 12);
  EXPECT_EQ(out.Skins()[0].width, 16);
  EXPECT_EQ(out.Skins()[0].dataBytes, 3u * (128 + 32 + 8 + 2));
  // A picture of more than 2^31 - 1 bytes is refused before it is looked at.
  const terrain::BmpImage huge{30000, 30000, {}};
  EXPECT_FALSE(result_ = terrain::SaveTerrain(grid, TerrainFormat::kHmp, {}, huge, path));
  EXPECT_EQ(result_.Text(), "the skin: the picture is too large for a skin");

  // No skin at all, and a blank one asked for: the grid's sides rounded up
  // to 8.
  grid.skins.clear();
  terrain::TerrainOptions blank;
  blank.defaultSkin = terrain::DefaultSkin::kBlank;
  ASSERT_TRUE(Succeeded(terrain::SaveTerrain(grid, TerrainFormat::kHmp, blank, path)));
  ASSERT_TRUE(out.Load(path) && out.WalkComplete());
  ASSERT_EQ(out.Skins().size(), 1u);
  EXPECT_EQ(out.Skins()[0].type, 0);
  EXPECT_EQ(out.Skins()[0].width, 8);
  EXPECT_EQ(out.Skins()[0].height, 8);
}

// The skin of a terrain that brings none: by default the lit relief, a
// 24-bit skin with three mip levels (type 12), never an 8-bit (type 0)
// first skin; the file's bytes are read here by their offsets. Heights rise
// from south to north, so the stored rows, which run from the picture's
// bottom, begin in the water's blue and end in the peaks' white.
TEST_F(TerrainSaverTest, DefaultSkinIsTheTrueColourReliefWithTheNorthAtTheTop) {
  std::vector<double> heights;
  for (int32_t y = 0; y < 33; ++y) heights.insert(heights.end(), 33, 10.0 * y);
  terrain::TerrainGrid grid = Grid(33, 33, heights);
  ASSERT_TRUE(Succeeded(terrain::PrepareTerrain({}, grid)));
  const std::string path = temp_.File("relief.hmp");
  ASSERT_TRUE(Succeeded(terrain::SaveTerrain(grid, TerrainFormat::kHmp, {}, path)));
  const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(path);
  // Header 84, skin header 12, 40 x 40 pixels and mips 20 x 20, 10 x 10,
  // 5 x 5 of 3 bytes, frame header 36, 33 x 33 vertices of 4 bytes.
  const size_t skinBytes = 3 * (1600 + 400 + 100 + 25);
  ASSERT_EQ(bytes.size(), 84u + 12 + skinBytes + 36 + 4 * 33 * 33);
  EXPECT_EQ(testsupport::LoadU32(bytes, 48), 1u);   // numSkins
  EXPECT_EQ(testsupport::LoadU32(bytes, 84), 12u);  // 888 with mips
  EXPECT_EQ(testsupport::LoadU32(bytes, 88), 40u);
  EXPECT_EQ(testsupport::LoadU32(bytes, 92), 40u);
  EXPECT_EQ(testsupport::LoadU32(bytes, 96 + skinBytes), 2u);  // the frame follows
  const size_t firstRow = 96, lastRow = 96 + 39 * 40 * 3;
  for (size_t x = 0; x < 40; ++x) {
    const uint8_t* south = &bytes[firstRow + 3 * x];  // blue, green, red
    const uint8_t* north = &bytes[lastRow + 3 * x];
    EXPECT_GT(south[0], south[2]) << x;
    EXPECT_LT(south[2], 60) << x;
    EXPECT_GT(north[2], 150) << x;
    EXPECT_GT(north[1], 150) << x;
  }

  // A huge grid makes a skin of at most 1024 x 1024 pixels.
  terrain::TerrainGrid wide = Grid(2000, 3, std::vector<double>(6000, 1.0));
  ASSERT_TRUE(Succeeded(terrain::PrepareTerrain({}, wide)));
  ASSERT_TRUE(Succeeded(terrain::SaveTerrain(wide, TerrainFormat::kHmp, {}, path)));
  const std::vector<uint8_t> wideBytes = testsupport::ReadFileBytes(path);
  EXPECT_EQ(testsupport::LoadU32(wideBytes, 84), 12u);
  EXPECT_EQ(testsupport::LoadU32(wideBytes, 88), 1024u);
  EXPECT_EQ(testsupport::LoadU32(wideBytes, 92), 8u);
}

// An HMP file read without skins is written back without skins.
TEST_F(TerrainSaverTest, HmpWithoutSkinsIsWrittenBackWithoutSkins) {
  const std::vector<uint8_t> input = HmpOf2x2({});
  terrain::TerrainGrid grid = LoadHmp(input, {});
  const std::string path = temp_.File("bare.hmp");
  ASSERT_TRUE(Succeeded(terrain::SaveTerrain(grid, TerrainFormat::kHmp, {}, path)));
  const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(path);
  ASSERT_EQ(bytes.size(), 84u + 36 + 16);
  EXPECT_EQ(testsupport::LoadU32(bytes, 48), 0u);
  EXPECT_EQ(testsupport::LoadU32(bytes, 84), 2u);  // the frame at once
}

TEST_F(TerrainSaverTest, ObjTextureIsTheFirstTrueColourSkin) {
  // A palette skin (type 0) holds no colour; the 565 skin after it does.
  terrain::TerrainGrid grid = LoadHmp(HmpOf2x2({{0, 8, 8, 64}, {2, 1, 1, 2}}, 0xFF), {});
  ASSERT_EQ(grid.skins.size(), 2u);
  ASSERT_TRUE(Succeeded(terrain::SaveTerrain(grid, TerrainFormat::kObj, {}, temp_.File("m.obj"))));
  const std::vector<uint8_t> mtl = testsupport::ReadFileBytes(temp_.File("m.mtl"));
  EXPECT_NE(std::string(mtl.begin(), mtl.end()).find("map_Kd m.png"), std::string::npos);
  EXPECT_FALSE(testsupport::ReadFileBytes(temp_.File("m.png")).empty());
  grid.skins.resize(1);
  ASSERT_TRUE(Succeeded(terrain::SaveTerrain(grid, TerrainFormat::kObj, {}, temp_.File("n.obj"))));
  EXPECT_TRUE(testsupport::ReadFileBytes(temp_.File("n.png")).empty());
}

// The texture of a skin kept from an HMP file has the picture's top row at
// its top, as the texture of the picture itself has: the skin stores the
// rows from the bottom up.
TEST_F(TerrainSaverTest, ObjTextureOfAKeptSkinIsTheRightWayUp) {
  terrain::TerrainGrid grid = Grid(2, 2, {0, 1, 2, 3});
  ASSERT_TRUE(Succeeded(terrain::PrepareTerrain({}, grid)));
  terrain::BmpImage picture;
  picture.width = 2;
  picture.height = 3;
  picture.pixels = {255, 0, 0, 255, 0, 0, 0, 255, 0, 0, 255, 0, 0, 0, 255, 0, 0, 254};
  ASSERT_TRUE(
      Succeeded(terrain::SaveTerrain(grid, TerrainFormat::kObj, {}, picture, temp_.File("direct.obj"))));
  ASSERT_TRUE(Succeeded(terrain::SaveTerrain(grid, TerrainFormat::kHmp, {}, picture, temp_.File("s.hmp"))));
  terrain::TerrainGrid kept = LoadHmp(testsupport::ReadFileBytes(temp_.File("s.hmp")), {});
  ASSERT_TRUE(Succeeded(terrain::SaveTerrain(kept, TerrainFormat::kObj, {}, temp_.File("kept.obj"))));
  const std::vector<uint8_t> direct = testsupport::ReadFileBytes(temp_.File("direct.png"));
  ASSERT_FALSE(direct.empty());
  EXPECT_EQ(testsupport::ReadFileBytes(temp_.File("kept.png")), direct);
}

TEST_F(TerrainSaverTest, RefusalsNameTheirCause) {
  terrain::TerrainGrid grid = Grid(2, 2, {0, 1, 2, 3});
  ASSERT_TRUE(Succeeded(terrain::PrepareTerrain({}, grid)));
  EXPECT_FALSE(result_ = terrain::SaveTerrain(grid, TerrainFormat::kHeightArray, {}, temp_.File("a.txt")));
  EXPECT_NE(result_.Text().find("are written to"), std::string::npos) << result_.Text();
  EXPECT_FALSE(result_ = terrain::SaveTerrain(grid, TerrainFormat::kHmp, {}, temp_.File("no/a.hmp")));
  EXPECT_EQ(result_.Text().find(temp_.File("no/a.hmp")), 0u) << result_.Text();
  terrain::TerrainOptions options;
  options.skinPath = temp_.File("missing.bmp");
  EXPECT_FALSE(result_ = terrain::SaveTerrain(grid, TerrainFormat::kHmp, options, temp_.File("a.hmp")));
  EXPECT_EQ(result_.Text().find(options.skinPath), 0u) << result_.Text();
  EXPECT_TRUE(testsupport::ReadFileBytes(temp_.File("a.hmp")).empty());
}

TEST_F(TerrainSaverTest, SkinSidesNotMultiplesOf8AreWarnedOf) {
  // A 10 x 6 BMP, bottom-up, rows of 30 bytes padded to 32.
  ByteBuilder bmp;
  bmp.Text("BM", 2).U32(54 + 6 * 32).U32(0).U32(54).U32(40).I32(10).I32(6).U16(1).U16(24).U32(0);
  bmp.U32(6 * 32).Fill(0, 16).Fill(0x22, 6 * 32);
  ASSERT_TRUE(testsupport::WriteFileBytes(temp_.File("skin.bmp"), bmp.Data()));
  terrain::TerrainGrid grid = Grid(2, 2, {0, 1, 2, 3});
  ASSERT_TRUE(Succeeded(terrain::PrepareTerrain({}, grid)));
  terrain::TerrainOptions options;
  options.skinPath = temp_.File("skin.bmp");
  std::string warning;
  ASSERT_TRUE(
      Succeeded(terrain::SaveTerrain(grid, TerrainFormat::kHmp, options, temp_.File("w.hmp"), &warning)));
  EXPECT_EQ(warning, options.skinPath +
                         " is 10 x 6; some readers take only skins whose sides are multiples of 8, such "
                         "as 8 x 8 or 16 x 8");
  warning.clear();
  ASSERT_TRUE(
      Succeeded(terrain::SaveTerrain(grid, TerrainFormat::kObj, options, temp_.File("w.obj"), &warning)));
  EXPECT_TRUE(warning.empty());
  EXPECT_FALSE(testsupport::ReadFileBytes(temp_.File("w.png")).empty());
}

}  // namespace
