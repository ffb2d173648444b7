// The terrain recipe on a 3 x 2 terrain worked by hand: the header, the
// packed heights with engine values and with full precision, and the normals.
#include "plugin/terrain_recipe.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using loamwriter::Fixed10;

// Row 0 (south) 0 2 8, row 1 (north) 4 6 8; samples 2 apart east, 4 north.
const std::vector<double> kHeights = {0, 2, 8, 4, 6, 8};
constexpr int32_t kColumns = 3, kRows = 2;
constexpr double kSpacingX = 2.0, kSpacingY = 4.0;

TEST(TerrainRecipeTest, HeaderOfThreeByTwoTerrain) {
  loamwriter::TerrainHeaderValues values;
  ASSERT_TRUE(loamwriter::HeaderValuesFor(kColumns, kRows, kSpacingX, kSpacingY, 0.0, 8.0, values));
  // params: 3 columns, spacings 2 and 4, each x 1024.
  EXPECT_EQ(values.params[0], 3072);
  EXPECT_EQ(values.params[1], 2048);
  EXPECT_EQ(values.params[2], 4096);
  // x runs 0 .. (3 - 1) x 2 = 4, y 0 .. (2 - 1) x 4 = 4, heights 0 .. 8.
  for (int axis = 0; axis < 3; ++axis) EXPECT_EQ(values.minimum[axis], 0);
  EXPECT_EQ(values.maximum[0], 4096);
  EXPECT_EQ(values.maximum[1], 4096);
  EXPECT_EQ(values.maximum[2], 8192);

  loamwriter::HmpHeader header{};
  loamwriter::SetHeaderFromRange(header, values);
  EXPECT_EQ(header.param0, 3.0f);
  EXPECT_EQ(header.param1, 2.0f);
  EXPECT_EQ(header.param2, 4.0f);
  // 4 / 65535 = 6.1036087587e-05, as the float 6.10360875726e-05 (the
  // nearest, 0x38800080); 8 / 65535 is twice that.
  EXPECT_EQ(header.scale[0], 6.10360875726e-05f);
  EXPECT_EQ(header.scale[1], 6.10360875726e-05f);
  EXPECT_EQ(header.scale[2], 1.22072175145e-04f);
  for (int axis = 0; axis < 3; ++axis) EXPECT_EQ(header.offset[axis], 0.0f);
}

TEST(TerrainRecipeTest, PackedHeightsOfThreeByTwoTerrain) {
  // The float scale 1.22072175145e-04 is a hair below 8 / 65535, so height h
  // gives a quotient a hair above h x 65535 / 8: 2 -> 16383.75000, 4 ->
  // 32767.50001, 6 -> 49151.25001, 8 -> 65535.00002 (stops at 65535).
  // Engine values: h + half a step (6.1e-05) is h x 1024 + 0.0625 in engine
  // numbers, which rounds to h x 1024: the quotient is truncated.
  const loamwriter::HeightPacker engine(0.0, 8.0, true);
  const std::vector<uint16_t> engineExpected = {0, 16383, 65535, 32767, 49151, 65535};
  // Full precision: the quotient is rounded, 16383.75 -> 16384, 32767.50001
  // -> 32768.
  const loamwriter::HeightPacker full(0.0, 8.0, false);
  const std::vector<uint16_t> fullExpected = {0, 16384, 65535, 32768, 49151, 65535};
  for (size_t i = 0; i < kHeights.size(); ++i) {
    EXPECT_EQ(engine.Pack(kHeights[i]), engineExpected[i]) << i;
    EXPECT_EQ(full.Pack(kHeights[i]), fullExpected[i]) << i;
  }
  EXPECT_EQ(engine.HandedOver(2.0), 2048);

  // Range 0 .. 65535: scale 1 and half a step 0.5. 2.6 is handed over as
  // 3.1 x 1024 = 3174.4 -> 3174 and packs to 3; 2.3 as 2.8 x 1024 -> 2867,
  // packing to 2.
  const loamwriter::HeightPacker wide(0.0, 65535.0, true);
  EXPECT_EQ(wide.HandedOver(2.6), 3174);
  EXPECT_EQ(wide.Pack(2.6), 3);
  EXPECT_EQ(wide.Pack(2.3), 2);
}

TEST(TerrainRecipeTest, NormalsOfThreeByTwoTerrain) {
  // (x, y): slope east dx, north dy; normal (-dx, -dy, 1) / sqrt(dx^2 + dy^2 + 1) x 1024.
  // (0,0): dx (2-0)/2 = 1, dy (4-0)/4 = 1: 1024 / sqrt 3 = 591.2
  // (1,0): dx (8-0)/4 = 2, dy (6-2)/4 = 1: 2048 / sqrt 6 = 836.1, 1024 / sqrt 6 = 418.0
  // (2,0): dx (8-2)/2 = 3, dy (8-8)/4 = 0: 3072 / sqrt 10 = 971.4, 1024 / sqrt 10 = 323.8
  // (0,1): dx (6-4)/2 = 1, dy 1; (1,1): dx (8-4)/4 = 1, dy (6-2)/4 = 1
  // (2,1): dx (8-6)/2 = 1, dy 0: 1024 / sqrt 2 = 724.1
  const Fixed10 expected[6][3] = {{-591, -591, 591}, {-836, -418, 418}, {-971, 0, 324},
                                  {-591, -591, 591}, {-591, -591, 591}, {-724, 0, 724}};
  for (int32_t y = 0; y < kRows; ++y) {
    for (int32_t x = 0; x < kColumns; ++x) {
      const loamwriter::SurfaceNormal n =
          loamwriter::NormalAt(kHeights, kColumns, kRows, kSpacingX, kSpacingY, x, y);
      const Fixed10* e = expected[y * kColumns + x];
      EXPECT_EQ(loamwriter::RoundToFixed10(n.east), e[0]) << x << "," << y;
      EXPECT_EQ(loamwriter::RoundToFixed10(n.north), e[1]) << x << "," << y;
      EXPECT_EQ(loamwriter::RoundToFixed10(n.up), e[2]) << x << "," << y;
    }
  }
}

// Every reader takes skins whose sides are multiples of 8 alike, so the
// blank skin has such sides: the grid's, rounded up, at most 1024.
TEST(TerrainRecipeTest, BlankSkinSidesAreMultiplesOfEight) {
  int32_t width = 0, height = 0;
  loamwriter::BlankSkinSides(kColumns, kRows, width, height);
  EXPECT_EQ(width, 8);
  EXPECT_EQ(height, 8);
  loamwriter::BlankSkinSides(33, 5000, width, height);
  EXPECT_EQ(width, 40);
  EXPECT_EQ(height, 1024);
  EXPECT_TRUE(loamwriter::PortableSkinSides(128, 64));
  EXPECT_FALSE(loamwriter::PortableSkinSides(128, 60));
  EXPECT_FALSE(loamwriter::PortableSkinSides(33, 64));
}

}  // namespace
