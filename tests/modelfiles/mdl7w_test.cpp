#include "modelfiles/mdl7w.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_fault_injector.h"
#include "platform/low_level_file.h"
#include "support/byte_builder.h"
#include "support/created_file_mode.h"
#include "support/temp_dir_fixture.h"

namespace {

using modelfiles::MDL7W;
using platform::FileFaultInjector;
using testsupport::ByteBuilder;
using testsupport::LoadU16;
using testsupport::LoadU32;
using testsupport::ReadFileBytes;
using Op = platform::FileFaultInjector::Operation;

// The 48-byte header as the format defines it, built field by field.
ByteBuilder& Header(ByteBuilder& b, uint32_t bones, uint32_t groups, uint32_t dataSize, uint32_t lumpSize) {
  b.Text("MDL7", 4).U32(0).U32(bones).U32(groups).U32(dataSize).U32(lumpSize).U32(0);
  for (uint16_t size : {36, 28, 16, 68, 8, 16, 26, 26, 68, 24}) b.U16(size);
  return b;
}

ByteBuilder& GroupRecord(ByteBuilder& b, uint8_t deformers, uint8_t deformerMax, uint32_t groupDataSize,
                         const std::string& name, uint32_t skins, uint32_t texCoords, uint32_t triangles,
                         uint32_t vertices, uint32_t frames) {
  return b.U8(1)
      .U8(deformers)
      .U8(deformerMax)
      .U8(0)
      .U32(groupDataSize)
      .Text(name, 16)
      .U32(skins)
      .U32(texCoords)
      .U32(triangles)
      .U32(vertices)
      .U32(frames);
}

class MDL7WTest : public testsupport::TempDirFixture {
 protected:
  std::string Path() const { return temp_.File("model.mdl"); }
  std::vector<uint8_t> Bytes() const { return ReadFileBytes(Path()); }
  MDL7W writer_;
};

TEST_F(MDL7WTest, FileOpenedAndClosedAtOnceIsTheBareHeader) {
  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  EXPECT_TRUE(writer_.Close());
  EXPECT_EQ(writer_.Descriptor(), -1);
  ByteBuilder expected;
  EXPECT_EQ(Bytes(), Header(expected, 0, 0, 48, 0).Data());
  // A second Close has nothing to do.
  EXPECT_TRUE(writer_.Close());
}

// A new model file is readable and writable by its owner and by no one
// the process umask shuts out; nobody may execute it.
TEST_F(MDL7WTest, NewFileIsReadableAndWritableByItsOwnerWithinTheUmask) {
  EXPECT_EQ(testsupport::CreatedFileMode(
                Path(), [&] { return writer_.Open(Path().c_str()) >= 0 && writer_.Close(); }),
            0600);
}

TEST_F(MDL7WTest, GroupWithOneSkinIsPatchedWithItsSizes) {
  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  ASSERT_TRUE(writer_.BeginGroup("body"));
  ASSERT_TRUE(writer_.BeginSkin(5, "skin"));
  writer_.SetSkinImage(2, 2, 4, false);
  std::vector<uint8_t> pixels(16);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(0xA0 + i);
  ASSERT_TRUE(writer_.WriteSkinImage(pixels.data(), nullptr, nullptr, nullptr));
  EXPECT_TRUE(writer_.FinishSkin());
  EXPECT_TRUE(writer_.FinishGroup());
  EXPECT_TRUE(writer_.Close());

  ByteBuilder expected;
  Header(expected, 0, 1, 136, 0);
  GroupRecord(expected, 0, 0, 88, "body", 1, 0, 0, 0, 0);
  expected.U8(5).Fill(0, 3).U32(2).U32(2).Text("skin", 16).Bytes(pixels);
  EXPECT_EQ(Bytes(), expected.Data());
}

// The same model on disk and in memory.
TEST_F(MDL7WTest, WritesFramesDeformersAndLumpByteForByte) {
  uint8_t matrix[64];
  for (int i = 0; i < 64; ++i) matrix[i] = static_cast<uint8_t>(i * 3);
  const auto writeModel = [&](MDL7W& w) {
    ASSERT_TRUE(w.AddBone(MDL7W::kNoBone, 1.0f, 2.0f, 3.0f, "root"));
    ASSERT_TRUE(w.BeginGroup(nullptr));
    ASSERT_TRUE(w.AddTexCoord(0.25f, 0.75f));
    ASSERT_TRUE(w.AddTriangle(0, 0, 0, 0, 0xFFFF, 0, -7));
    ASSERT_TRUE(w.AddVertex(4.0f, 5.0f, 6.0f, 0, 0.0f, 0.0f, 1.0f));
    ASSERT_TRUE(w.BeginFrame("walk"));
    ASSERT_TRUE(w.AddFrameVertex(0, 7.0f, 8.0f, 9.0f, 1.0f, 0.0f, 0.0f));
    ASSERT_TRUE(w.AddBoneTransform(0, matrix));
    EXPECT_TRUE(w.FinishFrame());
    EXPECT_TRUE(w.SetGroupDeformers(1, 2));
    ASSERT_TRUE(w.BeginDeformer(3, 0));
    ASSERT_TRUE(w.BeginDeformerElement(9, "elbow"));
    ASSERT_TRUE(w.AddDeformerWeight(0, 0.5f));
    ASSERT_TRUE(w.AddDeformerWeight(1, 0.25f));
    EXPECT_TRUE(w.FinishDeformerElement());
    EXPECT_TRUE(w.FinishDeformer());
    ASSERT_TRUE(w.BeginLump());
    ASSERT_TRUE(w.BeginLumpSection(11));
    ASSERT_TRUE(w.BeginLumpList(12));
    ASSERT_TRUE(w.AddLumpTriangle(1, 2, 3, 4, 5, 6, 77));
    EXPECT_TRUE(w.FinishLumpList());
    EXPECT_TRUE(w.FinishLumpSection());
    EXPECT_TRUE(w.FinishLump());
    EXPECT_TRUE(w.Close());
  };
  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  writeModel(writer_);
  MDL7W inMemory;
  ASSERT_TRUE(inMemory.OpenInMemory());
  writeModel(inMemory);

  // Group: 44 + 8 + 16 + 26 + 24 + 26 + 68 = 212. Deformer: 16 + 28 + 2 * 8 = 60.
  // Data size: 48 + 36 + 212 + 60 = 356. Lump: 12 + 8 + 8 + 16 = 44.
  ByteBuilder expected;
  Header(expected, 1, 1, 356, 44);
  expected.U16(0xFFFF).U16(0).F32(1).F32(2).F32(3).Text("root", 20);
  GroupRecord(expected, 1, 2, 212, "", 0, 1, 1, 1, 1);
  expected.F32(0.25f).F32(0.75f);
  expected.U16(0).U16(0).U16(0).U16(0).U16(0xFFFF).U16(0).I32(-7);
  expected.F32(4).F32(5).F32(6).U16(0).F32(0).F32(0).F32(1);
  expected.Text("walk", 16).U32(1).U32(1);
  expected.F32(7).F32(8).F32(9).U16(0).F32(1).F32(0).F32(0);
  expected.Bytes(std::vector<uint8_t>(matrix, matrix + 64)).U16(0).U16(0);
  expected.U8(0).U8(3).U16(0).I32(0).U32(1).U32(60);
  expected.I32(9).Text("elbow", 20).U32(2);
  expected.I32(0).F32(0.5f).I32(1).F32(0.25f);
  expected.I32(1).U32(44).U32(1);
  expected.I32(11).U32(1);
  expected.I32(12).U32(1);
  expected.U16(1).U16(2).U16(3).U16(4).U16(5).U16(6).I32(77);
  EXPECT_EQ(Bytes(), expected.Data());
  EXPECT_EQ(inMemory.MemoryBytes(), expected.Data());
}

TEST_F(MDL7WTest, RecordsOutOfOrderAreRefusedAndWriteNothing) {
  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  ASSERT_TRUE(writer_.BeginGroup("a"));
  EXPECT_FALSE(writer_.AddBone(0, 0, 0, 0, "late"));
  EXPECT_EQ(writer_.LastFailure().Text(), "out of order: a bone after the first group");
  ASSERT_TRUE(writer_.AddTexCoord(0, 0));
  EXPECT_FALSE(writer_.BeginSkin(0, "late"));
  EXPECT_EQ(writer_.LastFailure().Text(), "out of order: a skin after the group's other records");
  ASSERT_TRUE(writer_.AddTriangle(0, 0, 0, 0, 0, 0, 0));
  EXPECT_FALSE(writer_.AddTexCoord(0, 0));
  ASSERT_TRUE(writer_.AddVertex(0, 0, 0, 0, 0, 0, 0));
  EXPECT_FALSE(writer_.AddTriangle(0, 0, 0, 0, 0, 0, 0));
  ASSERT_TRUE(writer_.BeginFrame("f"));
  EXPECT_FALSE(writer_.AddVertex(0, 0, 0, 0, 0, 0, 0));
  EXPECT_TRUE(writer_.FinishFrame());
  EXPECT_TRUE(writer_.FinishGroup());
  // A new group starts its counts at 0 again.
  ASSERT_TRUE(writer_.BeginGroup("b"));
  EXPECT_TRUE(writer_.BeginSkin(0, "early"));
  EXPECT_TRUE(writer_.FinishSkin());
  EXPECT_TRUE(writer_.FinishGroup());
  EXPECT_TRUE(writer_.Close());

  const std::vector<uint8_t> bytes = Bytes();
  ASSERT_EQ(bytes.size(), 48u + 44 + 8 + 16 + 26 + 24 + 44 + 28);
  EXPECT_EQ(LoadU32(bytes, 8), 0u);  // no bone
  EXPECT_EQ(LoadU32(bytes, 12), 2u);
  EXPECT_EQ(LoadU32(bytes, 16), bytes.size());
  EXPECT_EQ(LoadU32(bytes, 48 + 4), 44u + 8 + 16 + 26 + 24);
  EXPECT_EQ(LoadU32(bytes, 48 + 24), 0u);  // first group: no skin
  EXPECT_EQ(LoadU32(bytes, 48 + 28), 1u);
  EXPECT_EQ(LoadU32(bytes, 48 + 36), 1u);
}

TEST_F(MDL7WTest, NamesAreCutToTheirFieldsAndAlwaysTerminated) {
  const std::string longName = "abcdefghijklmnopqrstuvwxyz0123";  // 30 characters
  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  ASSERT_TRUE(writer_.AddBone(1, 0, 0, 0, longName.c_str()));
  ASSERT_TRUE(writer_.BeginGroup(longName.c_str()));
  ASSERT_TRUE(writer_.BeginSkin(0, longName.substr(0, 20).c_str()));
  EXPECT_TRUE(writer_.FinishSkin());
  EXPECT_TRUE(writer_.FinishGroup());
  ASSERT_TRUE(writer_.BeginDeformer(0, 0));
  ASSERT_TRUE(writer_.BeginDeformerElement(0, longName.c_str()));
  EXPECT_TRUE(writer_.FinishDeformerElement());
  EXPECT_TRUE(writer_.FinishDeformer());
  EXPECT_TRUE(writer_.Close());

  const std::vector<uint8_t> bytes = Bytes();
  auto field = [&](size_t offset, size_t size) {
    return std::string(bytes.begin() + offset, bytes.begin() + offset + size);
  };
  ASSERT_EQ(bytes.size(), 48u + 36 + 44 + 28 + 16 + 28);
  EXPECT_EQ(field(48 + 16, 20), longName.substr(0, 19) + '\0');
  EXPECT_EQ(field(84 + 8, 16), longName.substr(0, 15) + '\0');
  EXPECT_EQ(field(128 + 12, 16), longName.substr(0, 15) + '\0');
  EXPECT_EQ(field(156 + 16 + 4, 20), longName.substr(0, 19) + '\0');
}

TEST_F(MDL7WTest, MipLevelsAreWrittenAtHalvedSizes) {
  std::vector<uint8_t> level0(8192, 1), level1(2048, 2), level2(512, 3), level3(128, 4);
  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  ASSERT_TRUE(writer_.BeginGroup("g"));
  ASSERT_TRUE(writer_.BeginSkin(0x0A, "mip"));
  writer_.SetSkinImage(64, 64, 2, true);
  EXPECT_TRUE(writer_.WriteSkinImage(level0.data(), level1.data(), level2.data(), level3.data()));
  EXPECT_TRUE(writer_.FinishSkin());
  // A missing reduced level: level 0 is written, nothing more.
  ASSERT_TRUE(writer_.BeginSkin(0x0A, "broken"));
  writer_.SetSkinImage(64, 64, 2, true);
  EXPECT_FALSE(writer_.WriteSkinImage(level0.data(), level1.data(), nullptr, level3.data()));
  EXPECT_TRUE(writer_.FinishSkin());
  EXPECT_TRUE(writer_.FinishGroup());
  EXPECT_TRUE(writer_.Close());

  const std::vector<uint8_t> bytes = Bytes();
  const size_t first = 48 + 44 + 28;
  ASSERT_EQ(bytes.size(), first + 8192 + 2048 + 512 + 128 + 28 + 8192);
  EXPECT_EQ(bytes[first + 8192 - 1], 1);
  EXPECT_EQ(bytes[first + 8192], 2);
  EXPECT_EQ(bytes[first + 8192 + 2048], 3);
  EXPECT_EQ(bytes[first + 8192 + 2048 + 512], 4);
  EXPECT_EQ(LoadU32(bytes, 48 + 4), bytes.size() - 48);
  EXPECT_EQ(LoadU32(bytes, first - 28 + 4), 64u);  // width patched into the skin record
}

TEST_F(MDL7WTest, EmbeddedSkinTypeWritesWidthTimesHeightBytes) {
  std::vector<uint8_t> data(100, 0x5A);
  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  ASSERT_TRUE(writer_.BeginGroup("g"));
  ASSERT_TRUE(writer_.BeginSkin(6, "embedded"));
  writer_.SetSkinImage(100, 1, 4, false);
  EXPECT_TRUE(writer_.WriteSkinImage(data.data(), nullptr, nullptr, nullptr));
  EXPECT_TRUE(writer_.FinishSkin());
  EXPECT_TRUE(writer_.FinishGroup());
  EXPECT_TRUE(writer_.Close());
  EXPECT_EQ(Bytes().size(), 48u + 44 + 28 + 100);
}

TEST_F(MDL7WTest, BadImageAndBlockArgumentsWriteNothing) {
  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  ASSERT_TRUE(writer_.BeginGroup("g"));
  ASSERT_TRUE(writer_.BeginSkin(0x25, "s"));
  writer_.SetSkinImage(-4, 4, 1, false);
  const uint8_t pixel[16] = {};
  EXPECT_FALSE(writer_.WriteSkinImage(pixel, nullptr, nullptr, nullptr));
  writer_.SetSkinImage(65536, 65536, 4, false);
  EXPECT_FALSE(writer_.WriteSkinImage(pixel, nullptr, nullptr, nullptr));
  EXPECT_EQ(writer_.LastFailure().GetKind(), platform::FailureReason::Kind::kTooLarge);
  writer_.SetSkinImage(4, 4, 1, false);
  EXPECT_FALSE(writer_.WriteSkinImage(nullptr, nullptr, nullptr, nullptr));
  EXPECT_FALSE(writer_.WriteSizedBlock(-1, pixel));
  // The header, the group and the skin record lie before the refused field.
  EXPECT_EQ(writer_.LastFailure().Text(), "malformed sized block length at offset 120");
  EXPECT_FALSE(writer_.WriteSizedBlock(4, nullptr));
  EXPECT_TRUE(writer_.WriteSizedBlock(0, nullptr));
  EXPECT_TRUE(writer_.FinishSkin());
  EXPECT_TRUE(writer_.FinishGroup());
  EXPECT_TRUE(writer_.Close());
  const std::vector<uint8_t> bytes = Bytes();
  ASSERT_EQ(bytes.size(), 48u + 44 + 28 + 4);
  EXPECT_EQ(LoadU32(bytes, 16), bytes.size());
}

TEST_F(MDL7WTest, UncountedBytesAreCaughtUpWhenTheGroupFinishes) {
  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  ASSERT_TRUE(writer_.BeginGroup("g"));
  ASSERT_TRUE(writer_.WriteZeros(3));
  EXPECT_TRUE(writer_.WriteZeros(0));
  EXPECT_TRUE(writer_.WriteZeros(-5));
  EXPECT_TRUE(writer_.FinishGroup());
  EXPECT_TRUE(writer_.Close());
  const std::vector<uint8_t> bytes = Bytes();
  ASSERT_EQ(bytes.size(), 48u + 44 + 3);
  EXPECT_EQ(LoadU32(bytes, 16), 48u + 44 + 3);
  EXPECT_EQ(LoadU32(bytes, 48 + 4), 44u + 3);  // the group holds every byte up to its end
}

// Readers go from group to group by the group's data size: with a sized block
// and a zero fill in the first group it must still land on the second group,
// and from there on the end of the data.
TEST_F(MDL7WTest, GroupsChainByTheirDataSizeToTheEndOfTheData) {
  const uint8_t pixels[2] = {7, 8}, block[5] = {1, 2, 3, 4, 5};
  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  ASSERT_TRUE(writer_.BeginGroup("a"));
  ASSERT_TRUE(writer_.BeginSkin(0x20, "s"));
  writer_.SetSkinImage(2, 1, 1, false);
  ASSERT_TRUE(writer_.WriteSkinImage(pixels, nullptr, nullptr, nullptr));
  ASSERT_TRUE(writer_.WriteSizedBlock(5, block));
  ASSERT_TRUE(writer_.FinishSkin());
  ASSERT_TRUE(writer_.WriteZeros(3));
  ASSERT_TRUE(writer_.FinishGroup());
  ASSERT_TRUE(writer_.BeginGroup("b"));
  ASSERT_TRUE(writer_.AddTexCoord(1, 1));
  ASSERT_TRUE(writer_.FinishGroup());
  ASSERT_TRUE(writer_.Close());

  const std::vector<uint8_t> bytes = Bytes();
  const uint32_t first = 48;
  EXPECT_EQ(LoadU32(bytes, first + 4), 44u + 28 + 2 + 4 + 5 + 3);
  const uint32_t second = first + LoadU32(bytes, first + 4);
  ASSERT_LT(second + 44, bytes.size());
  EXPECT_EQ(bytes[second], 1);  // group type
  EXPECT_EQ(bytes[second + 8], 'b');
  EXPECT_EQ(second + LoadU32(bytes, second + 4), LoadU32(bytes, 16));
  EXPECT_EQ(LoadU32(bytes, 16), bytes.size());
}

TEST_F(MDL7WTest, DestroyingAnOpenWriterLeavesTheFileUnpatched) {
  int32_t fd;
  {
    MDL7W writer;
    fd = writer.Open(Path().c_str());
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(writer.BeginGroup("g"));
  }
  platform::LowLevelFile::Close(fd);
  const std::vector<uint8_t> bytes = Bytes();
  ASSERT_EQ(bytes.size(), 48u + 44);
  EXPECT_EQ(LoadU32(bytes, 12), 0u);
  EXPECT_EQ(LoadU32(bytes, 16), 0u);
}

TEST_F(MDL7WTest, OpeningAgainClosesAndPatchesThePreviousFile) {
  const std::string second = temp_.File("second.mdl");
  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  ASSERT_TRUE(writer_.BeginGroup("g"));
  EXPECT_TRUE(writer_.FinishGroup());
  ASSERT_GE(writer_.Open(second.c_str()), 0);
  EXPECT_TRUE(writer_.Close());
  const std::vector<uint8_t> first = Bytes();
  ASSERT_EQ(first.size(), 92u);
  EXPECT_EQ(LoadU32(first, 12), 1u);
  EXPECT_EQ(LoadU32(first, 16), 92u);
  EXPECT_EQ(LoadU32(ReadFileBytes(second), 12), 0u);
}

TEST_F(MDL7WTest, FailuresOfTheFileAreReported) {
  FileFaultInjector::FailCall(Op::kOpen, 1);
  EXPECT_LT(writer_.Open(Path().c_str()), 0);
  EXPECT_EQ(writer_.Descriptor(), -1);
  EXPECT_EQ(writer_.LastFailure().Text(), "cannot open: Input/output error");

  // A header that cannot be written in full closes the file.
  FileFaultInjector::LimitWrittenBytes(10);
  EXPECT_EQ(writer_.Open(Path().c_str()), -1);
  EXPECT_EQ(writer_.Descriptor(), -1);
  FileFaultInjector::Reset();

  // A short record write is reported and its counts stay. The file is no
  // longer whole: later records are refused even though the device works
  // again, and finishing and closing say so, while the group record and the
  // header are still rewritten with the counts and the group's real size.
  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  ASSERT_TRUE(writer_.BeginGroup("g"));
  FileFaultInjector::FailCall(Op::kWrite, 1);
  EXPECT_FALSE(writer_.AddVertex(1, 2, 3, 0, 0, 0, 1));
  EXPECT_FALSE(writer_.AddVertex(4, 5, 6, 0, 0, 0, 1));
  // The first failure stays the reason of every later refusal.
  EXPECT_EQ(writer_.LastFailure().Text(), "cannot write: Input/output error");
  EXPECT_FALSE(writer_.FinishGroup());
  EXPECT_FALSE(writer_.Close());
  std::vector<uint8_t> bytes = Bytes();
  ASSERT_EQ(bytes.size(), 92u);
  EXPECT_EQ(LoadU32(bytes, 12), 1u);
  EXPECT_EQ(LoadU32(bytes, 16), 48u + 44 + 2 * 26);
  EXPECT_EQ(LoadU32(bytes, 48 + 36), 2u);
  EXPECT_EQ(LoadU32(bytes, 48 + 4), 44u);  // what of the group reached the file

  // A header that cannot be rewritten makes Close report it; the file is
  // closed all the same.
  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  ASSERT_TRUE(writer_.BeginGroup("g"));
  FileFaultInjector::FailCall(Op::kWrite, 1);
  EXPECT_FALSE(writer_.FinishGroup());
  FileFaultInjector::FailCall(Op::kWrite, 1);
  EXPECT_FALSE(writer_.Close());
  EXPECT_EQ(writer_.Descriptor(), -1);
  bytes = Bytes();
  EXPECT_EQ(LoadU32(bytes, 12), 0u);

  // A patch whose seek fails writes nothing in the wrong place.
  ASSERT_GE(writer_.Open(Path().c_str()), 0);
  ASSERT_TRUE(writer_.BeginGroup("g"));
  ASSERT_TRUE(writer_.AddTexCoord(1, 1));
  FileFaultInjector::FailCall(Op::kSeek, 1);  // the seek to the record
  EXPECT_FALSE(writer_.FinishGroup());
  EXPECT_FALSE(writer_.Close());
  bytes = Bytes();
  ASSERT_EQ(bytes.size(), 48u + 44 + 8);
  EXPECT_EQ(LoadU32(bytes, 48 + 4), 44u);  // the provisional group record
  EXPECT_EQ(LoadU32(bytes, 48 + 44), 0x3F800000u);
}

TEST_F(MDL7WTest, RecordsOnAClosedWriterFail) {
  EXPECT_FALSE(writer_.BeginGroup("g"));
  EXPECT_FALSE(writer_.AddVertex(0, 0, 0, 0, 0, 0, 0));
  EXPECT_FALSE(writer_.FinishGroup());
  EXPECT_FALSE(writer_.WriteZeros(1));
}

}  // namespace
