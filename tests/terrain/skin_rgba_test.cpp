// Skin pixels of every true-colour format decoded to red, green, blue, alpha.
#include "terrain/skin_rgba.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint8_t> Decode(uint8_t type, int32_t bytesPerPixel, const std::vector<uint8_t>& pixels) {
  std::vector<uint8_t> rgba;
  const int32_t width = static_cast<int32_t>(pixels.size()) / bytesPerPixel;
  EXPECT_TRUE(terrain::DecodeSkinRgba(type, bytesPerPixel, width, 1, pixels.data(), rgba)) << int{type};
  return rgba;
}

TEST(SkinRgbaTest, SixteenBitPixelsAre565Or4444ByTheTypesLowBits) {
  // 565, little-endian: 0xF800 pure red, 0x07E0 pure green, 0x001F pure blue,
  // 0x8408 red 16 (16 x 255 / 31 = 131), green 32 (129), blue 8 (65).
  const std::vector<uint8_t> pixels = {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0x08, 0x84};
  const std::vector<uint8_t> rgb565 = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 131, 129, 65, 255};
  EXPECT_EQ(Decode(2, 2, pixels), rgb565);
  EXPECT_EQ(Decode(2 | 8, 2, pixels), rgb565);  // the mip bit changes nothing
  // 4444: 0x1234 is alpha 1, red 2, green 3, blue 4, each x 17.
  EXPECT_EQ(Decode(3, 2, {0x34, 0x12}), (std::vector<uint8_t>{34, 51, 68, 17}));
  EXPECT_EQ(Decode(3 | 8, 2, {0xFF, 0xF0}), (std::vector<uint8_t>{0, 255, 255, 255}));
}

TEST(SkinRgbaTest, ByteWisePixelsAreBlueGreenRedThenAlpha) {
  EXPECT_EQ(Decode(4, 3, {1, 2, 3, 4, 5, 6}), (std::vector<uint8_t>{3, 2, 1, 255, 6, 5, 4, 255}));
  EXPECT_EQ(Decode(5, 4, {1, 2, 3, 4}), (std::vector<uint8_t>{3, 2, 1, 4}));
}

TEST(SkinRgbaTest, PalettesAndEmptySizesAreRefused) {
  const uint8_t pixels[8] = {};
  std::vector<uint8_t> rgba;
  EXPECT_FALSE(terrain::DecodeSkinRgba(0, 1, 1, 1, pixels, rgba));
  EXPECT_FALSE(terrain::DecodeSkinRgba(6, 1, 1, 1, pixels, rgba));
  EXPECT_FALSE(terrain::DecodeSkinRgba(4, 3, 0, 1, pixels, rgba));
  EXPECT_FALSE(terrain::DecodeSkinRgba(4, 3, 1, -1, pixels, rgba));
  EXPECT_FALSE(terrain::DecodeSkinRgba(5, 5, 1, 1, pixels, rgba));
}

}  // namespace
