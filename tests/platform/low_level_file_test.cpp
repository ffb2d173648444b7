#include "platform/low_level_file.h"

#include <gtest/gtest.h>

#include "platform/file_fault_injector.h"
#include "support/byte_builder.h"
#include "support/temp_dir_fixture.h"

namespace {

using platform::FileFaultInjector;
using platform::LowLevelFile;
using Op = platform::FileFaultInjector::Operation;

class LowLevelFileTest : public testsupport::TempDirFixture {
 protected:
  int OpenForWriting(const std::string& path) {
    return LowLevelFile::Open(
        path.c_str(),
        LowLevelFile::kWriteOnly | LowLevelFile::kCreate | LowLevelFile::kTruncate | LowLevelFile::kBinary,
        LowLevelFile::kPermRead | LowLevelFile::kPermWrite);
  }
};

TEST_F(LowLevelFileTest, WritesSeeksPatchesAndReadsBack) {
  const std::string path = temp_.File("data.bin");
  int fd = OpenForWriting(path);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(LowLevelFile::Write(fd, "abcdef", 6), 6);
  EXPECT_EQ(LowLevelFile::Tell(fd), 6);
  EXPECT_EQ(LowLevelFile::Seek(fd, 2, LowLevelFile::kSeekSet), 2);
  EXPECT_EQ(LowLevelFile::Write(fd, "XY", 2), 2);
  EXPECT_EQ(LowLevelFile::Seek(fd, 0, LowLevelFile::kSeekEnd), 6);
  EXPECT_EQ(LowLevelFile::Close(fd), 0);

  fd = LowLevelFile::Open(path.c_str(), LowLevelFile::kReadOnly | LowLevelFile::kBinary);
  ASSERT_GE(fd, 0);
  char buffer[16] = {};
  EXPECT_EQ(LowLevelFile::Read(fd, buffer, sizeof buffer), 6);
  EXPECT_STREQ(buffer, "abXYef");
  EXPECT_EQ(LowLevelFile::Read(fd, buffer, sizeof buffer), 0);
  EXPECT_EQ(LowLevelFile::Close(fd), 0);
}

TEST_F(LowLevelFileTest, MissingFileAndNullPathFailToOpen) {
  EXPECT_EQ(LowLevelFile::Open(temp_.File("absent").c_str(), LowLevelFile::kReadOnly), -1);
  EXPECT_EQ(LowLevelFile::Open(nullptr, LowLevelFile::kReadOnly), -1);
  EXPECT_EQ(OpenForWriting(temp_.File("no/such/folder/file")), -1);
}

TEST_F(LowLevelFileTest, FailsTheChosenCallOnceOrFromThenOn) {
  const std::string path = temp_.File("f.bin");
  FileFaultInjector::FailCall(Op::kOpen, 2);
  int first = OpenForWriting(path);
  EXPECT_GE(first, 0);
  EXPECT_EQ(OpenForWriting(path), -1);
  int third = OpenForWriting(path);
  EXPECT_GE(third, 0);
  LowLevelFile::Close(third);

  FileFaultInjector::FailCall(Op::kWrite, 1, true);
  EXPECT_EQ(LowLevelFile::Write(first, "a", 1), -1);
  EXPECT_EQ(LowLevelFile::Write(first, "a", 1), -1);
  FileFaultInjector::Reset();
  EXPECT_EQ(LowLevelFile::Write(first, "a", 1), 1);
  LowLevelFile::Close(first);
  EXPECT_EQ(testsupport::ReadFileBytes(path).size(), 1u);
}

TEST_F(LowLevelFileTest, WriteLimitCutsTheCrossingWriteShortThenFails) {
  const std::string path = temp_.File("short.bin");
  int fd = OpenForWriting(path);
  ASSERT_GE(fd, 0);
  FileFaultInjector::LimitWrittenBytes(5);
  EXPECT_EQ(LowLevelFile::Write(fd, "abc", 3), 3);
  EXPECT_EQ(LowLevelFile::Write(fd, "defg", 4), 2);
  EXPECT_EQ(LowLevelFile::Write(fd, "h", 1), -1);
  EXPECT_EQ(LowLevelFile::Write(fd, "", 0), 0);
  LowLevelFile::Close(fd);
  const std::vector<uint8_t> expected = {'a', 'b', 'c', 'd', 'e'};
  EXPECT_EQ(testsupport::ReadFileBytes(path), expected);
}

TEST_F(LowLevelFileTest, FailedCloseStillReleasesTheDescriptor) {
  int fd = OpenForWriting(temp_.File("c.bin"));
  ASSERT_GE(fd, 0);
  FileFaultInjector::FailCall(Op::kClose, 1);
  EXPECT_EQ(LowLevelFile::Close(fd), -1);
  EXPECT_EQ(LowLevelFile::Write(fd, "a", 1), -1);
}

}  // namespace
