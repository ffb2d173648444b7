// What a replaced name keeps on POSIX systems: its permission bits, a
// symbolic link pointing at the replaced file, and a FIFO written in place.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_replacement.h"
#include "support/byte_builder.h"
#include "support/temp_dir_fixture.h"

namespace {

using platform::FailureReason;

class FileReplacementPosixTest : public testsupport::TempDirFixture {
 protected:
  bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    FailureReason reason;
    const bool written = platform::WriteWholeFile(path.c_str(), bytes, reason);
    EXPECT_TRUE(written) << reason.Text();
    return written;
  }
  std::set<std::string> Names(const std::string& folder) const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }
  const std::vector<uint8_t> old_{'o', 'l', 'd'};
  const std::vector<uint8_t> fresh_{'f', 'r', 'e', 's', 'h'};
};

int ModeOf(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
}

// Under a umask of 022 a new file gets 0644, as any file LowLevelFile
// creates; a replaced file of 0640 stays 0640.
TEST_F(FileReplacementPosixTest, ReplacedFileKeepsItsModeAndNewFileGetsTheUsualOne) {
  const mode_t previous = ::umask(022);
  const std::string made = temp_.File("new.bin"), kept = temp_.File("kept.bin");
  EXPECT_TRUE(Write(made, fresh_));
  ASSERT_TRUE(testsupport::WriteFileBytes(kept, old_));
  ASSERT_EQ(::chmod(kept.c_str(), 0640), 0);
  EXPECT_TRUE(Write(kept, fresh_));
  ::umask(previous);
  EXPECT_EQ(ModeOf(made), 0644);
  EXPECT_EQ(ModeOf(kept), 0640);
  EXPECT_EQ(testsupport::ReadFileBytes(kept), fresh_);
}

// A name of 250 bytes leaves no room for a temporary name built from all of
// it (most file systems stop at 255).
TEST_F(FileReplacementPosixTest, LongNameIsReplacedToo) {
  const std::string path = temp_.File(std::string(250, 'n'));
  ASSERT_TRUE(testsupport::WriteFileBytes(path, old_));
  EXPECT_TRUE(Write(path, fresh_));
  EXPECT_EQ(testsupport::ReadFileBytes(path), fresh_);
}

// Relative links from another folder: the file they point to is replaced
// (or made) beside itself, and the links stay links with the same text.
TEST_F(FileReplacementPosixTest, LinkedTargetIsReplacedAndTheLinkStays) {
  const std::string real = temp_.File("real"), links = temp_.File("links");
  ASSERT_TRUE(std::filesystem::create_directory(real) && std::filesystem::create_directory(links));
  ASSERT_TRUE(testsupport::WriteFileBytes(real + "/target.bin", old_));
  ASSERT_EQ(::symlink("../real/target.bin", (links + "/out.bin").c_str()), 0);
  ASSERT_EQ(::symlink("../real/new.bin", (links + "/dangling.bin").c_str()), 0);
  EXPECT_TRUE(Write(links + "/out.bin", fresh_));
  EXPECT_TRUE(Write(links + "/dangling.bin", fresh_));
  for (const char* name : {"/out.bin", "/dangling.bin"}) {
    EXPECT_TRUE(std::filesystem::is_symlink(links + name)) << name;
  }
  EXPECT_EQ(std::filesystem::read_symlink(links + "/out.bin").string(), "../real/target.bin");
  EXPECT_EQ(testsupport::ReadFileBytes(real + "/target.bin"), fresh_);
  EXPECT_EQ(testsupport::ReadFileBytes(real + "/new.bin"), fresh_);
  EXPECT_EQ(Names(real), (std::set<std::string>{"target.bin", "new.bin"}));
  EXPECT_EQ(Names(links), (std::set<std::string>{"out.bin", "dangling.bin"}));
}

// A chain of two relative links in folders of different depths: each link's
// text is read from that link's folder, and the file the chain ends at is
// replaced.
TEST_F(FileReplacementPosixTest, ChainOfRelativeLinksEndsWhereEachLinkPoints) {
  const std::string real = temp_.File("real"), middle = temp_.File("deep/middle"),
                    links = temp_.File("links");
  for (const std::string& folder : {real, middle, links})
    ASSERT_TRUE(std::filesystem::create_directories(folder));
  ASSERT_TRUE(testsupport::WriteFileBytes(real + "/target.bin", old_));
  ASSERT_EQ(::symlink("../../real/target.bin", (middle + "/hop.bin").c_str()), 0);
  ASSERT_EQ(::symlink("../deep/middle/hop.bin", (links + "/out.bin").c_str()), 0);
  EXPECT_TRUE(Write(links + "/out.bin", fresh_));
  EXPECT_EQ(testsupport::ReadFileBytes(real + "/target.bin"), fresh_);
  EXPECT_EQ(std::filesystem::read_symlink(links + "/out.bin").string(), "../deep/middle/hop.bin");
  EXPECT_EQ(std::filesystem::read_symlink(middle + "/hop.bin").string(), "../../real/target.bin");
  EXPECT_EQ(Names(real), std::set<std::string>{"target.bin"});
  EXPECT_EQ(Names(middle), std::set<std::string>{"hop.bin"});
  EXPECT_EQ(Names(links), std::set<std::string>{"out.bin"});
}

// A FIFO is written in place: a reader on the other end gets every byte
// and the FIFO stays.
TEST_F(FileReplacementPosixTest, FifoIsWrittenInPlace) {
  const std::string fifo = temp_.File("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::vector<uint8_t> bytes(200000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i % 251);
  std::vector<uint8_t> received;
  // Held open for reading and writing, so that neither end waits for the
  // other to open and the reader sees the end only once this one closes.
  const int keeper = ::open(fifo.c_str(), O_RDWR);
  ASSERT_GE(keeper, 0);
  std::thread reader([&] {
    const int fd = ::open(fifo.c_str(), O_RDONLY);
    uint8_t buffer[4096];
    for (ssize_t got; fd >= 0 && (got = ::read(fd, buffer, sizeof buffer)) > 0;) {
      received.insert(received.end(), buffer, buffer + got);
    }
    if (fd >= 0) ::close(fd);
  });
  EXPECT_TRUE(Write(fifo, bytes));
  ::close(keeper);
  reader.join();
  EXPECT_TRUE(received == bytes);
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  EXPECT_EQ(Names(temp_.Path()), std::set<std::string>{"pipe"});
}

}  // namespace
