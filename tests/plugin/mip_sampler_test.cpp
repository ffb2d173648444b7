#include "plugin/mip_sampler.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using loamwriter::MipSampler;

// A w x h bitmap with b bytes per pixel whose pixel (row, column) holds
// 16 x row + column in its first byte and 0x80 + its byte index in the rest.
std::vector<uint8_t> Bitmap(int w, int h, int b) {
  std::vector<uint8_t> pixels;
  for (int row = 0; row < h; ++row) {
    for (int column = 0; column < w; ++column) {
      pixels.push_back(static_cast<uint8_t>(16 * row + column));
      for (int i = 1; i < b; ++i) pixels.push_back(static_cast<uint8_t>(0x80 + i));
    }
  }
  return pixels;
}

TEST(MipSamplerTest, Level0ReversesTheRowsAndStep4PicksEveryFourthPixel) {
  const std::vector<uint8_t> pixels = {0, 1, 2, 3, 4, 5, 6, 7};
  std::vector<uint8_t> level0(8), level1(2);
  ASSERT_TRUE(MipSampler(4, 2, 1, pixels.data(), 1, level0.data(), 8));
  EXPECT_EQ(level0, (std::vector<uint8_t>{4, 5, 6, 7, 0, 1, 2, 3}));
  ASSERT_TRUE(MipSampler(4, 2, 1, pixels.data(), 4, level1.data(), 2));
  EXPECT_EQ(level1, (std::vector<uint8_t>{4, 0}));
}

// With the width a multiple of the step, the picks are columns 0, s, 2s, ...
// of the rows from the last to the first, as many rows as there are picks.
TEST(MipSamplerTest, PicksColumnsAtTheStepFromTheLastRowUp) {
  const int w = 16, h = 16, b = 2;
  const std::vector<uint8_t> pixels = Bitmap(w, h, b);
  for (int step : {4, 16, 64}) {
    SCOPED_TRACE(step);
    const int count = step == 4 ? 64 : step == 16 ? 16 : 4;
    std::vector<uint8_t> expected;
    // Each picked row gives w / step pixels; with step 64 every fourth row
    // gives its column 0.
    const int rowStep = step > w ? step / w : 1;
    for (int row = h - 1; row >= 0 && static_cast<int>(expected.size()) < count * b; row -= rowStep) {
      for (int column = 0; column<w; column += step> w ? w : step) {
        expected.push_back(static_cast<uint8_t>(16 * row + column));
        expected.push_back(0x81);
      }
    }
    std::vector<uint8_t> level(static_cast<size_t>(count * b));
    ASSERT_TRUE(MipSampler(w, h, b, pixels.data(), step, level.data(), count));
    EXPECT_EQ(level, expected);
  }
}

TEST(MipSamplerTest, PicksRunAcrossRowsWhenTheWidthIsNotAMultiple) {
  const std::vector<uint8_t> pixels = Bitmap(6, 4, 1);
  std::vector<uint8_t> level(6);
  ASSERT_TRUE(MipSampler(6, 4, 1, pixels.data(), 4, level.data(), 6));
  // Places 0, 4, 8, 12, 16, 20 of the order rows 3, 2, 1, 0.
  EXPECT_EQ(level, (std::vector<uint8_t>{0x30, 0x34, 0x22, 0x10, 0x14, 0x02}));
}

TEST(MipSamplerTest, RefusesPicksOutsideTheBitmapAndBadArguments) {
  const std::vector<uint8_t> pixels = Bitmap(4, 2, 1);
  std::vector<uint8_t> level(4, 0xEE);
  EXPECT_FALSE(MipSampler(4, 2, 1, pixels.data(), 4, level.data(), 3));  // place 8 of 8
  EXPECT_FALSE(MipSampler(0, 2, 1, pixels.data(), 1, level.data(), 1));
  EXPECT_FALSE(MipSampler(-4, 2, 1, pixels.data(), 1, level.data(), 1));
  EXPECT_FALSE(MipSampler(4, 2, -1, pixels.data(), 1, level.data(), 1));
  EXPECT_FALSE(MipSampler(4, 2, 1, pixels.data(), 0, level.data(), 1));
  EXPECT_FALSE(MipSampler(4, 2, 1, nullptr, 1, level.data(), 1));
  EXPECT_FALSE(MipSampler(4, 2, 1, pixels.data(), 1, nullptr, 1));
  EXPECT_EQ(level, std::vector<uint8_t>(4, 0xEE));
  // Nothing to pick is no error.
  EXPECT_TRUE(MipSampler(4, 2, 1, pixels.data(), 64, level.data(), 0));
  EXPECT_TRUE(MipSampler(0, 0, 1, nullptr, 1, nullptr, 0));
}

}  // namespace
