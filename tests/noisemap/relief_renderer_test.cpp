#include "noisemap/relief_renderer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using noise::utils::HeightGrid;
using noise::utils::ImageGrid;
using noise::utils::PixelColor;
using noise::utils::ReliefRenderer;

// A grid whose height rises by 0.1 per column: h(x, y) = 0.1 x.
void FillSlope(HeightGrid& grid, int width, int height) {
  grid.Resize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) grid.RowData(y)[x] = 0.1f * static_cast<float>(x);
}

PixelColor Grey(uint8_t v) { return PixelColor(255, v, v, v); }

class ReliefRendererTest : public ::testing::Test {
 protected:
  void SetUp() override {
    renderer_.SetSourceGrid(grid_);
    renderer_.SetDestImage(image_);
  }
  HeightGrid grid_;
  ImageGrid image_;
  ReliefRenderer renderer_;
};

TEST_F(ReliefRendererTest, WithoutLightEachPixelIsItsRampColour) {
  grid_.Resize(3, 2);
  const float heights[] = {-1.5f, -1.0f, 0.0f, 0.2f, 1.0f, 2.0f};
  for (int i = 0; i < 6; ++i) grid_.RowData(i / 3)[i % 3] = heights[i];
  // Light settings have no effect while lighting is off.
  renderer_.SetLightColor(PixelColor(255, 10, 20, 30));
  renderer_.SetLightBrightness(3.0);
  renderer_.SetLightContrast(0.1);
  renderer_.Render();
  ASSERT_EQ(image_.GetWidth(), 3);
  ASSERT_EQ(image_.GetHeight(), 2);
  const PixelColor expected[] = {Grey(0), Grey(0), Grey(127), Grey(153), Grey(255), Grey(255)};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(image_.ValueAt(i % 3, i / 3), expected[i]) << "pixel " << i;
}

TEST_F(ReliefRendererTest, FlatGroundUnderTheDefaultLightIsHalfBright) {
  grid_.Resize(4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) grid_.RowData(y)[x] = 0.0f;
  renderer_.EnableLight(true);
  EXPECT_NEAR(renderer_.LightIntensity(0.3, 0.3, -0.2, -0.2), 0.5, 1e-15);
  renderer_.Render();
  // Ramp grey 127, times 0.5: 63.5 truncates to 63.
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(image_.ValueAt(x, y), Grey(63));
}

// On h = 0.1 x the light is io + k cos(azimuth) (left - right) with io = 0.5
// and k = (1 - io) x sqrt 2 x cos 45 = 0.5, cos 45 = 0.7071: a step of -0.2
// gives 0.5 - 0.0707 = 0.4293, a step of -0.1 gives 0.4646, +0.1 gives 0.5354.
TEST_F(ReliefRendererTest, LightsASlopeFromItsNeighbours) {
  FillSlope(grid_, 3, 3);
  renderer_.EnableLight(true);
  renderer_.Render();
  for (int y = 0; y < 3; ++y) {
    EXPECT_EQ(image_.ValueAt(0, y), Grey(59)) << y;  // grey 127 x 0.4646 = 59.01: left neighbour is itself
    EXPECT_EQ(image_.ValueAt(1, y), Grey(60)) << y;  // grey 140 x 0.4293 = 60.10
    EXPECT_EQ(image_.ValueAt(2, y), Grey(71)) << y;  // grey 153 x 0.4646 = 71.09: right neighbour is itself
  }
}

TEST_F(ReliefRendererTest, WrappingTakesNeighboursFromTheOppositeEdge) {
  FillSlope(grid_, 3, 3);
  renderer_.EnableLight(true);
  renderer_.EnableWrap(true);
  renderer_.Render();
  EXPECT_EQ(image_.ValueAt(0, 1), Grey(67));  // left is h(2) = 0.2: 127 x 0.5354 = 67.99
  EXPECT_EQ(image_.ValueAt(1, 1), Grey(60));
  EXPECT_EQ(image_.ValueAt(2, 1), Grey(81));  // right is h(0) = 0: 153 x 0.5354 = 81.91
}

// Along z the light is io + k sin(azimuth) (down - up) with down the row
// before and up the row after. On h = 0.1 y with azimuth 135 (whose cosine,
// unlike its sine, is negative, so rows and columns cannot stand in for each
// other) a step of -0.2 gives 0.5 - 0.0707 = 0.4293 and -0.1 gives 0.4646;
// with wrapping rows 0 and 3 see the opposite edge, a step of +0.2: 0.5707.
TEST_F(ReliefRendererTest, LightsASlopeAlongZFromTheRowsBeforeAndAfter) {
  grid_.Resize(3, 4);  // 3 columns: rows lie a stride of 4, not a width, apart
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 3; ++x) grid_.RowData(y)[x] = 0.1f * static_cast<float>(y);
  renderer_.EnableLight(true);
  renderer_.SetLightAzimuth(135.0);
  // Ramp greys of rows 0 .. 3: 127, 140, 153, 165.
  const struct {
    bool wrap;
    uint8_t rows[4];
  } cases[] = {
      {false, {59, 60, 65, 76}},  // 127 x 0.4646, 140 x 0.4293, 153 x 0.4293, 165 x 0.4646
      {true, {72, 60, 65, 94}},   // rows 0 and 3: 127 x 0.5707 = 72.48, 165 x 0.5707 = 94.17
  };
  for (const auto& c : cases) {
    renderer_.EnableWrap(c.wrap);
    renderer_.Render();
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 3; ++x)
        EXPECT_EQ(image_.ValueAt(x, y), Grey(c.rows[y])) << c.wrap << " " << x << ", " << y;
  }
}

// The middle of h = 0.1 x (grey 140, left - right = -0.2) under lighting:
// light = (io + k' x contrast) x brightness with io = 0.5 and
// k' = 0.5 x cos 45 x -0.2 = -0.0707, and each channel is scaled by its own
// channel of the light colour.
TEST_F(ReliefRendererTest, LightColourContrastAndBrightnessShadeEachChannel) {
  FillSlope(grid_, 3, 3);
  renderer_.EnableLight(true);
  const struct {
    PixelColor light;
    double contrast, brightness;
    PixelColor expected;
  } cases[] = {
      // light 0.4293: 140 x 0.4293 x 60 / 255 = 14.14, x 120 / 255 = 28.28, x 240 / 255 = 56.57
      {PixelColor(255, 60, 120, 240), 1.0, 1.0, PixelColor(255, 14, 28, 56)},
      // 0.5 - 2 x 0.0707 = 0.3586: 140 x 0.3586 = 50.20
      {PixelColor(255, 255, 255, 255), 2.0, 1.0, Grey(50)},
      // 1.5 x 0.4293 = 0.6439: 140 x 0.6439 = 90.15
      {PixelColor(255, 255, 255, 255), 1.0, 1.5, Grey(90)},
  };
  for (const auto& c : cases) {
    renderer_.SetLightColor(c.light);
    renderer_.SetLightContrast(c.contrast);
    renderer_.SetLightBrightness(c.brightness);
    renderer_.Render();
    EXPECT_EQ(image_.ValueAt(1, 1), c.expected) << c.contrast << " " << c.brightness;
  }
}

TEST_F(ReliefRendererTest, SingleRowOrColumnIsLitWithoutReadingOutside) {
  for (bool wrap : {false, true}) {
    renderer_.EnableLight(true);
    renderer_.EnableWrap(wrap);
    FillSlope(grid_, 3, 1);
    renderer_.Render();
    EXPECT_EQ(image_.ValueAt(1, 0), Grey(60)) << wrap;

    grid_.Resize(1, 3);
    for (int y = 0; y < 3; ++y) grid_.RowData(y)[0] = 0.0f;
    renderer_.Render();
    for (int y = 0; y < 3; ++y) EXPECT_EQ(image_.ValueAt(0, y), Grey(63)) << wrap;
  }
}

TEST_F(ReliefRendererTest, LightAngleSettersRefreshTheCachedAngles) {
  EXPECT_NEAR(renderer_.LightIntensity(1.0, 0.0, 0.0, 0.0), 0.5 + 0.5 * std::sqrt(0.5), 1e-12);
  renderer_.SetLightAzimuth(0.0);  // all of the slope's part now comes from the x neighbours
  EXPECT_NEAR(renderer_.LightIntensity(1.0, 0.0, 0.0, 0.0), 1.0, 1e-12);
  EXPECT_NEAR(renderer_.LightIntensity(0.0, 0.0, 1.0, 0.0), 0.5, 1e-12);
  renderer_.SetLightElev(90.0);  // straight above: sqrt 2 / 2 and no slope part
  EXPECT_NEAR(renderer_.LightIntensity(1.0, 0.0, 0.0, 0.0), std::sqrt(2.0) / 2, 1e-12);
  renderer_.SetLightElev(45.0);
  EXPECT_EQ(renderer_.LightIntensity(-5.0, 5.0, 0.0, 0.0), 0.0);  // never below zero
}

TEST_F(ReliefRendererTest, BlendsOverTheBackgroundAndKeepsTheLargerAlpha) {
  renderer_.ClearGradient();
  renderer_.AddGradientPoint(-1.0, PixelColor(0, 200, 200, 200));
  renderer_.AddGradientPoint(1.0, PixelColor(0, 200, 200, 200));
  grid_.Resize(2, 1);
  grid_.RowData(0)[0] = 0.0f;
  grid_.RowData(0)[1] = 0.5f;
  ImageGrid background;
  background.Resize(2, 1);
  background.RowData(0)[0] = PixelColor(40, 1, 2, 3);
  background.RowData(0)[1] = PixelColor(0, 4, 5, 6);
  renderer_.SetBackgroundImage(background);
  renderer_.Render();
  EXPECT_EQ(image_.ValueAt(0, 0), PixelColor(40, 1, 2, 3));  // transparent ramp colour
  EXPECT_EQ(image_.ValueAt(1, 0), PixelColor(0, 4, 5, 6));

  // An opaque colour over any background comes out unchanged.
  renderer_.ClearGradient();
  renderer_.AddGradientPoint(-1.0, PixelColor(255, 10, 20, 30));
  renderer_.AddGradientPoint(1.0, PixelColor(255, 10, 20, 30));
  renderer_.Render();
  EXPECT_EQ(image_.ValueAt(1, 0), PixelColor(255, 10, 20, 30));
}

// A transparent ramp colour shows the background pixel under each sample,
// row by row (3 columns: rows lie a stride of 4 apart).
TEST_F(ReliefRendererTest, ReadsTheBackgroundPixelUnderEachSample) {
  renderer_.ClearGradient();
  renderer_.AddGradientPoint(-1.0, PixelColor(0, 200, 200, 200));
  renderer_.AddGradientPoint(1.0, PixelColor(0, 200, 200, 200));
  auto pixel = [](int x, int y) {
    return PixelColor(static_cast<uint8_t>(50 + y), static_cast<uint8_t>(x), static_cast<uint8_t>(10 * y),
                      static_cast<uint8_t>(x + y));
  };
  grid_.Resize(3, 2);
  ImageGrid background;
  background.Resize(3, 2);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      grid_.RowData(y)[x] = 0.0f;
      background.RowData(y)[x] = pixel(x, y);
    }
  }
  renderer_.SetBackgroundImage(background);
  renderer_.Render();
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(image_.ValueAt(x, y), pixel(x, y)) << x << ", " << y;
}

TEST_F(ReliefRendererTest, DestinationThatIsTheBackgroundIsOverwrittenInPlace) {
  grid_.Resize(2, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) grid_.RowData(y)[x] = 1.0f;
  ImageGrid shared;
  shared.Resize(2, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) shared.RowData(y)[x] = PixelColor(7, 1, 1, 1);
  const PixelColor* storage = shared.RowData(0);
  renderer_.SetBackgroundImage(shared);
  renderer_.SetDestImage(shared);
  renderer_.Render();
  EXPECT_EQ(shared.RowData(0), storage);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(shared.ValueAt(x, y), Grey(255));
}

TEST_F(ReliefRendererTest, RefusesIncompleteSetUpsWithoutTouchingTheDestination) {
  image_.Resize(1, 1);
  image_.RowData(0)[0] = PixelColor(1, 2, 3, 4);
  auto expectRefused = [&](ReliefRenderer& renderer) {
    EXPECT_THROW(renderer.Render(), noise::ExceptionInvalidParam);
    EXPECT_EQ(image_.GetWidth(), 1);
    EXPECT_EQ(image_.ValueAt(0, 0), PixelColor(1, 2, 3, 4));
  };
  expectRefused(renderer_);  // the source grid is empty

  FillSlope(grid_, 2, 2);
  ReliefRenderer noSource;
  noSource.SetDestImage(image_);
  expectRefused(noSource);
  ReliefRenderer noDest;
  noDest.SetSourceGrid(grid_);
  EXPECT_THROW(noDest.Render(), noise::ExceptionInvalidParam);

  renderer_.ClearGradient();
  expectRefused(renderer_);
  renderer_.AddGradientPoint(0.0, PixelColor(255, 1, 1, 1));
  expectRefused(renderer_);
  renderer_.UseGreyRamp();

  ImageGrid wrongSize;
  wrongSize.Resize(3, 2);
  renderer_.SetBackgroundImage(wrongSize);
  expectRefused(renderer_);
  ImageGrid wrongHeight;
  wrongHeight.Resize(2, 3);
  renderer_.SetBackgroundImage(wrongHeight);
  expectRefused(renderer_);
}

}  // namespace
