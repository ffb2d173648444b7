// Files replaced whole or not at all: every failure, for bytes handed over
// whole and for records streamed with a header patched at the end, leaves
// the file that was there as it was and no temporary file beside it.
#include "platform/file_replacement.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/file_fault_injector.h"
#include "platform/record_file_writer.h"
#include "support/byte_builder.h"
#include "support/temp_dir_fixture.h"

namespace {

using platform::FailureReason;
using platform::FileFaultInjector;
using platform::FileReplacement;
using Op = FileFaultInjector::Operation;

class FileReplacementTest : public testsupport::TempDirFixture {
 protected:
  // The names in the test's folder.
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(temp_.Path())) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }
  // The folder holds the target alone (nothing when it did not exist), with
  // its old bytes.
  void ExpectUntouched(const std::string& path, const std::vector<uint8_t>& old, bool existed,
                       const std::string& when) {
    SCOPED_TRACE(when);
    if (existed) {
      EXPECT_EQ(Names(), std::set<std::string>{"out.bin"});
      EXPECT_EQ(testsupport::ReadFileBytes(path), old);
    } else {
      EXPECT_TRUE(Names().empty());
    }
  }
};

std::vector<uint8_t> Pattern(size_t size, uint8_t first) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(first + i * 7);
  return bytes;
}

// For an existing file and a new name: the device fills up after every
// possible byte count, and each step of the replacement fails once.
TEST_F(FileReplacementTest, WholeBytesReplaceOrLeaveTheTargetAtEveryFailure) {
  const std::string path = temp_.File("out.bin");
  const std::vector<uint8_t> old = Pattern(10, 200), fresh = Pattern(300, 1);
  for (bool existed : {true, false}) {
    std::filesystem::remove(path);
    if (existed) {
      ASSERT_TRUE(testsupport::WriteFileBytes(path, old));
    }
    FailureReason reason;
    for (uint64_t limit = 0; limit < fresh.size(); ++limit) {
      FileFaultInjector::LimitWrittenBytes(limit);
      EXPECT_FALSE(platform::WriteWholeFile(path.c_str(), fresh, reason));
      FileFaultInjector::Reset();
      EXPECT_EQ(reason.Text(), std::string("cannot write: ") + std::strerror(ENOSPC));
      ExpectUntouched(path, old, existed, "limit " + std::to_string(limit));
    }
    for (Op step :
         {Op::kStatus, Op::kOpen, Op::kWrite, Op::kSetPermission, Op::kSync, Op::kClose, Op::kReplace}) {
      FileFaultInjector::FailCall(step, 1);
      const bool written = platform::WriteWholeFile(path.c_str(), fresh, reason);
      FileFaultInjector::Reset();
      // A new file has no permissions to keep.
      if (step == Op::kSetPermission && !existed) {
        EXPECT_TRUE(written);
        std::filesystem::remove(path);
        continue;
      }
      EXPECT_FALSE(written) << static_cast<int>(step);
      EXPECT_NE(reason.Text().find(std::strerror(EIO)), std::string::npos) << reason.Text();
      ExpectUntouched(path, old, existed, "step " + std::to_string(static_cast<int>(step)));
    }
    ASSERT_TRUE(platform::WriteWholeFile(path.c_str(), fresh, reason)) << reason.Text();
    EXPECT_EQ(testsupport::ReadFileBytes(path), fresh);
    EXPECT_EQ(Names(), std::set<std::string>{"out.bin"});
  }
}

// Records streamed through blocks of 8 bytes into the temporary file, one
// rewritten after it went out and the header patched at the close, as the
// HMP writer does: the file changes only when every write and seek worked.
TEST_F(FileReplacementTest, StreamedRecordsWithPatchedHeaderReplaceOrLeaveTheTarget) {
  const std::string path = temp_.File("out.bin");
  const std::vector<uint8_t> old = Pattern(50, 100), body = Pattern(40, 3);
  const uint8_t patch[4] = {0xA1, 0xA2, 0xA3, 0xA4}, header[4] = {'H', 'E', 'A', 'D'};
  std::vector<uint8_t> expected = body;
  std::memcpy(expected.data() + 10, patch, sizeof patch);
  std::memcpy(expected.data(), header, sizeof header);
  ASSERT_TRUE(testsupport::WriteFileBytes(path, old));

  auto stream = [&]() {
    FileReplacement output;
    const int fd = output.Begin(path.c_str());
    if (fd < 0) return false;
    platform::RecordFileWriter writer(8);
    if (writer.OpenOn(fd) != fd) return false;
    bool whole = true;
    for (size_t at = 0; at < body.size(); at += 5) whole = writer.Append(body.data() + at, 5) && whole;
    whole = writer.Rewrite(10, patch, sizeof patch) && whole;
    whole = writer.Close(header, sizeof header) && whole;
    // The writer leaves the descriptor to its owner.
    EXPECT_EQ(output.Descriptor(), fd);
    return whole && output.Commit();
  };
  // 40 bytes, the rewrite's 4 and the header's 4.
  for (uint64_t limit = 0; limit < 48; ++limit) {
    FileFaultInjector::LimitWrittenBytes(limit);
    EXPECT_FALSE(stream()) << "limit " << limit;
    FileFaultInjector::Reset();
    ExpectUntouched(path, old, true, "limit " + std::to_string(limit));
  }
  // Every seek and every write fails once in turn, until the one after the
  // last lets the stream through.
  for (Op step : {Op::kSeek, Op::kWrite}) {
    bool written = false;
    for (int nth = 1; nth < 20 && !written; ++nth) {
      FileFaultInjector::FailCall(step, nth);
      written = stream();
      FileFaultInjector::Reset();
      if (!written) ExpectUntouched(path, old, true, "call " + std::to_string(nth));
    }
    ASSERT_TRUE(written);
    EXPECT_EQ(testsupport::ReadFileBytes(path), expected);
    ASSERT_TRUE(testsupport::WriteFileBytes(path, old));
  }
  EXPECT_EQ(Names(), std::set<std::string>{"out.bin"});
}

}  // namespace
