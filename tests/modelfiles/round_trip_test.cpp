// A model written by MDL7W and read back record by record by MDL7R.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "modelfiles/mdl7r.h"
#include "modelfiles/mdl7w.h"
#include "support/byte_builder.h"
#include "support/temp_dir_fixture.h"

namespace {

using modelfiles::MDL7R;
using modelfiles::MDL7W;

struct Vertex {
  float x, y, z;
  uint16_t bone;
  float nx, ny, nz;
};

const Vertex kHullVertices[3] = {
    {1.5f, -2.0f, 3.25f, 0, 0.0f, 0.0f, 1.0f},
    {-4.0f, 5.5f, 0.125f, 1, 1.0f, 0.0f, 0.0f},
    {7.0f, 8.0f, -9.0f, MDL7W::kNoBone, 0.0f, -1.0f, 0.0f},
};
const float kColors[4][4] = {{0.1f, 0.2f, 0.3f, 1.0f}, {0.4f, 0.5f, 0.6f, 0.5f}, {1, 1, 1, 1}, {0, 0, 0, 0}};
const uint8_t kBlock[5] = {'h', 'e', 'l', 'l', 'o'};

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + 7 * i);
  return bytes;
}

void Matrix(uint8_t seed, uint8_t (&matrix)[64]) {
  for (int i = 0; i < 64; ++i) matrix[i] = static_cast<uint8_t>(seed + i);
}

class RoundTripTest : public testsupport::TempDirFixture {
 protected:
  void SetUp() override { path_ = temp_.File("round.mdl"); }

  void WriteModel() {
    MDL7W w;
    ASSERT_GE(w.Open(path_.c_str()), 0);
    ASSERT_TRUE(w.AddBone(MDL7W::kNoBone, 0.5f, 1.5f, 2.5f, "pelvis"));
    ASSERT_TRUE(w.AddBone(0, -1.0f, -2.0f, -3.0f, "spine"));
    ASSERT_TRUE(w.BeginGroup("hull"));
    ASSERT_NO_FATAL_FAILURE(WriteHullSkins(w));
    ASSERT_NO_FATAL_FAILURE(WriteHullBody(w));
    ASSERT_TRUE(w.BeginGroup("tail"));
    ASSERT_TRUE(w.AddTexCoord(0.75f, 0.75f));
    ASSERT_TRUE(w.AddTriangle(0, 1, 2, 0, 0, 0, 0));
    for (const Vertex& v : kHullVertices) ASSERT_TRUE(w.AddVertex(v.x, v.y, v.z, v.bone, v.nx, v.ny, v.nz));
    ASSERT_TRUE(w.SetGroupDeformers(1, 2));
    ASSERT_NO_FATAL_FAILURE(WriteDeformersAndLump(w));
    ASSERT_TRUE(w.Close());
  }

  // The hull's four skins: with mip levels, with a material, with a sized
  // block, and of the embedded type.
  void WriteHullSkins(MDL7W& w) {
    // 8 x 4 at 2 bytes per pixel with mip levels: 64, 16, 4 and 0 bytes.
    ASSERT_TRUE(w.BeginSkin(0x0A, "mipped"));
    w.SetSkinImage(8, 4, 2, true);
    ASSERT_TRUE(w.WriteSkinImage(mip0_.data(), mip1_.data(), mip2_.data(), mip3_.data()));
    ASSERT_TRUE(w.FinishSkin());
    ASSERT_TRUE(w.BeginSkin(0x15, "material"));
    w.SetSkinImage(2, 2, 4, false);
    ASSERT_TRUE(w.WriteSkinImage(rgba_.data(), nullptr, nullptr, nullptr));
    ASSERT_TRUE(w.WriteMaterial(kColors, 12.5f));
    ASSERT_TRUE(w.FinishSkin());
    ASSERT_TRUE(w.BeginSkin(0x20, "block"));
    w.SetSkinImage(3, 1, 1, false);
    ASSERT_TRUE(w.WriteSkinImage(grey_.data(), nullptr, nullptr, nullptr));
    ASSERT_TRUE(w.WriteSizedBlock(5, kBlock));
    ASSERT_TRUE(w.FinishSkin());
    ASSERT_TRUE(w.BeginSkin(6, "embedded"));
    w.SetSkinImage(10, 1, 1, false);
    ASSERT_TRUE(w.WriteSkinImage(embedded_.data(), nullptr, nullptr, nullptr));
    ASSERT_TRUE(w.FinishSkin());
  }

  // The hull's texture coordinates, triangles, vertices, two frames and
  // deformer counts.
  void WriteHullBody(MDL7W& w) {
    ASSERT_TRUE(w.AddTexCoord(0.0f, 1.0f));
    ASSERT_TRUE(w.AddTexCoord(0.5f, 0.25f));
    ASSERT_TRUE(w.AddTriangle(0, 1, 2, 0, 1, 0xFFFF, 3));
    ASSERT_TRUE(w.AddTriangle(2, 1, 0, 1, 1, 1, -1));
    for (const Vertex& v : kHullVertices) ASSERT_TRUE(w.AddVertex(v.x, v.y, v.z, v.bone, v.nx, v.ny, v.nz));
    ASSERT_TRUE(w.BeginFrame("bend"));
    ASSERT_TRUE(w.AddFrameVertex(2, 1.0f, 2.0f, 3.0f, 0.0f, 1.0f, 0.0f));
    ASSERT_TRUE(w.AddFrameVertex(0xFFFF, 4.0f, 5.0f, 6.0f, 0.0f, 0.0f, -1.0f));
    uint8_t matrix[64];
    Matrix(40, matrix);
    ASSERT_TRUE(w.AddBoneTransform(1, matrix));
    ASSERT_TRUE(w.FinishFrame());
    ASSERT_TRUE(w.BeginFrame("rest"));
    ASSERT_TRUE(w.FinishFrame());
    ASSERT_TRUE(w.SetGroupDeformers(1, 3));
  }

  // A deformer for each group, then a lump of one section with two lists.
  void WriteDeformersAndLump(MDL7W& w) {
    for (int32_t group = 0; group < 2; ++group) {
      ASSERT_TRUE(w.BeginDeformer(static_cast<uint8_t>(group + 1), group));
      ASSERT_TRUE(w.BeginDeformerElement(5 + group, "joint"));
      ASSERT_TRUE(w.AddDeformerWeight(0, 0.75f));
      ASSERT_TRUE(w.AddDeformerWeight(2, 0.25f));
      ASSERT_TRUE(w.FinishDeformerElement());
      ASSERT_TRUE(w.FinishDeformer());
    }

    ASSERT_TRUE(w.BeginLump());
    ASSERT_TRUE(w.BeginLumpSection(100));
    ASSERT_TRUE(w.BeginLumpList(200));
    ASSERT_TRUE(w.AddLumpTriangle(9, 8, 7, 6, 5, 0xFFFF, 42));
    ASSERT_TRUE(w.FinishLumpList());
    ASSERT_TRUE(w.BeginLumpList(201));
    ASSERT_TRUE(w.FinishLumpList());
    ASSERT_TRUE(w.FinishLumpSection());
    ASSERT_TRUE(w.FinishLump());
  }

  void ExpectVertices(MDL7R& r) {
    for (const Vertex& v : kHullVertices) {
      float x = 0, y = 0, z = 0, nx = 0, ny = 0, nz = 0;
      int32_t bone = 0;
      ASSERT_TRUE(r.ReadVertex(x, y, z, bone));
      EXPECT_EQ(x, v.x);
      EXPECT_EQ(y, v.y);
      EXPECT_EQ(z, v.z);
      EXPECT_EQ(bone, v.bone == MDL7W::kNoBone ? -1 : v.bone);
      ASSERT_TRUE(r.ReadVertexNormal(nx, ny, nz));
      EXPECT_EQ(nx, v.nx);
      EXPECT_EQ(ny, v.ny);
      EXPECT_EQ(nz, v.nz);
    }
  }

  // The header's counts and sizes, then both bones.
  void ExpectHeaderAndBones(MDL7R& r) {
    int32_t bones, groups, lumpSize, secondLumpSize;
    ASSERT_TRUE(r.ReadHeaderCounts(bones, groups, dataSize_, lumpSize, secondLumpSize));
    EXPECT_EQ(bones, 2);
    EXPECT_EQ(groups, 2);
    EXPECT_EQ(lumpSize, 12 + 8 + 8 + 16 + 8);
    EXPECT_EQ(secondLumpSize, 0);
    EXPECT_EQ(static_cast<uint32_t>(dataSize_ + lumpSize), fileSize_);
    EXPECT_EQ(r.ReadableSize(), fileSize_);

    int32_t parent;
    float x, y, z;
    char boneName[20];
    ASSERT_TRUE(r.ReadBone(parent, x, y, z, boneName));
    EXPECT_EQ(parent, -1);
    EXPECT_EQ(x, 0.5f);
    EXPECT_EQ(z, 2.5f);
    EXPECT_STREQ(boneName, "pelvis");
    ASSERT_TRUE(r.ReadBone(parent, x, y, z, boneName));
    EXPECT_EQ(parent, 0);
    EXPECT_EQ(y, -2.0f);
    EXPECT_STREQ(boneName, "spine");
  }

  // The first group's record and counts, then its skin with mip levels and
  // its skin with a material.
  void ExpectFirstGroupSkins(MDL7R& r) {
    // Group 0.
    uint8_t type;
    char name[16];
    ASSERT_TRUE(r.ReadGroup(type, groupDataSize_, name));
    bodyStart_ = r.Offset();
    EXPECT_EQ(type, 1);
    EXPECT_STREQ(name, "hull");
    int32_t skins, texCoords, triangles, vertices, frames;
    ASSERT_TRUE(r.ReadGroupCounts(skins, texCoords, triangles, vertices, frames));
    EXPECT_EQ(skins, 4);
    EXPECT_EQ(texCoords, 2);
    EXPECT_EQ(triangles, 2);
    EXPECT_EQ(vertices, 3);
    EXPECT_EQ(frames, 2);

    int32_t width, height, bytesPerPixel;
    uint8_t mip;
    const uint8_t* levels[4] = {};
    ASSERT_TRUE(r.ReadSkin(type, name));
    EXPECT_EQ(type, 0x0A);
    EXPECT_STREQ(name, "mipped");
    ASSERT_TRUE(r.ReadSkinImage(width, height, bytesPerPixel, mip));
    EXPECT_EQ(width, 8);
    EXPECT_EQ(height, 4);
    EXPECT_EQ(bytesPerPixel, 2);
    EXPECT_EQ(mip, 1);
    ASSERT_TRUE(r.TakeSkinImage(&levels[0], &levels[1], &levels[2], &levels[3]));
    EXPECT_EQ(std::vector<uint8_t>(levels[0], levels[0] + 64), mip0_);
    EXPECT_EQ(std::vector<uint8_t>(levels[1], levels[1] + 16), mip1_);
    EXPECT_EQ(std::vector<uint8_t>(levels[2], levels[2] + 4), mip2_);
    EXPECT_EQ(levels[3], levels[2] + 4);  // level 3 of a 1 x 0 image is empty

    ASSERT_TRUE(r.ReadSkin(type, name));
    EXPECT_EQ(type, 0x15);
    ASSERT_TRUE(r.ReadSkinImage(width, height, bytesPerPixel, mip));
    EXPECT_EQ(bytesPerPixel, 4);
    EXPECT_EQ(mip, 0);
    ASSERT_TRUE(r.TakeSkinImage(&levels[0], nullptr, nullptr, nullptr));
    EXPECT_EQ(std::vector<uint8_t>(levels[0], levels[0] + 16), rgba_);
    float colors[4][4] = {};
    float value = 0;
    ASSERT_TRUE(r.ReadMaterial(colors, value));
    EXPECT_EQ(std::memcmp(colors, kColors, sizeof colors), 0);
    EXPECT_EQ(value, 12.5f);
    int32_t length = 0;
    EXPECT_FALSE(r.ReadSizedBlockLength(length));  // no bit 5 on this skin
  }

  // The skin with a sized block, and the embedded one, skipped.
  void ExpectLastSkins(MDL7R& r) {
    uint8_t type, mip;
    char name[16];
    int32_t width, height, bytesPerPixel, length = 0;
    const uint8_t* levels[4] = {};
    float colors[4][4] = {};
    float value = 0;
    ASSERT_TRUE(r.ReadSkin(type, name));
    EXPECT_STREQ(name, "block");
    ASSERT_TRUE(r.ReadSkinImage(width, height, bytesPerPixel, mip));
    ASSERT_TRUE(r.TakeSkinImage(&levels[0], nullptr, nullptr, nullptr));
    EXPECT_EQ(std::vector<uint8_t>(levels[0], levels[0] + 3), grey_);
    EXPECT_FALSE(r.ReadMaterial(colors, value));  // no bit 4
    ASSERT_TRUE(r.ReadSizedBlockLength(length));
    EXPECT_EQ(length, 5);
    uint8_t block[8] = {};
    ASSERT_TRUE(r.ReadSizedBlock(block, sizeof block));
    EXPECT_EQ(std::memcmp(block, kBlock, 5), 0);

    ASSERT_TRUE(r.ReadSkin(type, name));
    EXPECT_EQ(type, 6);
    const uint32_t embeddedStart = r.Offset();
    ASSERT_TRUE(r.SkipSkinData());
    EXPECT_EQ(r.Offset(), embeddedStart + 10);
  }

  // Its texture coordinates, triangles and vertices.
  void ExpectFirstGroupGeometry(MDL7R& r) {
    int32_t corners[3], uvs[3], material = 99;
    float s, t;
    ASSERT_TRUE(r.ReadTexCoord(s, t));
    EXPECT_EQ(s, 0.0f);
    EXPECT_EQ(t, 1.0f);
    ASSERT_TRUE(r.ReadTexCoord(s, t));
    EXPECT_EQ(s, 0.5f);
    EXPECT_EQ(t, 0.25f);

    ASSERT_TRUE(r.ReadTriangle(corners, uvs, material));
    EXPECT_EQ(corners[0], 0);
    EXPECT_EQ(corners[2], 2);
    EXPECT_EQ(uvs[1], 1);
    EXPECT_EQ(uvs[2], -1);
    EXPECT_EQ(material, 3);
    ASSERT_TRUE(r.ReadTriangle(corners, uvs, material));
    EXPECT_EQ(corners[0], 2);
    EXPECT_EQ(material, -1);

    ASSERT_NO_FATAL_FAILURE(ExpectVertices(r));
  }

  // Its two frames, and the group's data size against the body walked.
  void ExpectFirstGroupFrames(MDL7R& r) {
    int32_t frameVertices, transforms;
    char name[16];
    ASSERT_TRUE(r.ReadFrame(frameVertices, transforms, name));
    EXPECT_STREQ(name, "bend");
    EXPECT_EQ(frameVertices, 2);
    EXPECT_EQ(transforms, 1);
    int32_t replaced;
    float x, y, z, nx, ny, nz;
    ASSERT_TRUE(r.ReadFrameVertex(replaced, x, y, z));
    EXPECT_EQ(replaced, 2);
    EXPECT_EQ(z, 3.0f);
    ASSERT_TRUE(r.ReadFrameVertexNormal(nx, ny, nz));
    EXPECT_EQ(ny, 1.0f);
    ASSERT_TRUE(r.ReadFrameVertex(replaced, x, y, z));
    EXPECT_EQ(replaced, -1);
    EXPECT_EQ(x, 4.0f);
    ASSERT_TRUE(r.ReadFrameVertexNormal(nx, ny, nz));
    EXPECT_EQ(nz, -1.0f);
    int32_t bone;
    uint8_t matrix[64], expectedMatrix[64];
    Matrix(40, expectedMatrix);
    ASSERT_TRUE(r.ReadBoneTransform(bone, matrix));
    EXPECT_EQ(bone, 1);
    EXPECT_EQ(std::memcmp(matrix, expectedMatrix, 64), 0);
    ASSERT_TRUE(r.ReadFrame(frameVertices, transforms, name));
    EXPECT_STREQ(name, "rest");
    EXPECT_EQ(frameVertices, 0);
    EXPECT_FALSE(r.ReadFrameVertex(replaced, x, y, z));
    const uint32_t bodyEnd = r.Offset();
    // The group's data size covers its record and the whole body, the sized
    // block of 4 + 5 bytes included, and the walk passes over exactly the
    // body that was read.
    EXPECT_EQ(bodyEnd - bodyStart_ + modelfiles::mdl7::kGroupSize, static_cast<uint32_t>(groupDataSize_));
    ASSERT_TRUE(r.SeekTo(bodyStart_));
    EXPECT_TRUE(r.WalkGroup());
    EXPECT_EQ(r.Offset(), bodyEnd);
  }

  // The second group walked at once, then the deformers: the first read record by record, the second skipped.
  void ExpectTailAndDeformers(MDL7R& r) {
    // Group 1, walked at once.
    uint8_t type;
    int32_t groupDataSize;
    char name[16];
    ASSERT_TRUE(r.ReadGroup(type, groupDataSize, name));
    EXPECT_STREQ(name, "tail");
    EXPECT_EQ(groupDataSize, 44 + 8 + 16 + 3 * 26);
    EXPECT_TRUE(r.WalkGroup());
    EXPECT_EQ(r.TotalDeformerCount(), 2);
    EXPECT_EQ(r.DeformerMaximum(), 3);

    // Deformers: the first read record by record, the second skipped.
    const uint32_t deformersStart = r.Offset();
    int32_t groupIndex, elements, deformerSize;
    ASSERT_TRUE(r.ReadDeformer(type, groupIndex, elements, &deformerSize));
    EXPECT_EQ(type, 1);
    EXPECT_EQ(groupIndex, 0);
    EXPECT_EQ(elements, 1);
    EXPECT_EQ(deformerSize, 16 + 28 + 2 * 8);
    int32_t elementIndex, weights;
    char elementName[20];
    ASSERT_TRUE(r.ReadDeformerElement(elementIndex, &elementName, weights));
    EXPECT_EQ(elementIndex, 5);
    EXPECT_STREQ(elementName, "joint");
    EXPECT_EQ(weights, 2);
    int32_t weightIndex;
    float weight;
    ASSERT_TRUE(r.ReadDeformerWeight(weightIndex, weight));
    EXPECT_EQ(weightIndex, 0);
    EXPECT_EQ(weight, 0.75f);
    ASSERT_TRUE(r.ReadDeformerWeight(weightIndex, weight));
    EXPECT_EQ(weightIndex, 2);
    EXPECT_EQ(weight, 0.25f);
    EXPECT_TRUE(r.SkipDeformer());
    EXPECT_EQ(r.Offset(), static_cast<uint32_t>(dataSize_));
    ASSERT_TRUE(r.SeekTo(deformersStart));
    EXPECT_TRUE(r.SkipDeformers());
    EXPECT_EQ(r.Offset(), static_cast<uint32_t>(dataSize_));
  }

  // The triangle lump, read and skipped.
  void ExpectLump(MDL7R& r) {
    // The triangle lump.
    int32_t version, sections, id, count, corners[3], uvs[3], material = 0;
    ASSERT_TRUE(r.SeekToLump());
    ASSERT_TRUE(r.ReadLumpHeader(version, sections));
    EXPECT_EQ(version, 1);
    EXPECT_EQ(sections, 1);
    ASSERT_TRUE(r.ReadLumpSection(id, count));
    EXPECT_EQ(id, 100);
    EXPECT_EQ(count, 2);
    ASSERT_TRUE(r.ReadLumpList(id, count));
    EXPECT_EQ(id, 200);
    EXPECT_EQ(count, 1);
    ASSERT_TRUE(r.ReadLumpTriangle(corners, uvs, material));
    EXPECT_EQ(corners[0], 9);
    EXPECT_EQ(uvs[2], -1);
    EXPECT_EQ(material, 42);
    ASSERT_TRUE(r.ReadLumpList(id, count));
    EXPECT_EQ(id, 201);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(r.Offset(), fileSize_);
    ASSERT_TRUE(r.SeekToLump());
    ASSERT_TRUE(r.ReadLumpHeader(version, sections));
    EXPECT_TRUE(r.SkipLump());
    EXPECT_EQ(r.Offset(), fileSize_);
    EXPECT_FALSE(r.SeekToSecondLump());
  }

  std::string path_;
  // What the reading learns on its way: the file's and data's sizes, and
  // where the first group's body starts and how much its record counts.
  uint32_t fileSize_ = 0;
  int32_t dataSize_ = 0;
  uint32_t bodyStart_ = 0;
  int32_t groupDataSize_ = 0;
  std::vector<uint8_t> mip0_ = Pattern(64, 1), mip1_ = Pattern(16, 2), mip2_ = Pattern(4, 3);
  // Level 3 of an 8 x 4 image is empty, but its buffer must still be given.
  std::vector<uint8_t> mip3_ = Pattern(1, 0);
  std::vector<uint8_t> rgba_ = Pattern(16, 4), grey_ = Pattern(3, 5), embedded_ = Pattern(10, 6);
};

TEST_F(RoundTripTest, EveryRecordReadsBackAsWritten) {
  ASSERT_NO_FATAL_FAILURE(WriteModel());
  MDL7R r;
  ASSERT_GE(r.Open(path_.c_str()), 0);
  fileSize_ = static_cast<uint32_t>(testsupport::ReadFileBytes(path_).size());
  ASSERT_NO_FATAL_FAILURE(ExpectHeaderAndBones(r));
  ASSERT_NO_FATAL_FAILURE(ExpectFirstGroupSkins(r));
  ASSERT_NO_FATAL_FAILURE(ExpectLastSkins(r));
  ASSERT_NO_FATAL_FAILURE(ExpectFirstGroupGeometry(r));
  ASSERT_NO_FATAL_FAILURE(ExpectFirstGroupFrames(r));
  ASSERT_NO_FATAL_FAILURE(ExpectTailAndDeformers(r));
  ASSERT_NO_FATAL_FAILURE(ExpectLump(r));
}

TEST_F(RoundTripTest, WholeModelWalksGroupByGroup) {
  ASSERT_NO_FATAL_FAILURE(WriteModel());
  MDL7R r;
  ASSERT_GE(r.Open(path_.c_str()), 0);
  ASSERT_TRUE(r.SkipBones());
  uint8_t type;
  int32_t size;
  char name[16];
  for (int group = 0; group < 2; ++group) {
    ASSERT_TRUE(r.ReadGroup(type, size, name));
    ASSERT_TRUE(r.WalkGroup()) << "group " << group;
  }
  ASSERT_TRUE(r.SkipDeformers());
  int32_t bones, groups, dataSize, lumpSize, secondLumpSize;
  ASSERT_TRUE(r.ReadHeaderCounts(bones, groups, dataSize, lumpSize, secondLumpSize));
  EXPECT_EQ(r.Offset(), static_cast<uint32_t>(dataSize));
}

// Every prefix of a valid model is read up to its end and fails cleanly.
TEST_F(RoundTripTest, EveryTruncationFailsCleanly) {
  ASSERT_NO_FATAL_FAILURE(WriteModel());
  const std::vector<uint8_t> whole = testsupport::ReadFileBytes(path_);
  const std::string cut = temp_.File("cut.mdl");
  for (size_t length = 0; length < whole.size(); ++length) {
    ASSERT_TRUE(
        testsupport::WriteFileBytes(cut, std::vector<uint8_t>(whole.begin(), whole.begin() + length)));
    MDL7R r;
    if (r.Open(cut.c_str()) < 0) {
      EXPECT_LT(length, 48u);
      continue;
    }
    EXPECT_EQ(r.ReadableSize(), length);
    bool complete = r.SkipBones();
    uint8_t type;
    int32_t size;
    char name[16];
    for (int group = 0; complete && group < 2; ++group)
      complete = r.ReadGroup(type, size, name) && r.WalkGroup();
    complete = complete && r.SkipDeformers() && r.SeekToLump();
    int32_t version, sections;
    complete = complete && r.ReadLumpHeader(version, sections) && r.SkipLump();
    EXPECT_FALSE(complete) << "length " << length;
    EXPECT_LE(r.Offset(), length);
  }
}

}  // namespace
