#include "modelfiles/model_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_fault_injector.h"
#include "platform/low_level_file.h"
#include "support/byte_builder.h"
#include "support/temp_dir_fixture.h"

namespace {

using modelfiles::ModelReader;
using platform::FileFaultInjector;
using platform::LowLevelFile;
using Op = platform::FileFaultInjector::Operation;

// A reader of no particular format: accepts what its test tells it to and
// exposes the cursor of the base.
class ProbeReader : public ModelReader {
 public:
  ProbeReader() : ModelReader(99) {}

  bool accept = true;
  uint32_t declaredSize = 0;  // 0: the file size
  uint32_t start = 0;
  int attachCalls = 0;

  bool SkipBones() override { return false; }
  bool WalkGroup() override { return false; }
  bool SkipSkinData() override { return false; }
  bool WalkSkins() override { return false; }
  bool SkipTexCoords() override { return false; }
  bool SkipTriangles() override { return false; }
  bool SkipVertices() override { return false; }
  bool SkipFrameData() override { return false; }
  bool WalkFrames() override { return false; }

 protected:
  int32_t Attach(const uint8_t* buffer, uint32_t size) override {
    ++attachCalls;
    if (!accept || buffer == nullptr) return 0;
    SetReadableSize(declaredSize != 0 ? declaredSize : size);
    SetCursor(start);
    return static_cast<int32_t>(size);
  }
};

class ModelReaderTest : public testsupport::TempDirFixture {
 protected:
  // A file of `size` bytes whose byte i is i mod 256.
  std::string MakeFile(size_t size, const std::string& name = "probe.bin") {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i);
    const std::string path = temp_.File(name);
    EXPECT_TRUE(testsupport::WriteFileBytes(path, bytes));
    return path;
  }
  ProbeReader reader_;
};

TEST_F(ModelReaderTest, RefusesFilesShorterThanAnyHeader) {
  EXPECT_EQ(reader_.Open(MakeFile(47).c_str()), -1);
  EXPECT_EQ(reader_.Buffer(), nullptr);
  EXPECT_EQ(reader_.Descriptor(), -1);
  EXPECT_EQ(reader_.attachCalls, 0);
  EXPECT_GE(reader_.Open(MakeFile(48).c_str()), 0);
  EXPECT_EQ(reader_.BufferSize(), 48u);
  EXPECT_LT(reader_.Open(temp_.File("absent").c_str()), 0);
  EXPECT_EQ(reader_.Buffer(), nullptr);
}

TEST_F(ModelReaderTest, RefusesFilesTooLargeForOneBuffer) {
  // Sparse: no disk space is used, and the reader refuses it before
  // allocating anything.
  const std::string path = MakeFile(48);
  std::filesystem::resize_file(path, 0x80000000u);
  EXPECT_EQ(reader_.Open(path.c_str()), -1);
  EXPECT_EQ(reader_.Buffer(), nullptr);
  EXPECT_EQ(reader_.Descriptor(), -1);
  EXPECT_EQ(reader_.attachCalls, 0);
}

TEST_F(ModelReaderTest, CursorStaysInsideTheReadableSize) {
  ASSERT_GE(reader_.Open(MakeFile(64).c_str()), 0);
  EXPECT_EQ(reader_.Offset(), 0u);
  EXPECT_FALSE(reader_.SeekTo(64));
  EXPECT_EQ(reader_.Offset(), 0u);
  ASSERT_TRUE(reader_.SeekTo(60));
  const uint8_t* last = reader_.Take(4);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last[0], 60);
  EXPECT_EQ(reader_.Offset(), 64u);
  EXPECT_NE(reader_.Take(0), nullptr);
  EXPECT_EQ(reader_.Take(1), nullptr);

  ASSERT_TRUE(reader_.SeekTo(8));
  EXPECT_EQ(reader_.Take(static_cast<uint32_t>(-16)), nullptr);
  EXPECT_EQ(reader_.Offset(), reader_.ReadableSize());
  ASSERT_TRUE(reader_.SeekTo(8));
  EXPECT_FALSE(reader_.Skip(57));
  EXPECT_EQ(reader_.Offset(), 64u);
  EXPECT_FALSE(reader_.Skip(1));  // stays at the end until moved back
  ASSERT_TRUE(reader_.SeekTo(0));
  EXPECT_TRUE(reader_.Skip(64));
}

TEST_F(ModelReaderTest, ReadableSizeNeverExceedsTheLoadedFile) {
  reader_.declaredSize = 0x7FFFFFF0;
  ASSERT_GE(reader_.Open(MakeFile(50).c_str()), 0);
  EXPECT_EQ(reader_.ReadableSize(), 50u);
  EXPECT_EQ(reader_.Take(51), nullptr);

  reader_.declaredSize = 49;
  ASSERT_GE(reader_.Open(MakeFile(50).c_str()), 0);
  EXPECT_EQ(reader_.ReadableSize(), 49u);
  EXPECT_FALSE(reader_.SeekTo(49));
}

TEST_F(ModelReaderTest, FilePositionAndCursorFollowEachOther) {
  reader_.declaredSize = 40;  // bytes after the readable part must not shift the position
  const int32_t fd = reader_.Open(MakeFile(64).c_str());
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(reader_.SeekTo(10));
  EXPECT_EQ(reader_.SyncFilePosition(), fd);
  EXPECT_EQ(LowLevelFile::Tell(fd), 10);
  ASSERT_TRUE(reader_.SeekTo(30));
  EXPECT_TRUE(reader_.SyncCursor());
  EXPECT_EQ(reader_.Offset(), 10u);
  ASSERT_EQ(LowLevelFile::Seek(fd, 45, LowLevelFile::kSeekSet), 45);
  EXPECT_FALSE(reader_.SyncCursor());
  EXPECT_EQ(reader_.Offset(), 10u);
}

TEST_F(ModelReaderTest, ClosedReaderHoldsNothingAndTakesNothing) {
  EXPECT_TRUE(reader_.Close());
  EXPECT_EQ(reader_.Take(0), nullptr);
  EXPECT_FALSE(reader_.SeekTo(0));
  EXPECT_EQ(reader_.SyncFilePosition(), -1);
  EXPECT_FALSE(reader_.SyncCursor());
  ASSERT_GE(reader_.Open(MakeFile(48).c_str()), 0);
  EXPECT_TRUE(reader_.Close());
  EXPECT_EQ(reader_.Buffer(), nullptr);
  EXPECT_EQ(reader_.ReadableSize(), 0u);
  EXPECT_EQ(reader_.Offset(), 0u);
  EXPECT_EQ(reader_.Descriptor(), -1);
}

TEST_F(ModelReaderTest, RefusedOrUnreadableFilesLeaveTheReaderClosed) {
  reader_.accept = false;
  EXPECT_EQ(reader_.Open(MakeFile(64).c_str()), -1);
  EXPECT_EQ(reader_.Buffer(), nullptr);
  EXPECT_EQ(reader_.Descriptor(), -1);
  reader_.accept = true;

  const std::string path = MakeFile(64);
  FileFaultInjector::FailCall(Op::kRead, 1);
  EXPECT_EQ(reader_.Open(path.c_str()), -1);
  EXPECT_EQ(reader_.Buffer(), nullptr);
  FileFaultInjector::FailCall(Op::kSeek, 1);
  EXPECT_EQ(reader_.Open(path.c_str()), -1);
  FileFaultInjector::FailCall(Op::kSeek, 2);
  EXPECT_EQ(reader_.Open(path.c_str()), -1);
  FileFaultInjector::FailCall(Op::kOpen, 1);
  EXPECT_LT(reader_.Open(path.c_str()), 0);
  EXPECT_EQ(reader_.Descriptor(), -1);
  FileFaultInjector::Reset();
  EXPECT_GE(reader_.Open(path.c_str()), 0);
}

TEST_F(ModelReaderTest, OpeningAgainReplacesTheOpenFile) {
  ASSERT_GE(reader_.Open(MakeFile(48, "a.bin").c_str()), 0);
  const int32_t first = reader_.Descriptor();
  ASSERT_GE(reader_.Open(MakeFile(96, "b.bin").c_str()), 0);
  EXPECT_EQ(reader_.BufferSize(), 96u);
  // The first descriptor was closed before the second file was opened, so the
  // system handed out the same number again.
  EXPECT_EQ(reader_.Descriptor(), first);
}

}  // namespace
