#include "noisemap/height_grid.h"

#include <gtest/gtest.h>

#include "noisemap/image_grid.h"

namespace {

using noise::utils::HeightGrid;
using noise::utils::ImageGrid;
using noise::utils::PixelColor;

void ExpectEmpty(const HeightGrid& grid) {
  EXPECT_EQ(grid.GetWidth(), 0);
  EXPECT_EQ(grid.GetHeight(), 0);
  EXPECT_EQ(grid.GetStride(), 0);
  EXPECT_EQ(grid.GetCapacity(), 0u);
  EXPECT_EQ(grid.GetBorderValue(), 0.0f);
}

TEST(HeightGrid, NewGridIsEmptyAndReadsZeroEverywhere) {
  HeightGrid grid;
  ExpectEmpty(grid);
  EXPECT_EQ(grid.ValueAt(0, 0), 0.0f);
}

TEST(HeightGrid, AcceptsSizesUpTo32767AndRefusesOthersUnchanged) {
  HeightGrid grid;
  grid.Resize(32767, 1);
  EXPECT_EQ(grid.GetWidth(), 32767);
  EXPECT_EQ(grid.GetStride(), 32768);

  grid.Resize(5, 3);
  grid.SetBorderValue(2.5f);
  grid.RowData(1)[2] = 7.0f;
  const float* storage = grid.RowData(0);
  for (auto size :
       {std::make_pair(32768, 1), std::make_pair(1, 32768), std::make_pair(-1, 5), std::make_pair(5, -1)}) {
    EXPECT_THROW(grid.Resize(size.first, size.second), noise::ExceptionInvalidParam)
        << size.first << " x " << size.second;
    EXPECT_EQ(grid.GetWidth(), 5);
    EXPECT_EQ(grid.GetHeight(), 3);
    EXPECT_EQ(grid.GetStride(), 8);
    EXPECT_EQ(grid.RowData(0), storage);
    EXPECT_EQ(grid.ValueAt(2, 1), 7.0f);
    EXPECT_EQ(grid.GetBorderValue(), 2.5f);
  }
}

TEST(HeightGrid, ZeroSizeEmptiesTheGrid) {
  HeightGrid grid;
  grid.Resize(5, 3);
  grid.SetBorderValue(4.0f);
  grid.Resize(5, 0);
  ExpectEmpty(grid);
  EXPECT_EQ(grid.ValueAt(0, 0), 0.0f);
  grid.Resize(3, 3);
  grid.Resize(0, 7);
  ExpectEmpty(grid);
}

TEST(HeightGrid, KeepsStorageThatFitsAndReplacesStorageThatMustGrow) {
  HeightGrid grid;
  grid.Resize(5, 3);
  EXPECT_EQ(grid.GetStride(), 8);
  EXPECT_EQ(grid.GetCapacity(), 24u);
  grid.SetBorderValue(-3.0f);
  grid.RowData(2)[4] = 1.25f;
  const float* storage = grid.RowData(0);

  grid.Resize(8, 3);  // 24 elements: fits
  EXPECT_EQ(grid.RowData(0), storage);
  EXPECT_EQ(grid.ValueAt(4, 2), 1.25f);
  EXPECT_EQ(grid.GetBorderValue(), -3.0f);

  grid.Resize(2, 2);  // smaller: the larger allocation stays
  EXPECT_EQ(grid.RowData(0), storage);
  EXPECT_EQ(grid.GetCapacity(), 24u);
  EXPECT_EQ(grid.GetStride(), 4);

  grid.Resize(9, 3);  // stride 12, 36 elements: new storage, border back to 0
  EXPECT_EQ(grid.GetStride(), 12);
  EXPECT_EQ(grid.GetCapacity(), 36u);
  EXPECT_EQ(grid.GetBorderValue(), 0.0f);
}

TEST(HeightGrid, ReadsOutsideTheGridGiveTheBorderValue) {
  HeightGrid grid;
  grid.Resize(3, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) grid.RowData(y)[x] = static_cast<float>(10 * y + x);
  grid.SetBorderValue(-9.0f);
  EXPECT_EQ(grid.ValueAt(2, 1), 12.0f);
  EXPECT_EQ(grid.ValueAt(-1, 0), -9.0f);
  EXPECT_EQ(grid.ValueAt(3, 0), -9.0f);  // a spare column of the row is outside too
  EXPECT_EQ(grid.ValueAt(0, 2), -9.0f);
  EXPECT_EQ(grid.ValueAt(0, -1), -9.0f);
  grid.Reset();
  ExpectEmpty(grid);
  EXPECT_EQ(grid.ValueAt(0, 0), 0.0f);
}

TEST(ImageGrid, SharesTheShapeRulesAndResetsItsBorderColourToZero) {
  ImageGrid image;
  image.Resize(5, 2);
  EXPECT_EQ(image.GetStride(), 8);
  EXPECT_EQ(image.GetCapacity(), 16u);
  image.SetBorderValue(PixelColor(1, 2, 3, 4));
  EXPECT_EQ(image.ValueAt(5, 0), PixelColor(1, 2, 3, 4));
  EXPECT_THROW(image.Resize(32768, 2), noise::ExceptionInvalidParam);
  image.Resize(6, 6);
  EXPECT_EQ(image.GetBorderValue(), PixelColor(0, 0, 0, 0));
  image.SetBorderValue(PixelColor(9, 9, 9, 9));
  image.Reset();
  EXPECT_EQ(image.GetBorderValue(), PixelColor(0, 0, 0, 0));
  EXPECT_EQ(image.GetWidth(), 0);
}

}  // namespace
