#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "modelfiles/idp2r.h"
#include "modelfiles/mdl2r.h"
#include "modelfiles/mdl3r.h"
#include "modelfiles/mdl4r.h"
#include "modelfiles/mdl5r.h"
#include "modelfiles/mdl6r.h"
#include "platform/file_fault_injector.h"
#include "support/byte_builder.h"
#include "support/temp_dir_fixture.h"

namespace {

using modelfiles::IDP2R;
using modelfiles::LegacyModelReader;
using modelfiles::MDL2R;
using modelfiles::MDL3R;
using modelfiles::MDL4R;
using modelfiles::MDL5R;
using modelfiles::MDL6R;
using testsupport::ByteBuilder;

struct Counts {
  int32_t skins = 0, width = 0, height = 0, vertices = 0, triangles = 0, frames = 0, texCoords = 0;
};

// The 84-byte header of IDPO, MDL2 and MDL3 to MDL6; unread fields are
// filled with a marker so that no reader may depend on them.
ByteBuilder Header84(const std::string& magic, const Counts& c) {
  ByteBuilder b;
  b.Text(magic, 4).Fill(0x5C, 44);
  b.I32(c.skins).I32(c.width).I32(c.height).I32(c.vertices).I32(c.triangles).I32(c.frames).I32(c.texCoords);
  b.I32(0).I32(0);
  return b;
}

// The 68-byte IDP2 header, offsets left zero.
ByteBuilder Header68(const Counts& c) {
  ByteBuilder b;
  b.Text("IDP2", 4).I32(8).I32(c.width).I32(c.height).I32(40 + 4 * c.vertices);
  b.I32(c.skins).I32(c.vertices).I32(c.texCoords).I32(c.triangles).I32(0).I32(c.frames);
  b.Fill(0, 24);
  return b;
}

// A small IDPO body: one 2 x 2 skin of type 0, three vertices (hence three
// texture coordinates of 12 bytes), one triangle and one frame whose vertex
// normals are 161, 162 and 255.
ByteBuilder SmallIdpo(const std::string& magic) {
  Counts c;
  c.skins = 1;
  c.width = 2;
  c.height = 2;
  c.vertices = 3;
  c.triangles = 1;
  c.frames = 1;
  ByteBuilder b = Header84(magic, c);
  b.I32(0).U8(10).U8(11).U8(12).U8(13);
  b.I32(0).I32(0x00010005).I32(0x7FFF0006);
  b.I32(1).I32(7).I32(8);
  b.I32(0).I32(-2).I32(3);
  b.I32(1).I32(0).I32(1).I32(2);
  b.I32(0).U8(1).U8(2).U8(3).U8(0).U8(200).U8(201).U8(202).U8(0).Text("stand", 16);
  b.U8(1).U8(2).U8(3).U8(161).U8(4).U8(5).U8(6).U8(162).U8(7).U8(8).U8(9).U8(255);
  return b;
}

class LegacyReaderTest : public testsupport::TempDirFixture {
 protected:
  int32_t Open(LegacyModelReader& reader, const ByteBuilder& b, const std::string& name = "model.mdl") {
    const std::string path = temp_.File(name);
    EXPECT_TRUE(testsupport::WriteFileBytes(path, b.Data()));
    return reader.Open(path.c_str());
  }

  // Reads the whole small model and returns every value in order.
  std::vector<int32_t> ReadSmallModel(LegacyModelReader& r) {
    std::vector<int32_t> out;
    uint8_t type = 9, mip = 9;
    int32_t width = 0, height = 0, bpp = 0;
    const uint8_t* image = nullptr;
    EXPECT_TRUE(r.ReadSkin(&type, &width, &height, &bpp, &mip));
    EXPECT_TRUE(r.TakeSkinImage(&image, nullptr, nullptr, nullptr));
    out.insert(out.end(), {type, width, height, bpp, mip, image != nullptr ? image[3] : -1});
    for (int i = 0; i < r.TexCoordCount(); ++i) {
      int16_t s = 0, t = 0;
      EXPECT_TRUE(r.ReadTexCoord(&s, &t));
      out.insert(out.end(), {s, t});
    }
    int32_t corners[3], uvs[3];
    EXPECT_TRUE(r.ReadTriangle(&corners, &uvs));
    out.insert(out.end(), {corners[0], corners[1], corners[2], uvs[0], uvs[1], uvs[2]});
    char name[16];
    uint16_t low[3], high[3];
    EXPECT_TRUE(r.ReadFrame(&name, &low, &high, nullptr, nullptr));
    out.insert(out.end(), {low[0], low[2], high[0], high[2], name[0], name[4], name[5]});
    for (int i = 0; i < r.VertexCount(); ++i) {
      uint16_t position[3];
      int32_t normal = -5;
      EXPECT_TRUE(r.ReadFrameVertex(&position, &normal));
      out.insert(out.end(), {position[0], position[2], normal});
    }
    return out;
  }
};

TEST_F(LegacyReaderTest, HeaderMustBeCompleteAndEmptyModelsWalk) {
  ByteBuilder short83;
  short83.Text("MDL3", 4).Fill(0, 79);
  MDL3R reader;
  EXPECT_EQ(Open(reader, short83), -1);
  EXPECT_EQ(reader.SkinCount(), 0);
  ByteBuilder empty = Header84("MDL3", Counts());
  ASSERT_GE(Open(reader, empty), 0);
  EXPECT_TRUE(reader.WalkGroup());
  EXPECT_EQ(reader.Offset(), 84u);
  // Wrong magic for the class.
  MDL2R other;
  EXPECT_EQ(Open(other, empty), -1);
}

TEST_F(LegacyReaderTest, Mdl2IsReadExactlyLikeIdpo) {
  MDL2R idpo, mdl2;
  ASSERT_GE(Open(idpo, SmallIdpo("IDPO"), "a.mdl"), 0);
  ASSERT_GE(Open(mdl2, SmallIdpo("MDL2"), "b.mdl"), 0);
  EXPECT_EQ(idpo.FormatCode(), 1);
  const std::vector<int32_t> values = ReadSmallModel(idpo);
  EXPECT_EQ(values, ReadSmallModel(mdl2));
  const std::vector<int32_t> expected = {0, 2, 2,   1,   0,   13,         // skin
                                         5, 6, 7,   8,   -2,  3,          // texture coordinates (low 16 bits)
                                         0, 1, 2,   -1,  -1,  -1,         // triangle
                                         1, 3, 200, 202, 's', 'd', '\0',  // frame
                                         1, 3, 161, 4,   6,   0,   7,    9, 0};  // frame vertices and normals
  EXPECT_EQ(values, expected);
  EXPECT_EQ(idpo.Offset(), idpo.ReadableSize());
  ASSERT_TRUE(idpo.SeekTo(84));
  EXPECT_TRUE(idpo.WalkGroup());
  EXPECT_EQ(idpo.Offset(), idpo.ReadableSize());
  float x = 3, y = 3, z = 3;
  EXPECT_FALSE(idpo.ReadVertexNormal(x, y, z));
  EXPECT_EQ(x, 3);
  EXPECT_TRUE(idpo.SkipBones());
  EXPECT_TRUE(idpo.SkipVertices());
  const uint8_t* header = nullptr;
  EXPECT_TRUE(idpo.GetHeader(&header));
  EXPECT_EQ(header, idpo.Buffer());
}

TEST_F(LegacyReaderTest, SkinTypeTablesOfTheFamily) {
  // Bytes per pixel for type bits 0 to 2; -1 where the type is refused.
  const int32_t narrow[8] = {1, -1, 2, 2, -1, -1, -1, -1};
  const int32_t wide[8] = {1, -1, 2, 2, 3, 4, 0, -1};
  for (int type = 0; type < 16; ++type) {
    Counts c;
    c.skins = 1;
    const ByteBuilder narrowFile = [&] {
      ByteBuilder b = Header84("MDL4", c);
      return b.I32(type);
    }();
    const ByteBuilder wideFile = [&] {
      ByteBuilder b = Header84("MDL6", c);
      return b.I32(type).I32(0).I32(0);
    }();
    MDL4R mdl4;
    MDL6R mdl6;
    ASSERT_GE(Open(mdl4, narrowFile, "narrow.mdl"), 0);
    ASSERT_GE(Open(mdl6, wideFile, "wide.mdl"), 0);
    struct Case {
      LegacyModelReader* reader;
      int32_t expected;
    } cases[] = {{&mdl4, narrow[type & 7]}, {&mdl6, wide[type & 7]}};
    for (const Case& k : cases) {
      int32_t bpp = 77;
      uint8_t mip = 77;
      const bool accepted = k.reader->ReadSkin(nullptr, nullptr, nullptr, &bpp, &mip);
      EXPECT_EQ(accepted, k.expected >= 0) << "type " << type << " format " << k.reader->FormatCode();
      if (accepted) {
        EXPECT_EQ(bpp, k.expected) << "type " << type;
        EXPECT_EQ(mip, type >= 8 ? 1 : 0) << "type " << type;
      }
    }
  }
}

TEST_F(LegacyReaderTest, Mdl5SkinsCarryTheirSizeAndMipLevels) {
  Counts c;
  c.skins = 2;
  ByteBuilder b = Header84("MDL5", c);
  b.I32(0x08).I32(16).I32(16).Fill(1, 256).Fill(2, 64).Fill(3, 16).Fill(4, 4);
  b.I32(4).I32(2).I32(1).Fill(5, 6);
  MDL5R reader;
  ASSERT_GE(Open(reader, b), 0);
  EXPECT_EQ(reader.FormatCode(), 6);
  uint8_t type, mip;
  int32_t width, height, bpp;
  ASSERT_TRUE(reader.ReadSkin(&type, &width, &height, &bpp, &mip));
  EXPECT_EQ(width, 16);
  EXPECT_EQ(height, 16);
  EXPECT_EQ(bpp, 1);
  EXPECT_EQ(mip, 1);
  const uint8_t* levels[4] = {};
  ASSERT_TRUE(reader.TakeSkinImage(&levels[0], &levels[1], &levels[2], &levels[3]));
  EXPECT_EQ(levels[0], reader.Buffer() + 96);
  EXPECT_EQ(levels[1], levels[0] + 256);
  EXPECT_EQ(levels[2], levels[1] + 64);
  EXPECT_EQ(levels[3], levels[2] + 16);
  EXPECT_EQ(*levels[3], 4);
  EXPECT_EQ(reader.Offset(), 96u + 256 + 64 + 16 + 4);
  ASSERT_TRUE(reader.ReadSkin(&type, &width, &height, &bpp, &mip));
  EXPECT_EQ(bpp, 3);
  EXPECT_TRUE(reader.SkipSkinData());
  EXPECT_EQ(reader.Offset(), reader.ReadableSize());
  ASSERT_TRUE(reader.SeekTo(84));
  EXPECT_TRUE(reader.WalkGroup());
  // The same type 4 skin is refused by the older formats.
  ByteBuilder old = Header84("MDL2", c);
  old.I32(4).Fill(0, 8);
  MDL2R mdl2;
  ASSERT_GE(Open(mdl2, old, "old.mdl"), 0);
  EXPECT_FALSE(mdl2.ReadSkin(&type, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(type, 4);
  EXPECT_EQ(mdl2.Offset(), 88u);
}

// MDL4 and MDL6: frames of type 2 with 16-bit boxes and 8-byte vertices.
ByteBuilder WideFramesModel(const std::string& magic, int32_t frameType) {
  Counts c;
  c.skins = magic == "MDL6" ? 1 : 0;
  c.vertices = 2;
  c.triangles = 1;
  c.frames = 1;
  c.texCoords = 1;
  ByteBuilder b = Header84(magic, c);
  if (c.skins == 1) b.I32(0x0D).I32(2).I32(2).Fill(7, 4 * 4 + 4);  // 2 x 2, 4 bytes per pixel, mip levels
  b.I16(300).I16(-3);
  b.U16(0).U16(1).U16(1).U16(0).U16(0).U16(0);
  b.I32(frameType).U16(10).U16(20).U16(30).U16(0).U16(1000).U16(2000).U16(3000).U16(0).Text("run", 16);
  b.U16(500).U16(600).U16(700).U8(161).U8(0);
  b.U16(1).U16(2).U16(3).U8(200).U8(0);
  return b;
}

TEST_F(LegacyReaderTest, Mdl4AndMdl6FramesUseWideRecords) {
  MDL4R mdl4;
  ASSERT_GE(Open(mdl4, WideFramesModel("MDL4", 2), "a.mdl"), 0);
  EXPECT_EQ(mdl4.FormatCode(), 5);
  EXPECT_TRUE(mdl4.WalkGroup());
  EXPECT_EQ(mdl4.Offset(), mdl4.ReadableSize());

  MDL6R mdl6;
  ASSERT_GE(Open(mdl6, WideFramesModel("MDL6", 2), "b.mdl"), 0);
  EXPECT_EQ(mdl6.FormatCode(), 7);
  ASSERT_TRUE(mdl6.ReadSkin(nullptr, nullptr, nullptr, nullptr, nullptr));
  ASSERT_TRUE(mdl6.SkipSkinData());
  int16_t s, t;
  ASSERT_TRUE(mdl6.ReadTexCoord(&s, &t));
  EXPECT_EQ(s, 300);
  EXPECT_EQ(t, -3);
  int32_t corners[3], uvs[3];
  ASSERT_TRUE(mdl6.ReadTriangle(&corners, &uvs));
  EXPECT_EQ(corners[2], 1);
  EXPECT_EQ(uvs[0], 0);
  char name[16];
  uint16_t low[3], high[3];
  ASSERT_TRUE(mdl6.ReadFrame(&name, &low, &high, nullptr, nullptr));
  EXPECT_STREQ(name, "run");
  EXPECT_EQ(low[2], 30);
  EXPECT_EQ(high[0], 1000);
  uint16_t position[3];
  int32_t normal;
  ASSERT_TRUE(mdl6.ReadFrameVertex(&position, &normal));
  EXPECT_EQ(position[0], 500);
  EXPECT_EQ(position[2], 700);
  EXPECT_EQ(normal, 161);
  ASSERT_TRUE(mdl6.ReadFrameVertex(&position, &normal));
  EXPECT_EQ(normal, 0);
  EXPECT_EQ(mdl6.Offset(), mdl6.ReadableSize());

  MDL4R simple;
  ASSERT_GE(Open(simple, WideFramesModel("MDL4", 0), "c.mdl"), 0);
  ASSERT_TRUE(simple.SeekTo(84 + 4 + 12));
  EXPECT_FALSE(simple.ReadFrame(nullptr, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(simple.Offset(), 84u + 4 + 12 + 36);  // the record was taken
  ASSERT_TRUE(simple.SeekTo(84));
  EXPECT_FALSE(simple.WalkGroup());
}

TEST_F(LegacyReaderTest, Idp2GuardsWithItsOwnCounts) {
  Counts c;
  c.vertices = 1;
  c.texCoords = 1;
  c.frames = 1;
  ByteBuilder b = Header68(c);
  // Where the 84-byte formats keep their skin and triangle counts (48 and
  // 64), the IDP2 header holds offsets; make them non-zero.
  b.PatchU32(48, 5).PatchU32(64, 5);
  b.I16(1).I16(2);
  b.F32(0.5f).F32(1).F32(2).F32(-1).F32(-2).F32(-3).Text("idle", 16);
  b.U8(9).U8(8).U8(7).U8(6);
  IDP2R reader;
  ASSERT_GE(Open(reader, b, "a.md2"), 0);
  EXPECT_EQ(reader.FormatCode(), 2);
  EXPECT_EQ(reader.SkinCount(), 0);
  EXPECT_EQ(reader.TriangleCount(), 0);
  EXPECT_FALSE(reader.ReadSkin(nullptr, nullptr, nullptr, nullptr, nullptr));
  int32_t corners[3];
  EXPECT_FALSE(reader.ReadTriangle(&corners, nullptr));
  EXPECT_FALSE(reader.TakeSkinImage(nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(reader.Offset(), 68u);
  EXPECT_TRUE(reader.WalkGroup());
  EXPECT_EQ(reader.Offset(), reader.ReadableSize());

  ASSERT_TRUE(reader.SeekTo(68 + 4));
  char name[16];
  uint16_t low[3], high[3];
  float scale[3], move[3];
  ASSERT_TRUE(reader.ReadFrame(&name, &low, &high, &scale, &move));
  EXPECT_STREQ(name, "idle");
  EXPECT_EQ(low[1], 0);
  EXPECT_EQ(high[1], 255);
  EXPECT_EQ(scale[0], 0.5f);
  EXPECT_EQ(move[2], -3.0f);
  uint16_t position[3];
  int32_t normal;
  ASSERT_TRUE(reader.ReadFrameVertex(&position, &normal));
  EXPECT_EQ(position[0], 9);
  EXPECT_EQ(normal, 6);
}

TEST_F(LegacyReaderTest, Idp2SkinsAreNames) {
  Counts c;
  c.skins = 2;
  ByteBuilder b = Header68(c);
  b.Text("skins/one.pcx", 64).Fill('x', 64);
  IDP2R reader;
  ASSERT_GE(Open(reader, b, "b.md2"), 0);
  uint8_t type, mip;
  int32_t width, height, bpp;
  const uint8_t* name = nullptr;
  ASSERT_TRUE(reader.ReadSkin(&type, &width, &height, &bpp, &mip));
  EXPECT_EQ(type, 7);
  EXPECT_EQ(width, 64);
  EXPECT_EQ(height, 0);
  EXPECT_EQ(bpp, 0);
  ASSERT_TRUE(reader.TakeSkinImage(&name, nullptr, nullptr, nullptr));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(name)), "skins/one.pcx");
  EXPECT_TRUE(reader.SkipSkinData());
  ASSERT_TRUE(reader.ReadSkin(nullptr, nullptr, nullptr, nullptr, nullptr));
  ASSERT_TRUE(reader.TakeSkinImage(&name, nullptr, nullptr, nullptr));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(name), 64), std::string(64, 'x'));
  EXPECT_EQ(reader.Offset(), reader.ReadableSize());
}

TEST_F(LegacyReaderTest, TrianglesNamingMissingVerticesAreReported) {
  Counts c;
  c.vertices = 2;
  c.triangles = 2;
  ByteBuilder b = Header84("IDPO", c);
  b.Fill(0, 24);  // texture coordinates
  b.I32(0).I32(0).I32(1).I32(2);
  b.I32(0).I32(-1).I32(0).I32(1);
  MDL2R reader;
  ASSERT_GE(Open(reader, b), 0);
  ASSERT_TRUE(reader.SkipTexCoords());
  int32_t corners[3], uvs[3] = {5, 5, 5};
  EXPECT_FALSE(reader.ReadTriangle(&corners, &uvs));
  EXPECT_EQ(corners[2], 2);
  EXPECT_EQ(uvs[0], -1);
  EXPECT_FALSE(reader.ReadTriangle(&corners, nullptr));
  EXPECT_EQ(corners[0], -1);
}

TEST_F(LegacyReaderTest, EmptyAndNegativeCountsReadNothing) {
  Counts c;
  c.frames = -1;
  ByteBuilder b = Header84("MDL3", c);
  b.Fill(0, 64);
  MDL3R reader;
  ASSERT_GE(Open(reader, b), 0);
  int16_t s;
  int32_t corners[3];
  uint16_t position[3];
  EXPECT_FALSE(reader.ReadSkin(nullptr, nullptr, nullptr, nullptr, nullptr));
  EXPECT_FALSE(reader.ReadTexCoord(&s, &s));
  EXPECT_FALSE(reader.ReadTriangle(&corners, nullptr));
  EXPECT_FALSE(reader.ReadFrame(nullptr, nullptr, nullptr, nullptr, nullptr));
  EXPECT_FALSE(reader.ReadFrameVertex(&position, nullptr));
  EXPECT_FALSE(reader.TakeFrameVertex());
  EXPECT_EQ(reader.Offset(), 84u);
  EXPECT_FALSE(reader.WalkGroup());
}

// A negative skin or frame count would let the walk's loop run no time at
// all and the model pass as complete; each header's own field is refused
// before anything after the header is taken.
TEST_F(LegacyReaderTest, NegativeSkinOrFrameCountFailsTheWalkWithoutReading) {
  struct Case {
    bool idp2;
    bool skins;
    const char* failure;
  };
  const Case cases[] = {{false, true, "malformed skin count at offset 48"},
                        {false, false, "malformed frame count at offset 68"},
                        {true, true, "malformed skin count at offset 20"},
                        {true, false, "malformed frame count at offset 40"}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.failure);
    Counts c;
    (k.skins ? c.skins : c.frames) = -1;
    ByteBuilder b = k.idp2 ? Header68(c) : Header84("IDPO", c);
    b.Fill(0, 256);
    std::unique_ptr<LegacyModelReader> reader;
    if (k.idp2)
      reader = std::make_unique<IDP2R>();
    else
      reader = std::make_unique<MDL2R>();
    ASSERT_GE(Open(*reader, b), 0);
    const uint32_t start = reader->Offset();
    EXPECT_FALSE(k.skins ? reader->WalkSkins() : reader->WalkFrames());
    EXPECT_EQ(reader->Offset(), start);
    EXPECT_EQ(reader->LastFailure().Text(), k.failure);
    EXPECT_FALSE(reader->WalkGroup());
  }
}

// A negative skin side is refused as the field that holds it: the header's
// height for IDPO, the skin record's width for MDL5.
TEST_F(LegacyReaderTest, NegativeSkinSideIsNamedWhereItIsStored) {
  Counts c;
  c.skins = 1;
  c.width = 2;
  c.height = -1;
  ByteBuilder idpo = Header84("IDPO", c);
  idpo.I32(0).Fill(0, 16);
  MDL2R mdl2;
  ASSERT_GE(Open(mdl2, idpo, "a.mdl"), 0);
  ASSERT_TRUE(mdl2.ReadSkin(nullptr, nullptr, nullptr, nullptr, nullptr));
  EXPECT_FALSE(mdl2.TakeSkinImage(nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(mdl2.LastFailure().Text(), "malformed skin height at offset 56");
  ByteBuilder mdl5 = Header84("MDL5", c);
  mdl5.I32(0).I32(-2).I32(2).Fill(0, 16);
  MDL5R reader;
  ASSERT_GE(Open(reader, mdl5, "b.mdl"), 0);
  ASSERT_TRUE(reader.ReadSkin(nullptr, nullptr, nullptr, nullptr, nullptr));
  EXPECT_FALSE(reader.TakeSkinImage(nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(reader.LastFailure().Text(), "malformed skin width at offset 88");
}

TEST_F(LegacyReaderTest, SkinCutShortFailsTheWalk) {
  Counts c;
  c.skins = 1;
  c.width = 8;
  c.height = 8;
  ByteBuilder b = Header84("IDPO", c);
  b.I32(0).Fill(1, 40);
  MDL2R reader;
  ASSERT_GE(Open(reader, b), 0);
  EXPECT_FALSE(reader.WalkGroup());
  EXPECT_EQ(reader.Offset(), reader.ReadableSize());
}

TEST_F(LegacyReaderTest, EveryTruncationFailsCleanly) {
  const std::vector<uint8_t> whole = WideFramesModel("MDL6", 2).Data();
  for (size_t length = 0; length < whole.size(); ++length) {
    ByteBuilder cut;
    cut.Bytes(std::vector<uint8_t>(whole.begin(), whole.begin() + length));
    MDL6R reader;
    if (Open(reader, cut) < 0) {
      EXPECT_LT(length, 84u);
      continue;
    }
    EXPECT_FALSE(reader.WalkGroup()) << "length " << length;
    EXPECT_LE(reader.Offset(), length);
  }
}

TEST_F(LegacyReaderTest, FailedOpenLeavesNoStateBehind) {
  MDL2R reader;
  ASSERT_GE(Open(reader, SmallIdpo("IDPO"), "good.mdl"), 0);
  ASSERT_TRUE(reader.ReadSkin(nullptr, nullptr, nullptr, nullptr, nullptr));
  ByteBuilder bad = SmallIdpo("IDPX");
  EXPECT_EQ(Open(reader, bad, "bad.mdl"), -1);
  EXPECT_EQ(reader.SkinCount(), 0);
  EXPECT_EQ(reader.FrameCount(), 0);
  const uint8_t* header = reinterpret_cast<const uint8_t*>(1);
  EXPECT_FALSE(reader.GetHeader(&header));
  EXPECT_EQ(header, nullptr);
  EXPECT_FALSE(reader.TakeSkinImage(nullptr, nullptr, nullptr, nullptr));
  EXPECT_FALSE(reader.WalkGroup());

  platform::FileFaultInjector::FailCall(platform::FileFaultInjector::Operation::kRead, 1);
  EXPECT_EQ(Open(reader, SmallIdpo("IDPO"), "good.mdl"), -1);
  EXPECT_EQ(reader.Buffer(), nullptr);
}

}  // namespace
