#include "noisemap/color_ramp.h"

#include <gtest/gtest.h>

#include "noisemap/relief_renderer.h"

namespace {

using noise::utils::BlendColors;
using noise::utils::ColorRamp;
using noise::utils::PixelColor;

constexpr PixelColor kBlack(255, 0, 0, 0);
constexpr PixelColor kWhite(255, 255, 255, 255);

void AddGrey(ColorRamp& ramp) {
  ramp.AddPoint(1.0, kWhite);
  ramp.AddPoint(-1.0, kBlack);
}

TEST(ColorRamp, GreyRampMapsHeightsToGreys) {
  ColorRamp ramp;
  AddGrey(ramp);
  EXPECT_EQ(ramp.ColorAt(-1.5), kBlack);
  EXPECT_EQ(ramp.ColorAt(-1.0), kBlack);
  EXPECT_EQ(ramp.ColorAt(0.0), PixelColor(255, 127, 127, 127));
  EXPECT_EQ(ramp.ColorAt(1.0), kWhite);
  EXPECT_EQ(ramp.ColorAt(2.0), kWhite);
  // 0.2 is 0.6 of the way: rounded to float first, 255 x 0.6f gives 153, not 152.
  EXPECT_EQ(ramp.ColorAt(0.2), PixelColor(255, 153, 153, 153));
}

TEST(ColorRamp, KeepsPositionsStrictlyIncreasing) {
  ColorRamp ramp;
  AddGrey(ramp);
  EXPECT_EQ(ramp.GetPoint(0).position, -1.0);
  EXPECT_THROW(ramp.AddPoint(1.0, kBlack), noise::ExceptionInvalidParam);
  EXPECT_EQ(ramp.GetPointCount(), 2);
  EXPECT_EQ(ramp.GetPoint(1).color, kWhite);

  EXPECT_EQ(ramp.FindInsertIndex(-0.5), 1);
  EXPECT_EQ(ramp.FindInsertIndex(-7.0), 0);
  EXPECT_EQ(ramp.FindInsertIndex(3.0), 2);
  const PixelColor red(255, 0, 0, 255);
  ramp.AddPoint(-0.5, red);
  ASSERT_EQ(ramp.GetPointCount(), 3);
  EXPECT_EQ(ramp.GetPoint(1).position, -0.5);
  EXPECT_EQ(ramp.GetPoint(2).position, 1.0);
  EXPECT_EQ(ramp.ColorAt(-0.5), red);  // a point's own position gives exactly its colour
  EXPECT_EQ(ramp.ColorAt(-0.75), PixelColor(255, 0, 0, 127));

  ramp.Clear();
  EXPECT_EQ(ramp.GetPointCount(), 0);
  EXPECT_EQ(ramp.FindInsertIndex(0.0), 0);
}

TEST(ColorRamp, EmptyRampReturnsTheLastLookupColourUnchanged) {
  ColorRamp ramp;
  EXPECT_EQ(ramp.ColorAt(0.3), PixelColor(0, 0, 0, 0));
  AddGrey(ramp);
  const PixelColor grey = ramp.ColorAt(0.0);
  ramp.Clear();
  EXPECT_EQ(ramp.ColorAt(0.9), grey);
}

TEST(ColorRamp, OnePointGivesThatColourEverywhere) {
  ColorRamp ramp;
  ramp.AddPoint(0.0, PixelColor(1, 2, 3, 4));
  EXPECT_EQ(ramp.ColorAt(-5.0), PixelColor(1, 2, 3, 4));
  EXPECT_EQ(ramp.ColorAt(5.0), PixelColor(1, 2, 3, 4));
}

TEST(BlendColors, InterpolatesEveryByteIncludingAlpha) {
  const PixelColor c0(255, 100, 10, 0), c1(0, 200, 250, 255);
  EXPECT_EQ(BlendColors(c0, c1, 0.0f), c0);
  EXPECT_EQ(BlendColors(c0, c1, 1.0f), c1);
  // Worked by hand: alpha 255 x 0.25 = 63.75, blue 100 + 100 x 0.75 = 175,
  // green 10 + 240 x 0.75 = 190, red 255 x 0.75 = 191.25; each truncated.
  EXPECT_EQ(BlendColors(c0, c1, 0.75f), PixelColor(63, 175, 190, 191));
  // Factors outside 0 .. 1 stay within the byte range.
  EXPECT_EQ(BlendColors(c0, c1, 2.0f), PixelColor(0, 255, 255, 255));
  EXPECT_EQ(BlendColors(c0, c1, -1.0f), PixelColor(255, 0, 0, 0));
}

}  // namespace
