// Greyscale PNG pictures: samples read from pictures built here byte by
// byte (stored, uncompressed deflate blocks), and 16-bit pictures written.
#include "terrain/grey_png.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/byte_builder.h"
#include "support/temp_dir_fixture.h"

namespace {

uint32_t Crc32(const std::vector<uint8_t>& bytes, size_t from) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = from; i < bytes.size(); ++i) {
    crc ^= bytes[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void BigEndian(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void Chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
  BigEndian(png, static_cast<uint32_t>(data.size()));
  std::vector<uint8_t> typed(type, type + 4);
  typed.insert(typed.end(), data.begin(), data.end());
  png.insert(png.end(), typed.begin(), typed.end());
  BigEndian(png, Crc32(typed, 0));
}

// A PNG of `width` x `height`, its filtered rows (each starting with its
// filter byte) given whole, in one stored deflate block.
std::vector<uint8_t> Png(uint32_t width, uint32_t height, uint8_t depth, uint8_t colour,
                         const std::vector<uint8_t>& rows) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<uint8_t> header;
  BigEndian(header, width);
  BigEndian(header, height);
  header.insert(header.end(), {depth, colour, 0, 0, 0});
  Chunk(png, "IHDR", header);
  const uint16_t n = static_cast<uint16_t>(rows.size());
  std::vector<uint8_t> z = {0x78,
                            0x01,
                            0x01,
                            static_cast<uint8_t>(n),
                            static_cast<uint8_t>(n >> 8),
                            static_cast<uint8_t>(~n),
                            static_cast<uint8_t>(~n >> 8)};
  z.insert(z.end(), rows.begin(), rows.end());
  uint32_t a = 1, b = 0;
  for (uint8_t c : rows) a = (a + c) % 65521, b = (b + a) % 65521;
  BigEndian(z, b << 16 | a);
  Chunk(png, "IDAT", z);
  Chunk(png, "IEND", {});
  return png;
}

class GreyPngTest : public testsupport::TempDirFixture {
 protected:
  void SetUp() override {
    if (!terrain::GreyPngSupported()) GTEST_SKIP() << "no PNG support";
  }
  terrain::GreyPicture picture_;
  std::string error_;
};

TEST_F(GreyPngTest, SamplesAreReadMostSignificantByteFirstOrWidened) {
  ASSERT_TRUE(terrain::ReadGreyPng(Png(2, 2, 16, 0, {0, 0x12, 0x34, 0xAB, 0xCD, 0, 0, 1, 0xFF, 0xFF}),
                                   picture_, error_))
      << error_;
  EXPECT_EQ(picture_.width, 2);
  EXPECT_EQ(picture_.samples, (std::vector<uint16_t>{0x1234, 0xABCD, 0x0001, 0xFFFF}));
  // 8 bits: v x 257; with alpha, the alpha is dropped.
  ASSERT_TRUE(terrain::ReadGreyPng(Png(2, 1, 8, 0, {0, 0x80, 0xFF}), picture_, error_)) << error_;
  EXPECT_EQ(picture_.samples, (std::vector<uint16_t>{0x8080, 0xFFFF}));
  ASSERT_TRUE(terrain::ReadGreyPng(Png(1, 1, 8, 4, {0, 200, 7}), picture_, error_)) << error_;
  EXPECT_EQ(picture_.samples, (std::vector<uint16_t>{200 * 257}));
  // 1 bit: 1 is the brightest.
  ASSERT_TRUE(terrain::ReadGreyPng(Png(3, 1, 1, 0, {0, 0xA0}), picture_, error_)) << error_;
  EXPECT_EQ(picture_.samples, (std::vector<uint16_t>{65535, 0, 65535}));
}

TEST_F(GreyPngTest, RefusesColourDamageAndSizesItsDataCannotHold) {
  EXPECT_FALSE(terrain::ReadGreyPng(Png(1, 1, 8, 2, {0, 1, 2, 3}), picture_, error_));
  EXPECT_EQ(error_.find("a colour PNG"), 0u) << error_;
  std::vector<uint8_t> damaged = Png(1, 1, 16, 0, {0, 1, 2});
  damaged[damaged.size() - 21] ^= 1;  // the last byte of the rows
  EXPECT_FALSE(terrain::ReadGreyPng(damaged, picture_, error_));
  EXPECT_EQ(error_.find("damaged PNG picture"), 0u) << error_;
  EXPECT_FALSE(terrain::ReadGreyPng(Png(1, 2, 16, 0, {0, 1, 2}), picture_, error_));  // a row short
  EXPECT_FALSE(terrain::ReadGreyPng(Png(60000, 60000, 16, 0, {0, 1, 2}), picture_, error_));
  EXPECT_NE(error_.find("60000 x 60000 pixels, more than its data can hold"), std::string::npos) << error_;
  EXPECT_FALSE(terrain::ReadGreyPng({'G', 'I', 'F', '8'}, picture_, error_));
  EXPECT_EQ(error_, "not a PNG picture");
}

// Text chunks count wherever they stand: before the data or after it.
TEST_F(GreyPngTest, TextsAreReadBeforeAndAfterTheData) {
  std::vector<uint8_t> png = Png(1, 1, 8, 0, {0, 9});
  const std::vector<uint8_t> end(png.end() - 12, png.end());  // IEND
  png.resize(png.size() - 12);
  Chunk(png, "tEXt", {'A', 'f', 't', 'e', 'r', 0, '2', ' ', '3'});
  png.insert(png.end(), end.begin(), end.end());
  std::vector<uint8_t> before;
  Chunk(before, "tEXt", {'B', 0, 'x'});
  png.insert(png.begin() + 33, before.begin(), before.end());  // after the signature and IHDR
  ASSERT_TRUE(terrain::ReadGreyPng(png, picture_, error_)) << error_;
  ASSERT_EQ(picture_.texts.size(), 2u);
  EXPECT_EQ(picture_.texts[0].keyword + "=" + picture_.texts[0].text, "B=x");
  EXPECT_EQ(picture_.texts[1].keyword + "=" + picture_.texts[1].text, "After=2 3");
  EXPECT_EQ(picture_.samples, std::vector<uint16_t>{9 * 257});
}

TEST_F(GreyPngTest, WritesSixteenBitGreySamplesThatReadBack) {
  const terrain::GreyPicture written{3, 1, {0x0102, 0xFF00, 7}, {{"Comment", "three"}}};
  ASSERT_TRUE(terrain::WriteGreyPng(written, temp_.File("g.png"), error_)) << error_;
  const std::vector<uint8_t> png = testsupport::ReadFileBytes(temp_.File("g.png"));
  ASSERT_GE(png.size(), 26u);
  EXPECT_EQ(png[24], 16);  // bit depth
  EXPECT_EQ(png[25], 0);   // grey, no alpha
  ASSERT_TRUE(terrain::ReadGreyPng(png, picture_, error_)) << error_;
  EXPECT_EQ(picture_.samples, written.samples);
  ASSERT_EQ(picture_.texts.size(), 1u);
  EXPECT_EQ(picture_.texts[0].keyword, "Comment");
  EXPECT_EQ(picture_.texts[0].text, "three");

  EXPECT_FALSE(terrain::WriteGreyPng({2, 2, {1, 2, 3}, {}}, temp_.File("h.png"), error_));
  EXPECT_FALSE(terrain::WriteGreyPng({0, 0, {}, {}}, temp_.File("h.png"), error_));
  EXPECT_TRUE(testsupport::ReadFileBytes(temp_.File("h.png")).empty());
}

}  // namespace
