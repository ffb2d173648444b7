// terrainview on small terrains whose pictures are known.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "render/terrain_picture.h"
#include "support/byte_builder.h"
#include "support/run_program.h"
#include "support/temp_dir_fixture.h"
#include "support/terrain_assertions.h"
#include "terrain/grey_png.h"
#include "terrain/terrain_saver.h"

namespace {

using testsupport::ByteBuilder;
using testsupport::LoadU32;

struct Rgb {
  int r, g, b;
};

// A 24-bit BMP decoded here: its size and its pixels, row 0 at the top.
struct Picture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<Rgb> pixels;
  Rgb At(int x, int yFromTop) const { return pixels[static_cast<size_t>(yFromTop * width + x)]; }
};

Picture DecodeBmp(const std::vector<uint8_t>& bytes) {
  Picture p;
  if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') {
    ADD_FAILURE() << "not a BMP file";
    return p;
  }
  p.width = static_cast<int32_t>(LoadU32(bytes, 18));
  p.height = static_cast<int32_t>(LoadU32(bytes, 22));
  const size_t offset = LoadU32(bytes, 10);
  const size_t row = (static_cast<size_t>(p.width) * 3 + 3) / 4 * 4;
  EXPECT_EQ(bytes.size(), offset + row * static_cast<size_t>(p.height));
  if (bytes.size() < offset + row * static_cast<size_t>(p.height)) return p;
  for (int y = p.height - 1; y >= 0; --y) {
    for (int x = 0; x < p.width; ++x) {
      const uint8_t* px = bytes.data() + offset + static_cast<size_t>(y) * row + static_cast<size_t>(x) * 3;
      p.pixels.push_back(Rgb{px[2], px[1], px[0]});
    }
  }
  return p;
}

int Brightness(const Rgb& c) { return c.r + c.g + c.b; }

class TerrainviewTest : public testsupport::TempDirFixture {
 protected:
  testsupport::ProgramResult Terrainview(const std::vector<std::string>& args) {
    return testsupport::RunProgram(TERRAINVIEW_PROGRAM, args, temp_.Path());
  }
  std::string WriteArray(const std::vector<float>& values) {
    std::string text;
    for (float v : values) {
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%g,", static_cast<double>(v));
      text += buffer;
    }
    const std::string path = temp_.File("noise_arr.txt");
    EXPECT_TRUE(testsupport::WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end())));
    return path;
  }
};

// A north-south ridge 8 samples wide and 4 deep, stored as duneforge stores
// 2 x 1 tiles of 4 x 4: the western tile's rows first, then the eastern's.
std::vector<float> RidgeInTiles() {
  const float profile[8] = {0, 1, 2, 3, 3, 2, 1, 0};
  std::vector<float> values;
  for (int tile = 0; tile < 2; ++tile) {
    for (int row = 0; row < 4; ++row) {
      for (int x = 0; x < 4; ++x) values.push_back(profile[tile * 4 + x]);
    }
  }
  return values;
}

TEST_F(TerrainviewTest, DrawsTheRidgeColouredByHeightAndLitFromTheEast) {
  const std::string array = WriteArray(RidgeInTiles());
  const std::string bmp = temp_.File("ridge.bmp");
  const auto result = Terrainview({array, "--size", "8x4", "--tiles", "2x1", "--spacing", "1", bmp});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, bmp + ": 8 x 4 pixels\n");
  const Picture p = DecodeBmp(testsupport::ReadFileBytes(bmp));
  ASSERT_EQ(p.width, 8);
  ASSERT_EQ(p.height, 4);
  ASSERT_EQ(p.pixels.size(), 32u);
  // Every row is the same: the tiles were put side by side, not one above
  // the other.
  for (int y = 1; y < 4; ++y) {
    for (int x = 0; x < 8; ++x) EXPECT_EQ(Brightness(p.At(x, y)), Brightness(p.At(x, 0))) << x << "," << y;
  }
  // The lowest ground is water, the crest grey rock.
  const Rgb water = p.At(0, 1), crest = p.At(4, 1);
  EXPECT_GT(water.b, water.r);
  EXPECT_GT(water.b, water.g);
  EXPECT_LT(std::abs(crest.r - crest.b), 40);
  // Samples of the same height: the slope that faces the light (east)
  // is brighter than the one facing away.
  EXPECT_GT(Brightness(p.At(6, 1)), Brightness(p.At(1, 1)));
  EXPECT_GT(Brightness(p.At(5, 1)), Brightness(p.At(2, 1)));
}

TEST_F(TerrainviewTest, ReadsTheGridOfATerrainFile) {
  // 3 x 2 vertices rising to the north, param0 = 3 columns.
  ByteBuilder b;
  b.Text("HMP7", 4).I32(0).F32(1).F32(1).F32(0.5f).F32(0).F32(0).F32(0).I32(0).F32(2).F32(2).F32(3);
  b.I32(0).I32(0).I32(0).I32(6).I32(0).I32(1).I32(0).I32(0).I32(0);
  b.I32(2).Fill(0, 32);
  for (int v = 0; v < 6; ++v) b.U16(static_cast<uint16_t>(v < 3 ? 0 : 8)).U8(0).U8(0);
  const std::string hmp = temp_.File("t.hmp");
  ASSERT_TRUE(testsupport::WriteFileBytes(hmp, b.Data()));
  const std::string bmp = temp_.File("t.bmp");
  const auto result = Terrainview({hmp, bmp});
  ASSERT_EQ(result.status, 0) << result.err;
  const Picture p = DecodeBmp(testsupport::ReadFileBytes(bmp));
  EXPECT_EQ(p.width, 3);
  EXPECT_EQ(p.height, 2);
  // North (the high row) at the top.
  ASSERT_EQ(p.pixels.size(), 6u);
  EXPECT_GT(p.At(1, 1).b, p.At(1, 1).r);  // the low southern row is water
  EXPECT_NE(Brightness(p.At(1, 0)), Brightness(p.At(1, 1)));

  // A column count that does not divide the vertices is refused.
  b.PatchU32(44, 0x40800000u);  // 4.0f
  ASSERT_TRUE(testsupport::WriteFileBytes(hmp, b.Data()));
  const auto refused = Terrainview({hmp, bmp});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("param0"), std::string::npos) << refused.err;
}

TEST_F(TerrainviewTest, WritesPngWhenBuiltWithIt) {
  if (!render::PngSupported()) GTEST_SKIP() << "built without PNG support";
  const std::string array = WriteArray(RidgeInTiles());
  const std::string png = temp_.File("ridge.png");
  const auto result = Terrainview({array, "--size", "8x4", "--tiles", "2x1", png});
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(png);
  ASSERT_GT(bytes.size(), 24u);
  EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 4), "PNG");
  EXPECT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "IHDR");
  EXPECT_EQ((bytes[16] << 24) | (bytes[17] << 16) | (bytes[18] << 8) | bytes[19], 8);  // width
  EXPECT_EQ((bytes[20] << 24) | (bytes[21] << 16) | (bytes[22] << 8) | bytes[23], 4);  // height
}

TEST_F(TerrainviewTest, FlatTerrainIsOneColour) {
  const std::string array = WriteArray(std::vector<float>(12, 0.25f));
  const std::string bmp = temp_.File("flat.bmp");
  ASSERT_EQ(Terrainview({array, "--size", "4x3", bmp}).status, 0);
  const Picture p = DecodeBmp(testsupport::ReadFileBytes(bmp));
  ASSERT_EQ(p.pixels.size(), 12u);
  for (const Rgb& c : p.pixels) {
    EXPECT_EQ(c.r, p.pixels[0].r);
    EXPECT_EQ(c.g, p.pixels[0].g);
    EXPECT_EQ(c.b, p.pixels[0].b);
  }
}

TEST_F(TerrainviewTest, BadInputsAreRefusedWithAReason) {
  const std::string array = WriteArray(RidgeInTiles());
  const std::string bmp = temp_.File("x.bmp");
  auto result = Terrainview({array, "--size", "8x5", bmp});  // 32 values, not 40
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("32 values"), std::string::npos) << result.err;
  EXPECT_EQ(Terrainview({array, bmp}).status, 2);  // a height array needs --size
  EXPECT_EQ(Terrainview({array, "--size", "8x4", "--tiles", "3x1", bmp}).status, 2);
  EXPECT_EQ(Terrainview({array, "--size", "0x4", bmp}).status, 2);
  EXPECT_EQ(Terrainview({array, "--spacing", "-1", "--size", "8x4", bmp}).status, 2);
  result = Terrainview({temp_.File("missing.txt"), "--size", "8x4", bmp});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("cannot open"), std::string::npos) << result.err;
  result = Terrainview({array, "--size", "8x4", temp_.File("no/such/folder/x.bmp")});
  EXPECT_EQ(result.status, 1);
  EXPECT_FALSE(result.err.empty());
}

// A picture name with another extension is a usage error found before
// anything is read or written, also of the pictures named before it.
TEST_F(TerrainviewTest, RefusesPictureFormatsItCannotWrite) {
  const std::string array = WriteArray(RidgeInTiles());
  const auto result = Terrainview({array, "--size", "8x4", temp_.File("a.bmp"), temp_.File("b.jpg")});
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find(".bmp and .png"), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
  EXPECT_FALSE(std::filesystem::exists(temp_.File("a.bmp")));
  EXPECT_FALSE(std::filesystem::exists(temp_.File("b.jpg")));
}

TEST_F(TerrainviewTest, ReadsPngAndRawTerrains) {
  // A 2 x 2 ramp as a 16-bit RAW file and as a 16-bit PNG picture.
  const std::vector<uint8_t> raw = {0, 0, 0, 64, 0, 128, 255, 255};
  const std::string rawPath = temp_.File("ramp.r16");
  ASSERT_TRUE(testsupport::WriteFileBytes(rawPath, raw));
  auto result = Terrainview({rawPath, "--size", "2x2", temp_.File("raw.bmp")});
  EXPECT_EQ(result.status, 0) << result.err;
  if (!terrain::GreyPngSupported()) return;
  ASSERT_TRUE(testsupport::Succeeded(terrain::WriteGreyPng(
      terrain::GreyPicture{2, 2, {0, 16384, 32768, 65535}, {}}, temp_.File("ramp.png"))));
  result = Terrainview({temp_.File("ramp.png"), temp_.File("png.bmp")});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err.find("PNG"), std::string::npos) << result.err;
}

// Rough ground whose heights span 300 units over 400 x 340 samples, 1 apart
// (an elevation model's kind of steepness): drawn at that spacing nearly
// every pixel would be pure black or white; the default relief keeps it a
// picture, at most 5 % of its pixels pure black or white.
TEST_F(TerrainviewTest, DefaultReliefOfRoughGroundIsNotBlackAndWhite) {
  terrain::TerrainGrid rough;
  rough.columns = 400;
  rough.rows = 340;
  for (int y = 0; y < rough.rows; ++y) {
    for (int x = 0; x < rough.columns; ++x) {
      rough.heights.push_back(150 + 70 * std::sin(x / 9.0) * std::cos(y / 13.0) +
                              50 * std::sin((x + 2 * y) / 5.0) + 30 * std::cos(x / 3.1 - y / 4.3));
    }
  }
  terrain::TerrainOptions settings;
  settings.spacingX = settings.spacingY = 1.0;
  const std::string hmp = temp_.File("rough.hmp");
  ASSERT_TRUE(testsupport::Succeeded(terrain::PrepareTerrain(settings, rough)));
  ASSERT_GT(rough.high - rough.low, 290.0);
  ASSERT_TRUE(
      testsupport::Succeeded(terrain::SaveTerrain(rough, terrain::TerrainFormat::kHmp, settings, hmp)));
  const std::string bmp = temp_.File("rough.bmp");
  ASSERT_EQ(Terrainview({hmp, bmp}).status, 0);
  const Picture picture = DecodeBmp(testsupport::ReadFileBytes(bmp));
  size_t saturated = 0;
  for (const Rgb& c : picture.pixels) saturated += Brightness(c) == 0 || Brightness(c) == 3 * 255;
  EXPECT_LE(saturated * 20, picture.pixels.size()) << saturated << " of " << picture.pixels.size();
}

}  // namespace
