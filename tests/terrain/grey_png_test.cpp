// Greyscale PNG pictures: samples read from pictures built here byte by
// byte (stored, uncompressed deflate blocks), and 16-bit pictures written.
#include "terrain/grey_png.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/byte_builder.h"
#include "support/png_chunks.h"
#include "support/temp_dir_fixture.h"
#include "support/terrain_assertions.h"

namespace {

using testsupport::AppendPngChunk;
using testsupport::StoredPng;
using testsupport::Succeeded;

class GreyPngTest : public testsupport::TempDirFixture {
 protected:
  void SetUp() override {
    if (!terrain::GreyPngSupported()) GTEST_SKIP() << "no PNG support";
  }
  terrain::GreyPicture picture_;
  terrain::TerrainResult result_;
};

TEST_F(GreyPngTest, SamplesAreReadMostSignificantByteFirstOrWidened) {
  ASSERT_TRUE(Succeeded(terrain::ReadGreyPng(
      StoredPng(2, 2, 16, 0, {0, 0x12, 0x34, 0xAB, 0xCD, 0, 0, 1, 0xFF, 0xFF}), picture_)));
  EXPECT_EQ(picture_.width, 2);
  EXPECT_EQ(picture_.samples, (std::vector<uint16_t>{0x1234, 0xABCD, 0x0001, 0xFFFF}));
  // 8 bits: v x 257; with alpha, the alpha is dropped.
  ASSERT_TRUE(Succeeded(terrain::ReadGreyPng(StoredPng(2, 1, 8, 0, {0, 0x80, 0xFF}), picture_)));
  EXPECT_EQ(picture_.samples, (std::vector<uint16_t>{0x8080, 0xFFFF}));
  ASSERT_TRUE(Succeeded(terrain::ReadGreyPng(StoredPng(1, 1, 8, 4, {0, 200, 7}), picture_)));
  EXPECT_EQ(picture_.samples, (std::vector<uint16_t>{200 * 257}));
  // 1 bit: 1 is the brightest.
  ASSERT_TRUE(Succeeded(terrain::ReadGreyPng(StoredPng(3, 1, 1, 0, {0, 0xA0}), picture_)));
  EXPECT_EQ(picture_.samples, (std::vector<uint16_t>{65535, 0, 65535}));
}

TEST_F(GreyPngTest, RefusesColourDamageAndSizesItsDataCannotHold) {
  EXPECT_FALSE(result_ = terrain::ReadGreyPng(StoredPng(1, 1, 8, 2, {0, 1, 2, 3}), picture_));
  EXPECT_EQ(result_.Text().find("a colour PNG"), 0u) << result_.Text();
  std::vector<uint8_t> damaged = StoredPng(1, 1, 16, 0, {0, 1, 2});
  damaged[damaged.size() - 21] ^= 1;  // the last byte of the rows
  EXPECT_FALSE(result_ = terrain::ReadGreyPng(damaged, picture_));
  EXPECT_EQ(result_.Text().find("damaged PNG picture"), 0u) << result_.Text();
  EXPECT_FALSE(terrain::ReadGreyPng(StoredPng(1, 2, 16, 0, {0, 1, 2}), picture_));  // a row short
  EXPECT_FALSE(result_ = terrain::ReadGreyPng(StoredPng(60000, 60000, 16, 0, {0, 1, 2}), picture_));
  EXPECT_NE(result_.Text().find("60000 x 60000 pixels, more than its data can hold"), std::string::npos)
      << result_.Text();
  EXPECT_FALSE(result_ = terrain::ReadGreyPng({'G', 'I', 'F', '8'}, picture_));
  EXPECT_EQ(result_.Text(), "not a PNG picture");
}

// Text chunks count wherever they stand: before the data or after it.
TEST_F(GreyPngTest, TextsAreReadBeforeAndAfterTheData) {
  std::vector<uint8_t> png = StoredPng(1, 1, 8, 0, {0, 9});
  const std::vector<uint8_t> end(png.end() - 12, png.end());  // IEND
  png.resize(png.size() - 12);
  AppendPngChunk(png, "tEXt", {'A', 'f', 't', 'e', 'r', 0, '2', ' ', '3'});
  png.insert(png.end(), end.begin(), end.end());
  std::vector<uint8_t> before;
  AppendPngChunk(before, "tEXt", {'B', 0, 'x'});
  png.insert(png.begin() + 33, before.begin(), before.end());  // after the signature and IHDR
  ASSERT_TRUE(Succeeded(terrain::ReadGreyPng(png, picture_)));
  ASSERT_EQ(picture_.texts.size(), 2u);
  EXPECT_EQ(picture_.texts[0].keyword + "=" + picture_.texts[0].text, "B=x");
  EXPECT_EQ(picture_.texts[1].keyword + "=" + picture_.texts[1].text, "After=2 3");
  EXPECT_EQ(picture_.samples, std::vector<uint16_t>{9 * 257});
}

TEST_F(GreyPngTest, WritesSixteenBitGreySamplesThatReadBack) {
  const terrain::GreyPicture written{3, 1, {0x0102, 0xFF00, 7}, {{"Comment", "three"}}};
  ASSERT_TRUE(Succeeded(terrain::WriteGreyPng(written, temp_.File("g.png"))));
  const std::vector<uint8_t> png = testsupport::ReadFileBytes(temp_.File("g.png"));
  ASSERT_GE(png.size(), 26u);
  EXPECT_EQ(png[24], 16);  // bit depth
  EXPECT_EQ(png[25], 0);   // grey, no alpha
  ASSERT_TRUE(Succeeded(terrain::ReadGreyPng(png, picture_)));
  EXPECT_EQ(picture_.samples, written.samples);
  ASSERT_EQ(picture_.texts.size(), 1u);
  EXPECT_EQ(picture_.texts[0].keyword, "Comment");
  EXPECT_EQ(picture_.texts[0].text, "three");

  EXPECT_FALSE(terrain::WriteGreyPng({2, 2, {1, 2, 3}, {}}, temp_.File("h.png")));
  EXPECT_FALSE(terrain::WriteGreyPng({0, 0, {}, {}}, temp_.File("h.png")));
  EXPECT_TRUE(testsupport::ReadFileBytes(temp_.File("h.png")).empty());
}

}  // namespace
