#include "modelfiles/mdl7r.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "modelfiles/normal_table.h"
#include "platform/file_fault_injector.h"
#include "support/byte_builder.h"
#include "support/temp_dir_fixture.h"

namespace {

using modelfiles::MDL7R;
using testsupport::ByteBuilder;

struct RecordSizes {
  uint16_t bone = 36, skin = 28, color = 16, material = 68, texCoord = 8, triangle = 16, vertex = 26,
           frameVertex = 26, boneTransform = 68, frame = 24;
};

// A header whose data size is patched by Finish to the length of the bytes.
ByteBuilder Header(uint32_t bones, uint32_t groups, const RecordSizes& s = RecordSizes(), uint32_t lump = 0,
                   uint32_t second = 0) {
  ByteBuilder b;
  b.Text("MDL7", 4).U32(0).U32(bones).U32(groups).U32(0).U32(lump).U32(second);
  b.U16(s.bone).U16(s.skin).U16(s.color).U16(s.material).U16(s.texCoord).U16(s.triangle).U16(s.vertex);
  b.U16(s.frameVertex).U16(s.boneTransform).U16(s.frame);
  return b;
}

ByteBuilder& Group(ByteBuilder& b, uint8_t type, int32_t dataSize, int32_t skins, int32_t texCoords,
                   int32_t triangles, int32_t vertices, int32_t frames) {
  return b.U8(type)
      .U8(0)
      .U8(0)
      .U8(0)
      .I32(dataSize)
      .Text("g", 16)
      .I32(skins)
      .I32(texCoords)
      .I32(triangles)
      .I32(vertices)
      .I32(frames);
}

class MDL7RTest : public testsupport::TempDirFixture {
 protected:
  // Writes the bytes, with the data size set to `dataSize` (0: their length
  // less the lumps), and opens them.
  int32_t Open(ByteBuilder& b, uint32_t dataSize = 0) {
    if (dataSize == 0) {
      dataSize = static_cast<uint32_t>(b.Size()) - testsupport::LoadU32(b.Data(), 20) -
                 testsupport::LoadU32(b.Data(), 24);
    }
    b.PatchU32(16, dataSize);
    const std::string path = temp_.File("synthetic.mdl");
    EXPECT_TRUE(testsupport::WriteFileBytes(path, b.Data()));
    return reader_.Open(path.c_str());
  }
  bool ReadGroup() {
    uint8_t type;
    int32_t size;
    char name[16];
    return reader_.ReadGroup(type, size, name);
  }
  MDL7R reader_;
};

TEST_F(MDL7RTest, RefusesWrongMagicTooSmallTotalsAndNegativeSizes) {
  ByteBuilder wrong = Header(0, 0);
  wrong.Fill(0, 16);
  std::vector<uint8_t> bytes = wrong.Data();
  bytes[3] = '8';
  ByteBuilder renamed;
  renamed.Bytes(bytes);
  EXPECT_EQ(Open(renamed), -1);

  ByteBuilder small = Header(0, 0);
  EXPECT_EQ(Open(small, 40), -1);
  EXPECT_EQ(reader_.Header(), nullptr);
  ByteBuilder made = Header(0, 0, RecordSizes(), 8);
  made.Fill(0, 8);
  EXPECT_GE(Open(made, 40), 0);  // 40 + 8 = 48 is enough...
  EXPECT_EQ(reader_.ReadableSize(), 48u);
  // ...but a negative lump size is not.
  ByteBuilder negative = Header(0, 0, RecordSizes(), 0xFFFFFFFF);
  negative.Fill(0, 8);
  EXPECT_EQ(Open(negative, 100), -1);
  ByteBuilder exact = Header(0, 0, RecordSizes(), 8);
  exact.Fill(0, 8);
  EXPECT_GE(Open(exact, 48), 0);
  EXPECT_EQ(reader_.ReadableSize(), 56u);
}

TEST_F(MDL7RTest, ReadsATruncatedFileUpToItsEndAndNeverPastTheDeclaredTotal) {
  ByteBuilder b = Header(0, 1);
  Group(b, 1, 44 + 26, 0, 0, 0, 1, 0);
  ASSERT_GE(Open(b, 1000), 0);
  EXPECT_EQ(reader_.ReadableSize(), 92u);
  ASSERT_TRUE(ReadGroup());
  EXPECT_FALSE(reader_.WalkGroup());
  EXPECT_EQ(reader_.Offset(), 92u);

  ByteBuilder trailing = Header(0, 1);
  Group(trailing, 1, 44, 0, 0, 0, 0, 0).Fill(0xEE, 20);
  ASSERT_GE(Open(trailing, 92), 0);
  EXPECT_EQ(reader_.ReadableSize(), 92u);
  ASSERT_TRUE(ReadGroup());
  EXPECT_TRUE(reader_.WalkGroup());
  EXPECT_FALSE(reader_.Skip(1));
}

TEST_F(MDL7RTest, GroupsOfOtherTypesAreSkippedByTheirDataSize) {
  ByteBuilder empty = Header(0, 1);
  Group(empty, 2, 44, 0, 0, 0, 0, 0);
  ASSERT_GE(Open(empty), 0);
  ASSERT_TRUE(ReadGroup());
  EXPECT_FALSE(reader_.WalkGroup());

  ByteBuilder sized = Header(0, 1);
  Group(sized, 2, 60, 9, 9, 9, 9, 9).Fill(0, 16);
  ASSERT_GE(Open(sized), 0);
  ASSERT_TRUE(ReadGroup());
  EXPECT_TRUE(reader_.WalkGroup());
  EXPECT_EQ(reader_.Offset(), 48u + 44 + 16);
}

TEST_F(MDL7RTest, CompactVertexRecordsCarryNormalIndices) {
  RecordSizes sizes;
  sizes.vertex = 16;
  ByteBuilder b = Header(0, 1, sizes);
  Group(b, 1, 0, 0, 0, 0, 2, 1);
  b.F32(1).F32(2).F32(3).U16(0xFFFF).U16(5);
  b.F32(4).F32(5).F32(6).U16(0).U16(162);
  b.Text("f", 16).I32(2).I32(0);
  b.F32(1).F32(1).F32(1).U16(0).F32(0.5f).F32(0.25f).F32(0.125f);  // a full 26-byte frame vertex
  ASSERT_GE(Open(b), 0);
  ASSERT_TRUE(ReadGroup());
  float x, y, z, nx = 7, ny = 7, nz = 7;
  int32_t bone;
  ASSERT_TRUE(reader_.ReadVertex(x, y, z, bone));
  EXPECT_EQ(bone, -1);
  EXPECT_FALSE(reader_.ReadVertexNormal(nx, ny, nz));
  EXPECT_EQ(nx, 0.0f);
  EXPECT_EQ(ny, 0.0f);
  EXPECT_EQ(nz, 1.0f);
  ASSERT_TRUE(reader_.ReadVertex(x, y, z, bone));
  nx = ny = nz = 7;
  EXPECT_FALSE(reader_.ReadVertexNormal(nx, ny, nz));
  EXPECT_EQ(nx, 7.0f);
  EXPECT_EQ(nz, 7.0f);
  // The frame vertex's own record size decides how its normal is stored.
  int32_t count, transforms, index;
  char name[16];
  ASSERT_TRUE(reader_.ReadFrame(count, transforms, name));
  ASSERT_TRUE(reader_.ReadFrameVertex(index, x, y, z));
  EXPECT_TRUE(reader_.ReadFrameVertexNormal(nx, ny, nz));
  EXPECT_EQ(nx, 0.5f);
  EXPECT_EQ(nz, 0.125f);
}

TEST_F(MDL7RTest, FrameVertexNormalIndexIsDecodedByTheFrameVertexSize) {
  RecordSizes sizes;
  sizes.frameVertex = 16;
  ByteBuilder b = Header(0, 1, sizes);
  Group(b, 1, 0, 0, 0, 0, 0, 1);
  b.Text("f", 16).I32(1).I32(0);
  b.F32(1).F32(2).F32(3).U16(7).U16(52);
  ASSERT_GE(Open(b), 0);
  ASSERT_TRUE(ReadGroup());
  int32_t count, transforms, index;
  char name[16];
  float x, y, z, nx = 0, ny = 0, nz = 0;
  ASSERT_TRUE(reader_.ReadFrame(count, transforms, name));
  ASSERT_TRUE(reader_.ReadFrameVertex(index, x, y, z));
  EXPECT_EQ(index, 7);
  EXPECT_FALSE(reader_.ReadFrameVertexNormal(nx, ny, nz));
  EXPECT_EQ(nx, modelfiles::NormalTable[52][0]);
  EXPECT_EQ(ny, modelfiles::NormalTable[52][1]);
  EXPECT_EQ(nz, modelfiles::NormalTable[52][2]);
}

TEST_F(MDL7RTest, OtherVertexSizesGiveNoNormal) {
  RecordSizes sizes;
  sizes.vertex = 20;
  ByteBuilder b = Header(0, 1, sizes);
  Group(b, 1, 0, 0, 0, 0, 1, 0);
  b.F32(1).F32(2).F32(3).U16(0).U16(5).U32(0);
  ASSERT_GE(Open(b), 0);
  ASSERT_TRUE(ReadGroup());
  float x, y, z, nx = 7, ny = 7, nz = 7;
  int32_t bone;
  EXPECT_FALSE(reader_.ReadVertexNormal(nx, ny, nz));  // no current vertex yet
  EXPECT_EQ(nx, 7.0f);
  ASSERT_TRUE(reader_.ReadVertex(x, y, z, bone));
  EXPECT_FALSE(reader_.ReadVertexNormal(nx, ny, nz));
  EXPECT_EQ(nx, 0.0f);
  EXPECT_EQ(ny, 0.0f);
  EXPECT_EQ(nz, 0.0f);
  EXPECT_EQ(reader_.Offset(), reader_.ReadableSize());
}

TEST_F(MDL7RTest, ShortTrianglesKeepTheMaterialAndIndicesAreRangeChecked) {
  RecordSizes sizes;
  sizes.triangle = 12;
  ByteBuilder b = Header(0, 1, sizes);
  Group(b, 1, 0, 0, 0, 2, 3, 0);
  b.U16(0).U16(1).U16(2).U16(0).U16(0xFFFF).U16(1);
  b.U16(0).U16(3).U16(2).U16(1).U16(1).U16(1);
  for (int i = 0; i < 3; ++i) b.Fill(0, 26);
  ASSERT_GE(Open(b), 0);
  ASSERT_TRUE(ReadGroup());
  int32_t corners[3], uvs[3], material = 1234;
  ASSERT_TRUE(reader_.ReadTriangle(corners, uvs, material));
  EXPECT_EQ(material, 1234);
  EXPECT_EQ(uvs[1], -1);
  EXPECT_EQ(corners[2], 2);
  EXPECT_FALSE(reader_.ReadTriangle(corners, uvs, material));
  EXPECT_EQ(corners[1], 3);  // filled before the check
  EXPECT_EQ(reader_.Offset(), 48u + 44 + 24);
}

TEST_F(MDL7RTest, SkinDataFollowsTheSkinType) {
  ByteBuilder b = Header(0, 1);
  Group(b, 1, 0, 3, 0, 0, 0, 0);
  b.U8(6).Fill(0, 3).I32(100).I32(5).Text("embedded", 16).Fill(0xAB, 100);
  b.U8(0x09).Fill(0, 3).I32(16).I32(16).Text("empty", 16);  // format 1: no bytes per pixel
  b.U8(0x38).Fill(0, 3).I32(2).I32(2).Text("all", 16).Fill(1, 4 + 1).Fill(2, 68).I32(3).Fill(3, 3);
  ASSERT_GE(Open(b), 0);
  ASSERT_TRUE(ReadGroup());
  uint8_t type;
  char name[16];
  ASSERT_TRUE(reader_.ReadSkin(type, name));
  uint32_t before = reader_.Offset();
  EXPECT_TRUE(reader_.SkipSkinData());
  EXPECT_EQ(reader_.Offset(), before + 100);
  ASSERT_TRUE(reader_.ReadSkin(type, name));
  int32_t width, height, bytesPerPixel;
  uint8_t mip;
  ASSERT_TRUE(reader_.ReadSkinImage(width, height, bytesPerPixel, mip));
  EXPECT_EQ(bytesPerPixel, 0);
  EXPECT_EQ(mip, 1);
  before = reader_.Offset();
  EXPECT_TRUE(reader_.SkipSkinData());
  EXPECT_EQ(reader_.Offset(), before);
  // Mip levels of 4 + 1 + 0 + 0 bytes, a material, a 3-byte sized block.
  ASSERT_TRUE(reader_.ReadSkin(type, name));
  EXPECT_TRUE(reader_.SkipSkinData());
  EXPECT_EQ(reader_.Offset(), reader_.ReadableSize());
}

// Bits 0 to 2 of the skin type give the bytes per pixel (0 -> 1, 1 -> 0,
// 2 and 3 -> 2, 4 -> 3, 5 -> 4, 6 and 7 -> 1), bit 3 the mip flag.
TEST_F(MDL7RTest, SkinTypeBitsGiveBytesPerPixelAndMipFlag) {
  const int32_t bytesPerFormat[8] = {1, 0, 2, 2, 3, 4, 1, 1};
  ByteBuilder b = Header(0, 1);
  Group(b, 1, 0, 16, 0, 0, 0, 0);
  for (int type = 0; type < 16; ++type)
    b.U8(static_cast<uint8_t>(type)).Fill(0, 3).I32(0).I32(0).Text("t", 16);
  ASSERT_GE(Open(b), 0);
  ASSERT_TRUE(ReadGroup());
  for (int type = 0; type < 16; ++type) {
    uint8_t read = 0xFF;
    char name[16];
    ASSERT_TRUE(reader_.ReadSkin(read, name));
    int32_t width, height, bytesPerPixel;
    uint8_t mip;
    ASSERT_TRUE(reader_.ReadSkinImage(width, height, bytesPerPixel, mip));
    EXPECT_EQ(bytesPerPixel, bytesPerFormat[type & 7]) << "type " << type;
    EXPECT_EQ(mip, type >= 8 ? 1 : 0) << "type " << type;
  }
}

TEST_F(MDL7RTest, SkinImageCutByTheEndOfTheFileIsNeverReportedAsRead) {
  ByteBuilder b = Header(0, 1);
  Group(b, 1, 0, 1, 0, 0, 0, 0);
  b.U8(0).Fill(0, 3).I32(4).I32(4).Text("cut", 16).Fill(9, 8);
  ASSERT_GE(Open(b), 0);
  ASSERT_TRUE(ReadGroup());
  uint8_t type;
  char name[16];
  ASSERT_TRUE(reader_.ReadSkin(type, name));
  EXPECT_FALSE(reader_.TakeSkinImage(nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(reader_.Offset(), reader_.ReadableSize());
}

TEST_F(MDL7RTest, SizedBlocksNeverOverrunTheCallersBuffer) {
  ByteBuilder b = Header(0, 1);
  Group(b, 1, 0, 2, 0, 0, 0, 0);
  b.U8(0x20).Fill(0, 3).I32(0).I32(0).Text("block", 16).I32(6).Text("abcdef", 6);
  b.U8(0x20).Fill(0, 3).I32(0).I32(0).Text("negative", 16).I32(-4);
  ASSERT_GE(Open(b), 0);
  ASSERT_TRUE(ReadGroup());
  uint8_t type;
  char name[16];
  ASSERT_TRUE(reader_.ReadSkin(type, name));
  int32_t length = 0;
  uint8_t small[4] = {}, large[8] = {};
  EXPECT_FALSE(reader_.ReadSizedBlock(large, sizeof large));  // no length read yet
  ASSERT_TRUE(reader_.ReadSizedBlockLength(length));
  const uint32_t before = reader_.Offset();
  EXPECT_FALSE(reader_.ReadSizedBlock(small, sizeof small));
  EXPECT_EQ(reader_.Offset(), before);
  EXPECT_FALSE(reader_.ReadSizedBlock(nullptr, 100));
  ASSERT_TRUE(reader_.ReadSizedBlock(large, sizeof large));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(large), 6), "abcdef");
  ASSERT_TRUE(reader_.ReadSkin(type, name));
  EXPECT_FALSE(reader_.SkipSkinData());
}

TEST_F(MDL7RTest, ShortBoneRecordsHaveNoName) {
  RecordSizes sizes;
  sizes.bone = 16;
  ByteBuilder b = Header(1, 0, sizes);
  b.U16(3).U16(0).F32(1).F32(2).F32(3);
  ASSERT_GE(Open(b), 0);
  int32_t parent;
  float x, y, z;
  char name[20] = "stale";
  ASSERT_TRUE(reader_.ReadBone(parent, x, y, z, name));
  EXPECT_EQ(parent, 3);
  EXPECT_EQ(z, 3.0f);
  EXPECT_STREQ(name, "");
}

TEST_F(MDL7RTest, EmptyOrNegativeCountsReadNothing) {
  ByteBuilder b = Header(0, 1);
  Group(b, 1, 0, 0, -1, 0, 0, 0).Fill(0, 64);
  ASSERT_GE(Open(b), 0);
  int32_t parent;
  float f;
  char boneName[20];
  EXPECT_FALSE(reader_.ReadBone(parent, f, f, f, boneName));
  EXPECT_FALSE(reader_.SkipFrameData());
  ASSERT_TRUE(ReadGroup());
  const uint32_t before = reader_.Offset();
  uint8_t type;
  char name[16];
  int32_t n, corners[3], uvs[3];
  EXPECT_FALSE(reader_.ReadSkin(type, name));
  EXPECT_FALSE(reader_.ReadTexCoord(f, f));
  EXPECT_FALSE(reader_.ReadTriangle(corners, uvs, n));
  EXPECT_FALSE(reader_.ReadVertex(f, f, f, n));
  EXPECT_FALSE(reader_.ReadFrame(n, n, name));
  EXPECT_EQ(reader_.Offset(), before);
  EXPECT_FALSE(reader_.SkipTexCoords());
  EXPECT_FALSE(reader_.WalkGroup());
}

// A negative skin or frame count would make the walk's loop run no time at
// all, so the group would pass as complete: the walk refuses it instead,
// before it takes a byte of the records that follow.
TEST_F(MDL7RTest, NegativeSkinOrFrameCountFailsTheWalkWithoutReading) {
  ByteBuilder skins = Header(0, 1);
  Group(skins, 1, 44, -1, 0, 0, 0, 0).Fill(0, 64);
  ASSERT_GE(Open(skins), 0);
  ASSERT_TRUE(ReadGroup());
  EXPECT_FALSE(reader_.WalkSkins());
  EXPECT_EQ(reader_.Offset(), 48u + 44u);
  EXPECT_EQ(reader_.LastFailure().Text(), "malformed skin count at offset 72");
  EXPECT_FALSE(reader_.WalkGroup());
  EXPECT_EQ(reader_.Offset(), 48u + 44u);

  ByteBuilder frames = Header(0, 1);
  Group(frames, 1, 44, 0, 0, 0, 0, INT32_MIN).Fill(0, 64);
  ASSERT_GE(Open(frames), 0);
  ASSERT_TRUE(ReadGroup());
  EXPECT_FALSE(reader_.WalkFrames());
  EXPECT_EQ(reader_.Offset(), 48u + 44u);
  EXPECT_EQ(reader_.LastFailure().Text(), "malformed frame count at offset 88");
  EXPECT_FALSE(reader_.WalkGroup());
  EXPECT_EQ(reader_.Offset(), 48u + 44u);
}

TEST_F(MDL7RTest, OverflowingCountsFailWithoutReadingPastTheFile) {
  RecordSizes sizes;
  sizes.vertex = 0xFFFF;
  ByteBuilder b = Header(0x7FFFFFFF, 1, sizes);
  Group(b, 1, 0, 0x7FFFFFFF, 0, 0, 0x7FFFFFFF, 0);
  b.U8(0x05).Fill(0, 3).I32(0x40000000).I32(0x40000000).Text("huge", 16);
  ASSERT_GE(Open(b), 0);
  EXPECT_FALSE(reader_.SkipBones());
  ASSERT_TRUE(reader_.SeekTo(48));
  ASSERT_TRUE(ReadGroup());
  const uint32_t afterGroup = reader_.Offset();
  EXPECT_FALSE(reader_.SkipVertices());
  EXPECT_EQ(reader_.Offset(), reader_.ReadableSize());
  ASSERT_TRUE(reader_.SeekTo(afterGroup));
  EXPECT_FALSE(reader_.WalkSkins());
  ASSERT_TRUE(reader_.SeekTo(afterGroup));
  uint8_t type;
  char name[16];
  ASSERT_TRUE(reader_.ReadSkin(type, name));
  const uint8_t* level = nullptr;
  EXPECT_FALSE(reader_.TakeSkinImage(&level, nullptr, nullptr, nullptr));
  EXPECT_EQ(level, nullptr);
}

TEST_F(MDL7RTest, LumpsAreReadOnlyFromInsideThemAndSkippedToTheirEnd) {
  ByteBuilder b = Header(0, 0, RecordSizes(), 12 + 8, 8 + 4);
  b.I32(0);                               // 4 bytes of model data
  b.I32(1).I32(20).I32(1).I32(5).I32(0);  // lump header and one empty section
  b.I32(2).I32(12).I32(0);                // second lump: its record and 4 more bytes
  ASSERT_GE(Open(b, 52), 0);
  int32_t version, sections, first, second;
  EXPECT_FALSE(reader_.SkipLump());
  EXPECT_FALSE(reader_.ReadLumpHeader(version, sections));  // the cursor is before the lump
  EXPECT_EQ(reader_.Offset(), 48u);
  ASSERT_TRUE(reader_.SeekToLump());
  EXPECT_EQ(reader_.Offset(), 52u);
  ASSERT_TRUE(reader_.ReadLumpHeader(version, sections));
  EXPECT_EQ(version, 1);
  EXPECT_EQ(sections, 1);
  EXPECT_TRUE(reader_.SkipLump());
  EXPECT_EQ(reader_.Offset(), 72u);
  EXPECT_FALSE(reader_.ReadLumpHeader(version, sections));  // past the lump's end
  ASSERT_TRUE(reader_.SeekToSecondLump());
  EXPECT_EQ(reader_.Offset(), 72u);
  ASSERT_TRUE(reader_.ReadSecondLumpRecord(first, second));
  EXPECT_EQ(first, 2);
  EXPECT_EQ(second, 12);
  EXPECT_TRUE(reader_.SkipLump());
  EXPECT_EQ(reader_.Offset(), 84u);
  EXPECT_EQ(reader_.ReadableSize(), 84u);
}

TEST_F(MDL7RTest, LumpWhoseSizeFieldLeavesTheLumpCannotBeSkipped) {
  ByteBuilder b = Header(0, 0, RecordSizes(), 16);
  b.I32(1).I32(400).I32(0).I32(0);
  ASSERT_GE(Open(b, 48), 0);
  int32_t version, sections;
  ASSERT_TRUE(reader_.SeekToLump());
  ASSERT_TRUE(reader_.ReadLumpHeader(version, sections));
  EXPECT_FALSE(reader_.SkipLump());
  EXPECT_EQ(reader_.Offset(), 60u);
}

TEST_F(MDL7RTest, ClosingForgetsEveryRecord) {
  ByteBuilder b = Header(0, 1);
  Group(b, 1, 0, 0, 0, 0, 0, 0);
  ASSERT_GE(Open(b), 0);
  ASSERT_TRUE(ReadGroup());
  EXPECT_TRUE(reader_.Close());
  EXPECT_EQ(reader_.Header(), nullptr);
  EXPECT_FALSE(reader_.WalkGroup());
  EXPECT_FALSE(reader_.SkipBones());
  int32_t n;
  EXPECT_FALSE(reader_.ReadGroupCounts(n, n, n, n, n));
  EXPECT_FALSE(reader_.ReadHeaderCounts(n, n, n, n, n));
  EXPECT_EQ(reader_.TotalDeformerCount(), 0);
  EXPECT_EQ(reader_.FormatCode(), 8);
}

TEST_F(MDL7RTest, FailedOpenLeavesNoStateBehind) {
  ByteBuilder b = Header(0, 1);
  Group(b, 1, 0, 0, 0, 0, 0, 0);
  b.PatchU32(48, 0x00070501);  // type 1, 5 deformers, maximum 7
  ASSERT_GE(Open(b), 0);
  ASSERT_TRUE(ReadGroup());
  EXPECT_EQ(reader_.TotalDeformerCount(), 5);
  EXPECT_EQ(reader_.DeformerMaximum(), 7);
  platform::FileFaultInjector::FailCall(platform::FileFaultInjector::Operation::kRead, 1);
  EXPECT_EQ(Open(b), -1);
  EXPECT_EQ(reader_.Header(), nullptr);
  EXPECT_EQ(reader_.Buffer(), nullptr);
  EXPECT_EQ(reader_.TotalDeformerCount(), 0);
  EXPECT_EQ(reader_.DeformerMaximum(), 0);
  EXPECT_FALSE(reader_.WalkGroup());
  EXPECT_FALSE(reader_.SkipDeformer());
  int32_t n;
  EXPECT_FALSE(reader_.ReadGroupCounts(n, n, n, n, n));
}

}  // namespace
