#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/file_fault_injector.h"
#include "plugin/hmp5w.h"
#include "plugin/hmp7w.h"
#include "support/byte_builder.h"
#include "support/created_file_mode.h"
#include "support/temp_dir_fixture.h"
#include "tests/plugin/hmp_expect.h"

namespace {

using hmptest::AppendFrameHeader;
using hmptest::AppendHeader;
using hmptest::AppendSkinHeader;
using hmptest::AppendVertex;
using hmptest::HeaderValues;
using loamwriter::HMP5W;
using loamwriter::HMP7W;
using platform::FileFaultInjector;
using testsupport::ByteBuilder;
using testsupport::ReadFileBytes;
using Op = platform::FileFaultInjector::Operation;

class HmpWriterTest : public testsupport::TempDirFixture {
 protected:
  void TearDown() override {
    FileFaultInjector::Reset();
    // Whatever a test left open is closed; its result is the test's business.
    (void)writer_.Close();
    TempDirFixture::TearDown();
  }
  std::string Path(const char* name = "terrain.hmp") { return temp_.File(name); }
  std::vector<uint8_t> Bytes(const char* name = "terrain.hmp") { return ReadFileBytes(Path(name)); }

  HMP7W writer_;
};

TEST_F(HmpWriterTest, OpenedAndClosedFileIsTheBareHeader) {
  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  EXPECT_TRUE(writer_.Close());
  ByteBuilder expected;
  expected.Text("HMP7", 4).Fill(0, 80);
  EXPECT_EQ(Bytes(), expected.Data());

  HMP5W hmp5;
  ASSERT_GE(hmp5.Open(Path("five.hmp").c_str()), 0);
  EXPECT_TRUE(hmp5.Close());
  ByteBuilder five;
  five.Text("HMP5", 4).I32(2).Fill(0, 76);
  EXPECT_EQ(Bytes("five.hmp"), five.Data());
}

// A new terrain file is readable and writable by its owner and by no one
// the process umask shuts out; nobody may execute it.
TEST_F(HmpWriterTest, NewFileIsReadableAndWritableByItsOwnerWithinTheUmask) {
  EXPECT_EQ(testsupport::CreatedFileMode(
                Path(), [&] { return writer_.Open(Path().c_str()) >= 0 && writer_.Close(); }),
            0600);
}

TEST_F(HmpWriterTest, OpenThroughBaseClassUsesTheVersionOfTheObject) {
  HMP5W& base = writer_;
  ASSERT_GE(base.Open(Path().c_str()), 0);
  EXPECT_TRUE(base.Close());
  const std::vector<uint8_t> bytes = Bytes();
  ASSERT_EQ(bytes.size(), 84u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "HMP7");
}

// Skins and frames stream in order; headers are patched with their final
// values, and numVertices counts the first frame only.
TEST_F(HmpWriterTest, WritesSkinsAndFramesAndPatchesEveryHeader) {
  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  writer_.header.scale[2] = 0.5f;
  writer_.header.offset[0] = -3.0f;
  writer_.header.param0 = 7.0f;

  // A vertex before any frame is written but not counted.
  EXPECT_TRUE(writer_.AddFrameVertex(9, 0.0f, 0.0f, 1.0f));

  const std::vector<uint8_t> level0 = {1, 2, 3, 4, 5, 6, 7, 8};
  const std::vector<uint8_t> mip1 = {21, 22}, mip2 = {31}, mip3 = {41};
  EXPECT_TRUE(writer_.BeginSkin(12, "ignored"));
  EXPECT_TRUE(writer_.SetSkinImage(4, 2, 1, true));
  EXPECT_TRUE(writer_.WriteSkinImage(level0.data(), mip1.data(), mip2.data(), mip3.data()));
  EXPECT_TRUE(writer_.FinishSkin());

  const std::vector<uint8_t> blank(6, 0xEE);
  EXPECT_TRUE(writer_.BeginSkin(0, nullptr));
  EXPECT_TRUE(writer_.SetSkinImage(3, 2, 1, false));
  EXPECT_TRUE(writer_.WriteSkinImage(blank.data(), nullptr, nullptr, nullptr));
  EXPECT_TRUE(writer_.FinishSkin());

  for (int f = 0; f < 2; ++f) {
    EXPECT_TRUE(writer_.BeginFrame(f == 0 ? "first" : "second"));
    for (uint16_t v = 0; v < 3; ++v)
      EXPECT_TRUE(writer_.AddFrameVertex(static_cast<uint16_t>(100 * f + v), 0, 0, 1));
    EXPECT_TRUE(writer_.FinishFrame());
  }
  EXPECT_TRUE(writer_.Close());

  HeaderValues header;
  header.scale[2] = 0.5f;
  header.offset[0] = -3.0f;
  header.param0 = 7.0f;
  header.numSkins = 2;
  header.numVertices = 3;
  header.numFrames = 2;
  ByteBuilder expected;
  AppendHeader(expected, header);
  AppendVertex(expected, 9, 0, 0);
  AppendSkinHeader(expected, 12, 4, 2);
  // A 4 x 2 skin has a 2 x 1 first mip level and empty second and third ones.
  expected.Bytes(level0).Bytes(mip1);
  AppendSkinHeader(expected, 0, 3, 2);
  expected.Bytes(blank);
  AppendFrameHeader(expected, "first");
  for (uint16_t v = 0; v < 3; ++v) AppendVertex(expected, v, 0, 0);
  AppendFrameHeader(expected, "second");
  for (uint16_t v = 0; v < 3; ++v) AppendVertex(expected, static_cast<uint16_t>(100 + v), 0, 0);
  EXPECT_EQ(Bytes(), expected.Data());
}

TEST_F(HmpWriterTest, FrameNamesAreCutTo15CharactersAndMayBeNull) {
  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  EXPECT_TRUE(writer_.BeginFrame("abcdefghijklmnopqrstuvwxyz"));
  EXPECT_TRUE(writer_.BeginFrame("exactly15chars!"));
  EXPECT_TRUE(writer_.BeginFrame(nullptr));
  EXPECT_TRUE(writer_.BeginFrame(""));
  EXPECT_TRUE(writer_.Close());

  ByteBuilder frames;
  AppendFrameHeader(frames, "abcdefghijklmno");
  AppendFrameHeader(frames, "exactly15chars!");
  AppendFrameHeader(frames, "");
  AppendFrameHeader(frames, "");
  const std::vector<uint8_t> bytes = Bytes();
  EXPECT_EQ(hmptest::Slice(bytes, 84, 1000), frames.Data());
  EXPECT_EQ(bytes[84 + 35], 0);  // the terminator of a cut name
}

TEST_F(HmpWriterTest, NormalsAreStoredTimes127TruncatedToTheLow8Bits) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    float nx, ny;
    uint8_t bx, by;
  };
  const Case cases[] = {
      {1.0f, -1.0f, 127, 0x81}, {0.5f, -0.5f, 63, 0xC1}, {2.0f, -2.0f, 254, 2},
      {0.0f, 0.999f, 0, 126},   {nan, 1e20f, 0, 0},      {-0.0f, 0.004f, 0, 0},
  };
  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  ByteBuilder expected;
  for (const Case& c : cases) {
    EXPECT_TRUE(writer_.AddFrameVertex(0xBEEF, c.nx, c.ny, 123.0f));
    AppendVertex(expected, 0xBEEF, c.bx, c.by);
  }
  EXPECT_TRUE(writer_.Close());
  EXPECT_EQ(hmptest::Slice(Bytes(), 84, 1000), expected.Data());
}

// Type 6 stores one byte per pixel in level 0 only; the mip levels keep the
// skin's bytes per pixel, and every level halves both sides (truncating).
TEST_F(HmpWriterTest, SkinLevelSizesFollowTypeAndBytesPerPixel) {
  struct Case {
    uint8_t type;
    int32_t w, h, b;
    bool mipmaps;
    size_t level0, mip1, mip2, mip3;
  };
  const Case cases[] = {
      {6, 8, 4, 3, true, 32, 24, 6, 0},         {12, 8, 4, 3, true, 96, 24, 6, 0},
      {13, 16, 16, 4, true, 1024, 256, 64, 16}, {2, 5, 3, 2, false, 30, 0, 0, 0},
      {6, 7, 1, 2, false, 7, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << int(c.type) << " " << c.w << "x" << c.h << "x" << c.b);
    const std::vector<uint8_t> level0(c.level0, 0x11), mip1(c.mip1 + 1, 0x22), mip2(c.mip2 + 1, 0x33),
        mip3(c.mip3 + 1, 0x44);
    ASSERT_GE(writer_.Open(Path().c_str()), 0);
    EXPECT_TRUE(writer_.BeginSkin(c.type, "skin"));
    writer_.SetSkinImage(c.w, c.h, c.b, c.mipmaps);
    EXPECT_TRUE(writer_.WriteSkinImage(level0.data(), mip1.data(), mip2.data(), mip3.data()));
    EXPECT_TRUE(writer_.FinishSkin());
    EXPECT_TRUE(writer_.Close());

    ByteBuilder expected;
    AppendSkinHeader(expected, c.type, c.w, c.h);
    expected.Fill(0x11, c.level0).Fill(0x22, c.mip1).Fill(0x33, c.mip2).Fill(0x44, c.mip3);
    EXPECT_EQ(hmptest::Slice(Bytes(), 84, 1u << 20), expected.Data());
  }
}

TEST_F(HmpWriterTest, MissingMipBufferFailsAfterLevel0AndTheHeaderIsStillPatched) {
  const std::vector<uint8_t> level0(16, 7), mip(4, 8);
  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  EXPECT_TRUE(writer_.BeginSkin(10, nullptr));
  writer_.SetSkinImage(4, 4, 1, true);
  EXPECT_FALSE(writer_.WriteSkinImage(level0.data(), mip.data(), nullptr, mip.data()));
  EXPECT_TRUE(writer_.FinishSkin());
  // A skin of negative size writes nothing at all.
  EXPECT_TRUE(writer_.BeginSkin(10, nullptr));
  writer_.SetSkinImage(-4, -4, 1, false);
  EXPECT_FALSE(writer_.WriteSkinImage(level0.data(), nullptr, nullptr, nullptr));
  EXPECT_TRUE(writer_.Close());

  ByteBuilder expected;
  AppendSkinHeader(expected, 10, 4, 4);
  expected.Bytes(level0);
  AppendSkinHeader(expected, 10, 0, 0);
  EXPECT_EQ(hmptest::Slice(Bytes(), 84, 1000), expected.Data());
  EXPECT_EQ(testsupport::LoadU32(Bytes(), 48), 2u);
}

TEST_F(HmpWriterTest, CloseTwiceAndCloseWithoutFileSucceedWithoutWriting) {
  HMP7W fresh;
  EXPECT_TRUE(fresh.Close());
  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  EXPECT_TRUE(writer_.Close());
  EXPECT_EQ(writer_.fd, -1);
  writer_.header.numFrames = 99;
  FileFaultInjector::FailCall(Op::kWrite, 1, true);  // any write would now fail
  EXPECT_TRUE(writer_.Close());
  EXPECT_EQ(testsupport::LoadU32(Bytes(), 68), 0u);
}

// A second Open first closes the earlier file as Close does, header included.
TEST_F(HmpWriterTest, OpenWhileOpenClosesAndPatchesTheEarlierFile) {
  ASSERT_GE(writer_.Open(Path("one.hmp").c_str()), 0);
  EXPECT_TRUE(writer_.BeginFrame("a"));
  EXPECT_TRUE(writer_.AddFrameVertex(1, 0, 0, 0));
  ASSERT_GE(writer_.Open(Path("two.hmp").c_str()), 0);
  EXPECT_EQ(writer_.header.numFrames, 0);
  EXPECT_TRUE(writer_.Close());

  const std::vector<uint8_t> one = Bytes("one.hmp");
  ASSERT_EQ(one.size(), 84u + 36u + 4u);
  EXPECT_EQ(testsupport::LoadU32(one, 60), 1u);
  EXPECT_EQ(testsupport::LoadU32(one, 68), 1u);
  EXPECT_EQ(Bytes("two.hmp").size(), 84u);
}

// Finishing a skin or frame that was not begun in the current file writes
// nothing: positions of an earlier file are forgotten on Open.
TEST_F(HmpWriterTest, FinishWithoutBeginInTheCurrentFileWritesNothing) {
  ASSERT_GE(writer_.Open(Path("one.hmp").c_str()), 0);
  EXPECT_TRUE(writer_.BeginSkin(0, nullptr));
  EXPECT_TRUE(writer_.AddFrameVertex(5, 0, 0, 0));
  EXPECT_TRUE(writer_.AddFrameVertex(5, 0, 0, 0));
  EXPECT_TRUE(writer_.AddFrameVertex(5, 0, 0, 0));
  EXPECT_TRUE(writer_.BeginFrame("x"));
  EXPECT_TRUE(writer_.Close());

  ASSERT_GE(writer_.Open(Path("two.hmp").c_str()), 0);
  EXPECT_TRUE(writer_.AddFrameVertex(0x4142, 0, 0, 0));
  EXPECT_TRUE(writer_.AddFrameVertex(0x4344, 0, 0, 0));
  EXPECT_TRUE(writer_.AddFrameVertex(0x4546, 0, 0, 0));
  EXPECT_TRUE(writer_.AddFrameVertex(0x4748, 0, 0, 0));
  EXPECT_TRUE(writer_.AddFrameVertex(0x494A, 0, 0, 0));
  EXPECT_TRUE(writer_.FinishSkin());
  EXPECT_TRUE(writer_.FinishFrame());
  EXPECT_TRUE(writer_.Close());

  ByteBuilder expected;
  AppendHeader(expected, HeaderValues());
  for (uint16_t h : {0x4142, 0x4344, 0x4546, 0x4748, 0x494A}) AppendVertex(expected, h, 0, 0);
  EXPECT_EQ(Bytes("two.hmp"), expected.Data());
}

TEST_F(HmpWriterTest, ClosedWriterFailsWritesButCountsAndFinishesQuietly) {
  const uint8_t pixel = 0;
  EXPECT_FALSE(writer_.BeginSkin(2, nullptr));
  writer_.SetSkinImage(1, 1, 1, false);
  EXPECT_FALSE(writer_.WriteSkinImage(&pixel, nullptr, nullptr, nullptr));
  EXPECT_TRUE(writer_.FinishSkin());
  EXPECT_FALSE(writer_.BeginFrame("f"));
  EXPECT_FALSE(writer_.AddFrameVertex(1, 0, 0, 0));
  EXPECT_TRUE(writer_.FinishFrame());
  EXPECT_EQ(writer_.header.numSkins, 1);
  EXPECT_EQ(writer_.header.numFrames, 1);
  EXPECT_EQ(writer_.header.numVertices, 1);
}

TEST_F(HmpWriterTest, FailedOpenKeepsTheHeaderAndLeavesNoFileOpen) {
  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  writer_.header.param1 = 4.5f;
  EXPECT_TRUE(writer_.Close());

  FileFaultInjector::FailCall(Op::kOpen, 1);
  EXPECT_LT(writer_.Open(Path("other.hmp").c_str()), 0);
  EXPECT_LT(writer_.fd, 0);
  EXPECT_EQ(writer_.header.param1, 4.5f);
  EXPECT_LT(writer_.Open(Path("no/such/folder.hmp").c_str()), 0);
  EXPECT_LT(writer_.Open(nullptr), 0);
  EXPECT_TRUE(writer_.Close());
  EXPECT_TRUE(Bytes("other.hmp").empty());
}

TEST_F(HmpWriterTest, ShortInitialHeaderClosesTheFileAndFailsOpen) {
  FileFaultInjector::LimitWrittenBytes(40);
  EXPECT_EQ(writer_.Open(Path().c_str()), -1);
  EXPECT_EQ(writer_.fd, -1);
  FileFaultInjector::Reset();
  EXPECT_TRUE(writer_.Close());
  ByteBuilder expected;
  expected.Text("HMP7", 4).Fill(0, 36);
  EXPECT_EQ(Bytes(), expected.Data());
}

// Every record write that comes up short is reported by the operation that
// made it; counters already advanced stay advanced. A vertex only joins the
// block of vertices, whose write comes when the frame ends.
TEST_F(HmpWriterTest, ShortRecordWritesAreReported) {
  const std::vector<uint8_t> level0(8, 1), mip(2, 2);
  // After the file header: skin header 12, level 0 8, first mip level 2 (the
  // others of a 4 x 2 skin are empty), skin patch 12, frame header 36, vertex 4.
  enum Step { kSkinHeader, kLevel0, kMip1, kFrameHeader, kVertex };
  const uint64_t before[] = {0, 12, 20, 34, 70};
  // Where the cut write starts in the file: the patch adds no bytes.
  const uint64_t start[] = {0, 12, 20, 22, 58};
  // The bytes of the write that is cut; the mip levels and the vertex block
  // go out as one write each.
  const int wanted[] = {12, 8, 2, 36, 4};
  for (int step = kSkinHeader; step <= kVertex; ++step) {
    SCOPED_TRACE(step);
    ASSERT_GE(writer_.Open(Path().c_str()), 0);
    // The write of this step gets its first byte only, later ones nothing.
    FileFaultInjector::LimitWrittenBytes(before[step] + 1);
    const bool skinHeader = writer_.BeginSkin(12, nullptr);
    writer_.SetSkinImage(4, 2, 1, true);
    const bool image = writer_.WriteSkinImage(level0.data(), mip.data(), mip.data(), mip.data());
    const bool patched = writer_.FinishSkin();
    const bool frame = writer_.BeginFrame("f");
    const bool vertex = writer_.AddFrameVertex(1, 0, 0, 0);
    const bool frameEnd = writer_.FinishFrame();
    EXPECT_EQ(skinHeader, step > kSkinHeader);
    EXPECT_EQ(image, step > kMip1);
    EXPECT_EQ(patched, step > kMip1);
    EXPECT_EQ(frame, step > kFrameHeader);
    EXPECT_EQ(vertex, step == kVertex);
    EXPECT_FALSE(frameEnd);
    EXPECT_EQ(writer_.header.numSkins, 1);
    EXPECT_EQ(writer_.header.numFrames, 1);
    EXPECT_EQ(writer_.header.numVertices, 1);
    EXPECT_EQ(writer_.LastFailure().Text(),
              "cannot write: the file took 1 of " + std::to_string(wanted[step]) + " bytes");
    FileFaultInjector::Reset();
    EXPECT_FALSE(writer_.Close());
    EXPECT_EQ(Bytes().size(), 84 + start[step] + 1);
  }
}

TEST_F(HmpWriterTest, CloseReportsAShortFinalHeaderButStillClosesTheFile) {
  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  FileFaultInjector::LimitWrittenBytes(83);
  EXPECT_FALSE(writer_.Close());
  EXPECT_EQ(writer_.fd, -1);
  FileFaultInjector::Reset();
  EXPECT_TRUE(writer_.Close());

  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  FileFaultInjector::FailCall(Op::kSeek, 1);
  EXPECT_FALSE(writer_.Close());
  EXPECT_EQ(writer_.fd, -1);

  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  FileFaultInjector::FailCall(Op::kClose, 1);
  EXPECT_FALSE(writer_.Close());
  EXPECT_EQ(writer_.fd, -1);
}

// A patch whose seek fails must not write the header at the end of the data;
// the file is then not whole, so later records are refused and Close says so.
TEST_F(HmpWriterTest, FailedPatchSeekWritesNothingAndIsReported) {
  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  EXPECT_TRUE(writer_.BeginSkin(0, nullptr));
  writer_.SetSkinImage(2, 2, 1, false);
  const std::vector<uint8_t> level0 = {9, 9, 9, 9};
  EXPECT_TRUE(writer_.WriteSkinImage(level0.data(), nullptr, nullptr, nullptr));
  FileFaultInjector::FailCall(Op::kSeek, 1);  // the seek to the skin header
  EXPECT_FALSE(writer_.FinishSkin());
  EXPECT_FALSE(writer_.BeginFrame("after"));
  EXPECT_FALSE(writer_.Close());

  ByteBuilder expected;
  AppendSkinHeader(expected, 0, 0, 0);
  expected.Bytes(level0);
  EXPECT_EQ(hmptest::Slice(Bytes(), 84, 1000), expected.Data());
}

}  // namespace
