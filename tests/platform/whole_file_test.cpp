#include "platform/whole_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/file_fault_injector.h"
#include "support/temp_dir_fixture.h"

namespace {

using platform::FailureReason;
using platform::FileFaultInjector;
using platform::ReadWholeFile;
using Op = platform::FileFaultInjector::Operation;

class WholeFileTest : public testsupport::TempDirFixture {
 protected:
  void TearDown() override { FileFaultInjector::Reset(); }

  std::string WriteFile(const std::string& name, const std::string& content) {
    const std::string path = temp_.File(name);
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
};

TEST_F(WholeFileTest, ReadsEveryByteOfFilesAroundTheChunkSize) {
  // 1 MiB is the piece read once the opening size is used up.
  for (const size_t size : {size_t{0}, size_t{1}, size_t{(1u << 20) - 1}, size_t{(1u << 20) + 3}}) {
    std::string content(size, '\0');
    for (size_t i = 0; i < size; ++i) content[i] = static_cast<char>(i * 7 + i / 251);
    const std::string path = WriteFile("f.bin", content);
    std::vector<uint8_t> bytes{1, 2, 3};
    FailureReason reason = FailureReason::Unsupported("stale");
    ASSERT_TRUE(ReadWholeFile(path.c_str(), bytes, reason)) << size;
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), content) << size;
    EXPECT_FALSE(reason.IsFailure());
  }
}

TEST_F(WholeFileTest, EachFailureHasItsReasonAndLeavesNoBytes) {
  std::vector<uint8_t> bytes;
  FailureReason reason;
  EXPECT_FALSE(ReadWholeFile(temp_.File("absent").c_str(), bytes, reason));
  EXPECT_EQ(reason.GetKind(), FailureReason::Kind::kCannotOpen);
  EXPECT_EQ(reason.Text(), "cannot open: No such file or directory");

  // A directory is refused by the system, at its open or at its first read,
  // whatever size its seek claims.
  EXPECT_FALSE(ReadWholeFile(temp_.Path().c_str(), bytes, reason));
  EXPECT_TRUE(reason.GetKind() == FailureReason::Kind::kCannotOpen ||
              reason.GetKind() == FailureReason::Kind::kInputOutput)
      << reason.Text();

  const std::string path = WriteFile("ten.bin", "0123456789");
  EXPECT_FALSE(ReadWholeFile(path.c_str(), bytes, reason, 9));
  EXPECT_EQ(reason.Text(), "too large: 10 bytes");
  EXPECT_TRUE(ReadWholeFile(path.c_str(), bytes, reason, 10));

  FileFaultInjector::FailCall(Op::kRead, 1);
  EXPECT_FALSE(ReadWholeFile(path.c_str(), bytes, reason));
  EXPECT_EQ(reason.Text(), "cannot read: Input/output error");
  EXPECT_TRUE(bytes.empty());
}

TEST_F(WholeFileTest, HugeEndsAreRefusedWithReasonsOnEveryBuild) {
  // A directory seeks to an end of 2^31 - 1 in a native 32-bit process on
  // ext4: its first read must say what it is, before a buffer of 2 GiB is
  // asked for (which a 32-bit vector cannot even describe).
  std::vector<uint8_t> bytes;
  FailureReason reason;
  FileFaultInjector::ReportFileEnd(0x7FFFFFFF);
  EXPECT_FALSE(ReadWholeFile(temp_.Path().c_str(), bytes, reason));
  EXPECT_TRUE(reason.GetKind() == FailureReason::Kind::kCannotOpen ||
              reason.GetKind() == FailureReason::Kind::kInputOutput)
      << reason.Text();

  const std::string path = WriteFile("ten.bin", "0123456789");
  FileFaultInjector::ReportFileEnd(int64_t{3} << 30);
  EXPECT_FALSE(ReadWholeFile(path.c_str(), bytes, reason));
  EXPECT_EQ(reason.Text(), "too large: 3221225472 bytes");

  // 2^31 - 1 bytes and the one past them that shows the end are more than a
  // 32-bit process can hold; a 64-bit one finds the file's true ten bytes.
  FileFaultInjector::ReportFileEnd(0x7FFFFFFF);
  if (sizeof(size_t) == 4) {
    EXPECT_FALSE(ReadWholeFile(path.c_str(), bytes, reason));
    EXPECT_EQ(reason.Text(), "too large: 2147483647 bytes");
  } else {
    ASSERT_TRUE(ReadWholeFile(path.c_str(), bytes, reason)) << reason.Text();
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123456789");
  }
}

TEST(FailureReasonTest, TextsNameTheOffsetAndCutLongDetails) {
  EXPECT_EQ(FailureReason::Truncated("frame vertices", 1234).Text(),
            "truncated at offset 1234 (frame vertices)");
  EXPECT_EQ(FailureReason::Malformed("skin count", 52).Text(), "malformed skin count at offset 52");
  EXPECT_EQ(FailureReason::Unsupported("format \"ABCD\"").Text(), "unsupported format \"ABCD\"");
  EXPECT_EQ(FailureReason().Text(), "no failure");
  const std::string longWhat(300, 'x');
  EXPECT_EQ(std::string(FailureReason::TooLarge(longWhat.c_str()).Detail()),
            std::string(FailureReason::kDetailSize - 1, 'x'));
}

}  // namespace
