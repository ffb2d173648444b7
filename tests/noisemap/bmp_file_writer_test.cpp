#include "noisemap/bmp_file_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string>

#include "platform/file_fault_injector.h"
#include "support/byte_builder.h"
#include "support/temp_dir_fixture.h"

namespace {

using noise::utils::BmpFileWriter;
using noise::utils::ImageGrid;
using noise::utils::PixelColor;
using platform::FileFaultInjector;
using testsupport::ByteBuilder;
using testsupport::ReadFileBytes;

// The 54 header bytes of a 24-bit image with the given size and row size.
ByteBuilder Header(int32_t width, int32_t height, uint32_t rowSize) {
  const uint32_t dataSize = rowSize * static_cast<uint32_t>(height);
  ByteBuilder b;
  b.Text("BM", 2).U32(dataSize + 54).U16(0).U16(0).U32(54);
  b.U32(40).I32(width).I32(height).U16(1).U16(24).U32(0).U32(dataSize).U32(2834).U32(2834).U32(0).U32(0);
  return b;
}

// Pixel (x, y) has blue 10x + y, green 100 + y, red 200 + x and alpha 77.
void FillPattern(ImageGrid& image, int width, int height) {
  image.Resize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.RowData(y)[x] = PixelColor(77, static_cast<uint8_t>(10 * x + y), static_cast<uint8_t>(100 + y),
                                       static_cast<uint8_t>(200 + x));
}

class BmpFileWriterTest : public testsupport::TempDirFixture {
 protected:
  std::vector<uint8_t> Write(const ImageGrid& image) {
    BmpFileWriter writer;
    writer.SetSourceImage(image);
    writer.SetFileName(path_);
    writer.WriteFile();
    return ReadFileBytes(path_);
  }
  std::string path_ = temp_.File("out.bmp");
};

TEST_F(BmpFileWriterTest, OnePixelMakesA58ByteFileWithoutAlpha) {
  ImageGrid image;
  image.Resize(1, 1);
  image.RowData(0)[0] = PixelColor(0, 10, 20, 30);
  ByteBuilder expected = Header(1, 1, 4);
  expected.U8(10).U8(20).U8(30).U8(0);
  EXPECT_EQ(Write(image), expected.Data());
}

TEST_F(BmpFileWriterTest, PadsEveryRowToAMultipleOfFourBytes) {
  const uint32_t rowSizes[] = {4, 8, 12, 12};
  for (int width = 1; width <= 4; ++width) {
    ImageGrid image;
    FillPattern(image, width, 2);
    const uint32_t rowSize = rowSizes[width - 1];
    ByteBuilder expected = Header(width, 2, rowSize);
    for (int y = 0; y < 2; ++y) {  // image row 0 first
      for (int x = 0; x < width; ++x) expected.U8(static_cast<uint8_t>(10 * x + y)).U8(100 + y).U8(200 + x);
      expected.Fill(0, rowSize - 3 * static_cast<uint32_t>(width));
    }
    EXPECT_EQ(Write(image), expected.Data()) << "width " << width;
  }
}

TEST_F(BmpFileWriterTest, StoresImageRowsFromOffset54OneRowSizeApart) {
  ImageGrid image;
  FillPattern(image, 2, 2);
  const std::vector<uint8_t> bytes = Write(image);
  ASSERT_EQ(bytes.size(), 54u + 16u);
  EXPECT_EQ(bytes[54], 0);    // row 0, x 0: blue 0
  EXPECT_EQ(bytes[57], 10);   // row 0, x 1: blue 10
  EXPECT_EQ(bytes[62], 1);    // row 1, x 0: blue 1
  EXPECT_EQ(bytes[64], 200);  // row 1, x 0: red
}

TEST_F(BmpFileWriterTest, EmptyImageGivesTheHeaderAlone) {
  ImageGrid image;
  EXPECT_EQ(Write(image), Header(0, 0, 0).Data());
  image.Resize(3, 0);
  EXPECT_EQ(Write(image), Header(0, 0, 0).Data());
}

TEST_F(BmpFileWriterTest, AnIndependentReaderAcceptsTheFile) {
  ImageGrid image;
  FillPattern(image, 5, 3);
  Write(image);
  const std::string command = std::string("python3 ") + TOOLKIT_READ_BMP_SCRIPT + " " + path_;
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  ASSERT_EQ(pclose(pipe), 0) << output;
  std::string expected = "5 3\n";
  for (int y = 2; y >= 0; --y) {  // the reader prints the top row (image row 2) first
    for (int x = 0; x < 5; ++x) {
      expected += std::to_string(200 + x) + "," + std::to_string(100 + y) + "," + std::to_string(10 * x + y);
      expected += x < 4 ? " " : "\n";
    }
  }
  EXPECT_EQ(output, expected);
}

TEST_F(BmpFileWriterTest, WithoutAnImageOrAWritableFolderNothingIsWritten) {
  BmpFileWriter writer;
  writer.SetFileName(path_);
  EXPECT_THROW(writer.WriteFile(), noise::ExceptionInvalidParam);
  EXPECT_FALSE(std::filesystem::exists(path_));

  ImageGrid image;
  FillPattern(image, 2, 2);
  writer.SetSourceImage(image);
  writer.SetFileName(temp_.File("missing/out.bmp"));
  EXPECT_THROW(writer.WriteFile(), noise::ExceptionUnknown);
  EXPECT_FALSE(std::filesystem::exists(temp_.File("missing")));
  EXPECT_FALSE(std::filesystem::exists(temp_.File("missing/out.bmp")));
}

// The picture replaces the file whole: at every byte where the device
// fills up, and when the close fails, the earlier picture stays as it was
// and nothing else is left in the folder.
TEST_F(BmpFileWriterTest, FailedWritesThrowAndLeaveTheEarlierPicture) {
  ImageGrid earlier, image;
  FillPattern(earlier, 1, 1);
  FillPattern(image, 2, 2);
  const std::vector<uint8_t> before = Write(earlier);
  ASSERT_EQ(before.size(), 58u);
  auto expectEarlier = [&](const std::string& when) {
    EXPECT_EQ(ReadFileBytes(path_), before) << when;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp_.Path()), {}), 1) << when;
  };
  const uint64_t fullSize = 54 + 16;
  for (uint64_t limit = 0; limit < fullSize; ++limit) {
    FileFaultInjector::LimitWrittenBytes(limit);
    EXPECT_THROW(Write(image), noise::ExceptionUnknown) << "limit " << limit;
    FileFaultInjector::Reset();
    expectEarlier("limit " + std::to_string(limit));
  }
  FileFaultInjector::FailCall(FileFaultInjector::Operation::kClose, 1);
  EXPECT_THROW(Write(image), noise::ExceptionUnknown);
  expectEarlier("close");
  FileFaultInjector::FailCall(FileFaultInjector::Operation::kOpen, 1);
  EXPECT_THROW(Write(image), noise::ExceptionUnknown);
  expectEarlier("open");
  FileFaultInjector::Reset();
  EXPECT_EQ(Write(image).size(), fullSize);
}

}  // namespace
