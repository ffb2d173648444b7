// The height values' text form, the height array writer and the tile bounds.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <vector>

#include "generator/duneforge_run.h"
#include "generator/height_array_writer.h"
#include "generator/height_value_format.h"
#include "platform/file_fault_injector.h"
#include "support/temp_dir_fixture.h"

namespace {

using duneforge::CommandSettings;
using duneforge::ComputeTileBounds;
using duneforge::FormatHeightValue;
using duneforge::HeightArrayWriter;
using duneforge::TileBounds;
using platform::FileFaultInjector;

std::string ViaStream(float value) {
  std::ostringstream out;
  out << value;
  return out.str();
}

// Formats into exactly the room the formatter asks for; the bytes after it
// must stay as they were.
std::string ViaFormatter(float value) {
  char text[duneforge::kMaxHeightValueChars + 4];
  std::memset(text, '#', sizeof text);
  const std::string formatted(text, FormatHeightValue(value, text));
  EXPECT_EQ(std::string(text + duneforge::kMaxHeightValueChars, 4), "####") << value;
  return formatted;
}

float FromBits(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(FormatHeightValue, MatchesTheStreamOnChosenValues) {
  const float chosen[] = {0.0f,
                          -0.0f,
                          1.0f,
                          -0.5f,
                          0.1234567f,
                          1e-5f,
                          1e-7f,
                          123456.0f,
                          1234567.0f,
                          1e20f,
                          -1e20f,
                          0.5f,
                          0.3f,
                          0.7f,
                          999999.0f,
                          999999.5f,
                          9999995.0f,
                          0.00010000005f,
                          0.0001f,
                          0.000099999f,
                          99999.95f,
                          100001.5f,
                          100002.5f,
                          100000.5f,
                          0.1f,
                          -0.000123457f,
                          -1.23457e-05f,
                          2.5f,
                          65536.0f,
                          3.4028235e38f,
                          std::numeric_limits<float>::min(),
                          std::numeric_limits<float>::denorm_min(),
                          FromBits(0x00400000u),
                          -FromBits(0x007FFFFFu),
                          std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity(),
                          std::numeric_limits<float>::quiet_NaN(),
                          -std::numeric_limits<float>::quiet_NaN()};
  for (float value : chosen) EXPECT_EQ(ViaFormatter(value), ViaStream(value)) << value;
  EXPECT_EQ(ViaFormatter(0.1234567f), "0.123457");
  EXPECT_EQ(ViaFormatter(1.0f), "1");
  EXPECT_EQ(ViaFormatter(-0.5f), "-0.5");
  EXPECT_EQ(ViaFormatter(1e-5f), "1e-05");
  EXPECT_EQ(ViaFormatter(-0.0f), "-0");
  EXPECT_EQ(ViaFormatter(100001.5f), "100002");  // a tie goes to the even digit
}

TEST(FormatHeightValue, MatchesTheStreamAcrossTheBitPatterns) {
  // Every 4099th bit pattern of the whole range, then a dense run of random
  // values of the sizes heights usually have.
  for (uint64_t bits = 0; bits <= 0xFFFFFFFFu; bits += 4099) {
    const float value = FromBits(static_cast<uint32_t>(bits));
    ASSERT_EQ(ViaFormatter(value), ViaStream(value)) << "bits " << bits;
  }
  std::mt19937 random(12345);
  std::uniform_real_distribution<float> heights(-4.0f, 4.0f);
  for (int i = 0; i < 300000; ++i) {
    const float value = heights(random);
    ASSERT_EQ(ViaFormatter(value), ViaStream(value)) << value;
  }
}

class HeightArrayWriterTest : public testsupport::TempDirFixture {};

TEST_F(HeightArrayWriterTest, AppendsCommaTerminatedValuesAfterExistingContent) {
  const std::string path = temp_.File("noise_arr.txt");
  std::ofstream(path) << "1.5,x";
  // Enough values to cross the block size several times.
  std::vector<float> values;
  std::string expected = "1.5,x";
  for (int i = 0; i < 40000; ++i) {
    values.push_back(static_cast<float>(std::sin(i * 0.37)) * 3.0f);
    expected += ViaStream(values.back()) + ",";
  }
  HeightArrayWriter writer;
  ASSERT_TRUE(writer.Open(path));
  writer.Append(values.data(), 1);
  writer.Append(values.data() + 1, values.size() - 1);
  writer.Close();
  EXPECT_FALSE(writer.IsOpen());
  EXPECT_EQ(ReadText(path), expected);
}

// A new file is readable and writable for everyone the umask lets through.
TEST_F(HeightArrayWriterTest, NewFileTakesTheUmask) {
  const mode_t previous = ::umask(027);
  HeightArrayWriter fresh;
  const bool opened = fresh.Open(temp_.File("fresh.txt"));
  ::umask(previous);
  ASSERT_TRUE(opened);
  fresh.Close();
  struct stat info;
  ASSERT_EQ(::stat(temp_.File("fresh.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

// A file being replaced: the writer starts where the descriptor stands, a
// take-back past the buffer cuts the file and writes on from the mark, and
// the descriptor stays open for its owner.
TEST_F(HeightArrayWriterTest, WritesIntoAGivenDescriptor) {
  const std::string path = temp_.File("replacement");
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "head", 4), 4);
  // More than a buffer of 0.5, so that the take-back reaches the file.
  const std::vector<float> halves(30000, 0.5f);
  const float quarter = 0.25f;
  HeightArrayWriter writer;
  writer.OpenDescriptor(fd, "noise_arr.txt");
  writer.Append(&quarter, 1);
  const int64_t mark = writer.Position();
  writer.Append(halves.data(), halves.size());
  writer.TakeBack(mark);
  writer.Append(&quarter, 1);
  writer.Close();
  EXPECT_EQ(::write(fd, "!", 1), 1) << "the descriptor is still open";
  ::close(fd);
  EXPECT_EQ(ReadText(path), "head0.25,0.25,!");
}

TEST_F(HeightArrayWriterTest, OpenFailsQuietlyAndWriteErrorsThrow) {
  HeightArrayWriter missingFolder;
  EXPECT_FALSE(missingFolder.Open(temp_.File("no/such/noise_arr.txt")));

  // A device that is full from the start: a few values fail at the close,
  // many already while they are appended.
  const std::string full = temp_.File("noise_arr.txt");
  const std::vector<float> values(10, 0.25f);
  FileFaultInjector::LimitWrittenBytes(0);
  HeightArrayWriter small;
  ASSERT_TRUE(small.Open(full));
  small.Append(values.data(), values.size());
  EXPECT_THROW(small.Close(), noise::ExceptionUnknown);

  const std::vector<float> many(100000, 0.25f);
  HeightArrayWriter large;
  ASSERT_TRUE(large.Open(full));
  EXPECT_THROW(large.Append(many.data(), many.size()), noise::ExceptionUnknown);
  FileFaultInjector::Reset();
  EXPECT_EQ(ReadText(full), "");
}

TEST(ComputeTileBounds, SplitsTheAreaEdgeToEdge) {
  CommandSettings s;
  s.tilesX = 2;
  s.tilesZ = 1;
  s.lowerX = 0.0f;
  s.upperX = 4.0f;
  s.lowerZ = -1.0f;
  s.upperZ = 1.0f;
  TileBounds b = ComputeTileBounds(s, 0, 0);
  EXPECT_EQ(b.lowerX, 0.0);
  EXPECT_EQ(b.upperX, 2.0);
  EXPECT_EQ(b.lowerZ, -1.0);
  EXPECT_EQ(b.upperZ, 1.0);
  b = ComputeTileBounds(s, 1, 0);
  EXPECT_EQ(b.lowerX, 2.0);
  EXPECT_EQ(b.upperX, 4.0);

  // Awkward values: the first tile starts and the last one ends exactly on
  // the area's float bounds, and each bound follows its own formula.
  s.tilesX = 3;
  s.tilesZ = 7;
  s.lowerX = 0.1f;
  s.upperX = 0.7f;
  s.lowerZ = -3.3f;
  s.upperZ = 11.9f;
  const double lx = 0.1f, ux = 0.7f, lz = -3.3f, uz = 11.9f;
  EXPECT_EQ(ComputeTileBounds(s, 0, 0).lowerX, lx);
  EXPECT_EQ(ComputeTileBounds(s, 0, 0).lowerZ, lz);
  EXPECT_EQ(ComputeTileBounds(s, 2, 6).upperX, ux);
  EXPECT_EQ(ComputeTileBounds(s, 2, 6).upperZ, uz);
  b = ComputeTileBounds(s, 1, 4);
  EXPECT_EQ(b.lowerX, lx + (1.0 / 3.0) * (ux - lx));
  EXPECT_EQ(b.upperX, ux - (1.0 / 3.0) * (ux - lx));
  EXPECT_EQ(b.lowerZ, lz + (4.0 / 7.0) * (uz - lz));
  EXPECT_EQ(b.upperZ, uz - (2.0 / 7.0) * (uz - lz));
}

}  // namespace
