// Reading 24-bit BMP pictures: row order either way up, row padding, and
// the pictures that are refused.
#include "terrain/bmp_image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/byte_builder.h"
#include "support/temp_dir_fixture.h"

namespace {

using testsupport::ByteBuilder;

// A BMP of 2 x 2 pixels: stored rows 0 and 1, each two pixels of three
// bytes (10 * row + 3 * pixel + k) and two bytes of padding.
ByteBuilder Bmp(int32_t height, uint16_t bits = 24, uint32_t compression = 0) {
  ByteBuilder b;
  b.Text("BM", 2).U32(54 + 16).U32(0).U32(54);
  b.U32(40).I32(2).I32(height).U16(1).U16(bits).U32(compression).U32(16).Fill(0, 16);
  for (uint8_t row = 0; row < 2; ++row) {
    for (uint8_t k = 0; k < 6; ++k) b.U8(static_cast<uint8_t>(10 * row + k));
    b.U8(0xEE).U8(0xEE);
  }
  return b;
}

class BmpImageTest : public testsupport::TempDirFixture {
 protected:
  // Reads the picture; a refusal's words without the file's name are in
  // reason_.
  bool Read(const std::vector<uint8_t>& bytes) {
    EXPECT_TRUE(testsupport::WriteFileBytes(temp_.File("p.bmp"), bytes));
    const terrain::TerrainResult read = terrain::ReadBmp24(temp_.File("p.bmp"), image_);
    reason_ = read.Description();
    return static_cast<bool>(read);
  }
  terrain::BmpImage image_;
  std::string reason_;
};

TEST_F(BmpImageTest, RowsComeFromTheTopWhicheverWayTheyAreStored) {
  // Bottom-up (positive height): the top row is stored last.
  ASSERT_TRUE(Read(Bmp(2).Data())) << reason_;
  EXPECT_EQ(image_.pixels, (std::vector<uint8_t>{10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(image_.At(1, 0)[0], 13);
  ASSERT_TRUE(Read(Bmp(-2).Data())) << reason_;
  EXPECT_EQ(image_.height, 2);
  EXPECT_EQ(image_.pixels, (std::vector<uint8_t>{0, 1, 2, 3, 4, 5, 10, 11, 12, 13, 14, 15}));
}

TEST_F(BmpImageTest, OtherPicturesAreRefused) {
  EXPECT_FALSE(Read(Bmp(2, 32).Data()));
  EXPECT_EQ(reason_, "only uncompressed 24-bit BMP pictures are supported");
  EXPECT_FALSE(Read(Bmp(2, 24, 1).Data()));
  std::vector<uint8_t> bytes = Bmp(2).Data();
  bytes[1] = 'A';
  EXPECT_FALSE(Read(bytes));
  EXPECT_EQ(reason_, "not a BMP picture");
  bytes = Bmp(2).Data();
  bytes.pop_back();  // the padding of the last row is part of it
  EXPECT_FALSE(Read(bytes));
  EXPECT_EQ(reason_.find("truncated"), 0u) << reason_;
  EXPECT_EQ(image_.width, 0);
  for (int32_t height : {0, 32768, -32768}) {
    EXPECT_FALSE(Read(Bmp(height).Data())) << height;
    EXPECT_EQ(reason_.find("picture size"), 0u) << reason_;
  }
  ByteBuilder wide = Bmp(1);
  wide.PatchU32(18, 32768);
  EXPECT_FALSE(Read(wide.Data()));
  EXPECT_EQ(reason_, "picture size 32768 x 1 is not supported");
  ByteBuilder offset = Bmp(1);
  offset.PatchU32(10, 0xFFFFFFF0u);
  EXPECT_FALSE(Read(offset.Data()));
  EXPECT_FALSE(terrain::ReadBmp24(temp_.File("missing.bmp"), image_));
}

}  // namespace
