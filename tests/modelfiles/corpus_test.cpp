// Real model files written by other programs, read in place.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "modelfiles/idp2r.h"
#include "modelfiles/mdl2r.h"
#include "modelfiles/mdl3r.h"
#include "modelfiles/mdl4r.h"
#include "modelfiles/mdl5r.h"
#include "modelfiles/mdl6r.h"
#include "modelfiles/mdl7r.h"
#include "modelfiles/model_file_opener.h"
#include "support/byte_builder.h"
#include "support/shared_data.h"
#include "support/temp_dir.h"

namespace {

using modelfiles::LegacyModelReader;

struct LegacyCase {
  const char* file;
  int32_t skins, vertices, triangles, frames, texCoords;
  int32_t width, height;  // from the header (84-byte formats only)
  bool walks;             // false where the file uses frame groups
  uint32_t bodyEnd;       // where the walk stops; 0: the end of the file
};

// Counts as the corpus manifest lists them.
const LegacyCase kLegacyCases[] = {
    {"corpus/idpo/bolt.mdl", 1, 52, 26, 1, 52, 16, 16, true, 0},
    {"corpus/idpo/gib_head_2skins.mdl", 2, 43, 50, 1, 43, 64, 96, true, 0},
    {"corpus/idpo/anim_19frames.mdl", 1, 87, 58, 19, 87, 16, 16, true, 0},
    {"corpus/idpo/flame_framegroups.mdl", 1, 91, 102, 2, 91, 64, 128, false, 0},
    {"corpus/idpo/steg.mdl", 1, 197, 305, 1, 197, 12, 10, true, 15561 - 7293},
    {"corpus/mdl3/minigun.MDL", 1, 314, 576, 8, 117, 1272, 1114, true, 0},
    {"corpus/mdl5/phosphoric_acid.mdl", 0, 496, 960, 1, 1, 0, 0, true, 0},
    {"corpus/idp2/tiny_1vert_0tri.md2", 1, 1, 0, 1, 1, 0, 0, true, 180},
    {"corpus/idp2/unterminated_skin_names.md2", 5, 65, 80, 1, 672, 0, 0, true, 4336},
    {"corpus/idp2/bad_ofs_end.md2", 1, 14, 32, 7, 14, 0, 0, true, 1244},
    {"corpus/idp2/glcmds_past_eof.md2", 3, 47, 57, 114, 171, 0, 0, true, 27620},
    {"corpus/idp2/flag_10frames.md2", 0, 106, 204, 10, 612, 0, 0, true, 9604},
    {"corpus/idp2/malformed_zero_numvertices.md2", 0, 0, 1, 1, 0, 0, 0, true, 120},
};

class LegacyCorpusTest : public ::testing::TestWithParam<LegacyCase> {};

TEST_P(LegacyCorpusTest, OpensWithItsReaderAndWalksItsBody) {
  const LegacyCase& c = GetParam();
  const std::string path = testsupport::SharedPath(c.file);
  TOOLKIT_REQUIRE_SHARED(path);
  modelfiles::ModelOpenResult opened = modelfiles::OpenModelFile(path.c_str());
  ASSERT_EQ(opened.status, modelfiles::ModelOpenStatus::kOpened) << opened.magic;
  auto* reader = dynamic_cast<LegacyModelReader*>(opened.reader.get());
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->SkinCount(), c.skins);
  EXPECT_EQ(reader->VertexCount(), c.vertices);
  EXPECT_EQ(reader->TriangleCount(), c.triangles);
  EXPECT_EQ(reader->FrameCount(), c.frames);
  EXPECT_EQ(reader->TexCoordCount(), c.texCoords);
  if (c.skins > 0 && reader->FormatCode() != modelfiles::ModelReader::kFormatIdp2 &&
      reader->FormatCode() != modelfiles::ModelReader::kFormatMdl5) {
    int32_t width = 0, height = 0;
    const uint32_t start = reader->Offset();
    ASSERT_TRUE(reader->ReadSkin(nullptr, &width, &height, nullptr, nullptr));
    EXPECT_EQ(width, c.width);
    EXPECT_EQ(height, c.height);
    ASSERT_TRUE(reader->SeekTo(start));
  }
  // Every triangle names vertices of the model (the malformed file has a
  // triangle but no vertices).
  const uint32_t bodyStart = reader->Offset();
  ASSERT_TRUE(reader->WalkSkins());
  ASSERT_TRUE(reader->SkipTexCoords());
  int invalid = 0;
  for (int32_t i = 0; i < c.triangles; ++i) {
    int32_t corners[3];
    const uint32_t before = reader->Offset();
    if (!reader->ReadTriangle(&corners, nullptr)) ++invalid;
    ASSERT_GT(reader->Offset(), before);
  }
  EXPECT_EQ(invalid, c.vertices == 0 ? c.triangles : 0);
  ASSERT_TRUE(reader->SeekTo(bodyStart));

  const uint32_t size = reader->BufferSize();
  if (c.walks) {
    EXPECT_TRUE(reader->WalkGroup());
    EXPECT_EQ(reader->Offset(), c.bodyEnd != 0 ? c.bodyEnd : size);
  } else {
    EXPECT_FALSE(reader->WalkGroup());
    EXPECT_LE(reader->Offset(), size);
  }
}

INSTANTIATE_TEST_SUITE_P(ModelCorpus, LegacyCorpusTest, ::testing::ValuesIn(kLegacyCases),
                         [](const ::testing::TestParamInfo<LegacyCase>& param) {
                           std::string name = param.param.file + 7;
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

TEST(ModelCorpusTest, FrameGroupIsRefusedWhereItStands) {
  const std::string path = testsupport::SharedPath("corpus/idpo/flame_framegroups.mdl");
  TOOLKIT_REQUIRE_SHARED(path);
  modelfiles::MDL2R reader;
  ASSERT_GE(reader.Open(path.c_str()), 0);
  ASSERT_TRUE(reader.WalkSkins());
  ASSERT_TRUE(reader.SkipTexCoords());
  ASSERT_TRUE(reader.SkipTriangles());
  EXPECT_EQ(reader.Offset(), 11004u);  // the first frame, a group of frames
  EXPECT_FALSE(reader.ReadFrame(nullptr, nullptr, nullptr, nullptr, nullptr));
}

TEST(ModelCorpusTest, IdpoRecordsDecodeWithinTheirRanges) {
  const std::string path = testsupport::SharedPath("corpus/idpo/bolt.mdl");
  TOOLKIT_REQUIRE_SHARED(path);
  modelfiles::MDL2R reader;
  ASSERT_GE(reader.Open(path.c_str()), 0);
  ASSERT_TRUE(reader.WalkSkins());
  for (int i = 0; i < reader.TexCoordCount(); ++i) {
    int16_t s = -1, t = -1;
    ASSERT_TRUE(reader.ReadTexCoord(&s, &t));
    EXPECT_GE(s, 0);
    EXPECT_LE(s, 16);
    EXPECT_GE(t, 0);
    EXPECT_LE(t, 16);
  }
  for (int i = 0; i < reader.TriangleCount(); ++i) {
    int32_t corners[3];
    EXPECT_TRUE(reader.ReadTriangle(&corners, nullptr)) << "triangle " << i;
  }
  char name[16];
  ASSERT_TRUE(reader.ReadFrame(&name, nullptr, nullptr, nullptr, nullptr));
  EXPECT_GT(std::string(name).size(), 0u);
  for (int i = 0; i < reader.VertexCount(); ++i) {
    int32_t normal = -1;
    ASSERT_TRUE(reader.ReadFrameVertex(nullptr, &normal));
    EXPECT_GE(normal, 0);
    EXPECT_LT(normal, 162);
  }
  EXPECT_EQ(reader.Offset(), reader.BufferSize());
}

TEST(ModelCorpusTest, UnterminatedIdp2SkinNamesAreHandedOutWhole) {
  const std::string path = testsupport::SharedPath("corpus/idp2/unterminated_skin_names.md2");
  TOOLKIT_REQUIRE_SHARED(path);
  modelfiles::IDP2R reader;
  ASSERT_GE(reader.Open(path.c_str()), 0);
  for (int i = 0; i < reader.SkinCount(); ++i) {
    const uint8_t* name = nullptr;
    ASSERT_TRUE(reader.ReadSkin(nullptr, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(reader.TakeSkinImage(&name, nullptr, nullptr, nullptr));
    EXPECT_EQ(name, reader.Buffer() + 68 + 64 * i);
  }
}

TEST(ModelCorpusTest, MalformedIdp2FailsAtItsTriangle) {
  const std::string path = testsupport::SharedPath("corpus/idp2/malformed_zero_numvertices.md2");
  TOOLKIT_REQUIRE_SHARED(path);
  modelfiles::IDP2R reader;
  ASSERT_GE(reader.Open(path.c_str()), 0);
  // Its one triangle names vertex 0 of a model without vertices.
  int32_t corners[3] = {-9, -9, -9};
  EXPECT_FALSE(reader.ReadTriangle(&corners, nullptr));
  EXPECT_EQ(corners[0], 0);
  ASSERT_TRUE(reader.ReadFrame(nullptr, nullptr, nullptr, nullptr, nullptr));
  EXPECT_FALSE(reader.ReadFrameVertex(nullptr, nullptr));
}

struct Mdl7Case {
  const char* file;
  int32_t groups;
  std::vector<int32_t> groupBytes;
  int32_t firstGroupSkins;
};

TEST(ModelCorpusTest, Mdl7FilesWalkGroupByGroupToTheirEnd) {
  const Mdl7Case cases[] = {
      {"corpus/mdl7/phosphoric_acid.mdl", 8, {3864, 3576, 3576, 3576, 3576, 3576, 3576, 3576}, 3},
      {"corpus/mdl7/sphere_alpha90.mdl", 1, {3672}, 1},
  };
  for (const Mdl7Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = testsupport::SharedPath(c.file);
    TOOLKIT_REQUIRE_SHARED(path);
    modelfiles::MDL7R reader;
    ASSERT_GE(reader.Open(path.c_str()), 0);
    int32_t bones, groups, dataSize, lumpSize, secondLumpSize;
    ASSERT_TRUE(reader.ReadHeaderCounts(bones, groups, dataSize, lumpSize, secondLumpSize));
    EXPECT_EQ(bones, 0);
    EXPECT_EQ(groups, c.groups);
    EXPECT_EQ(static_cast<uint32_t>(dataSize), reader.BufferSize());
    EXPECT_EQ(lumpSize, 0);
    ASSERT_TRUE(reader.SkipBones());
    for (int32_t g = 0; g < groups; ++g) {
      uint8_t type;
      int32_t groupBytes;
      char name[16];
      const uint32_t start = reader.Offset();
      ASSERT_TRUE(reader.ReadGroup(type, groupBytes, name));
      EXPECT_EQ(type, 1);
      EXPECT_EQ(groupBytes, c.groupBytes[g]);
      int32_t skins, texCoords, triangles, vertices, frames;
      ASSERT_TRUE(reader.ReadGroupCounts(skins, texCoords, triangles, vertices, frames));
      EXPECT_EQ(skins, g == 0 ? c.firstGroupSkins : 0);
      EXPECT_EQ(texCoords, 0);
      EXPECT_EQ(triangles, 120);
      EXPECT_EQ(vertices, 62);
      EXPECT_EQ(frames, 0);
      ASSERT_TRUE(reader.WalkGroup()) << "group " << g;
      EXPECT_EQ(reader.Offset() - start, static_cast<uint32_t>(groupBytes));
    }
    EXPECT_TRUE(reader.SkipDeformers());
    EXPECT_EQ(reader.Offset(), reader.BufferSize());
  }
}

TEST(ModelCorpusTest, Mdl7TrianglesAndNormalsAreConsistent) {
  const std::string path = testsupport::SharedPath("corpus/mdl7/sphere_alpha90.mdl");
  TOOLKIT_REQUIRE_SHARED(path);
  modelfiles::MDL7R reader;
  ASSERT_GE(reader.Open(path.c_str()), 0);
  uint8_t type;
  int32_t size;
  char name[16];
  ASSERT_TRUE(reader.ReadGroup(type, size, name));
  ASSERT_TRUE(reader.WalkSkins());
  int32_t corners[3], uvs[3], material;
  for (int i = 0; i < 120; ++i) ASSERT_TRUE(reader.ReadTriangle(corners, uvs, material)) << "triangle " << i;
  for (int i = 0; i < 62; ++i) {
    float x, y, z, nx, ny, nz;
    int32_t bone;
    ASSERT_TRUE(reader.ReadVertex(x, y, z, bone));
    ASSERT_TRUE(reader.ReadVertexNormal(nx, ny, nz));
    EXPECT_NEAR(nx * nx + ny * ny + nz * nz, 1.0, 1e-3) << "vertex " << i;
  }
  EXPECT_EQ(reader.Offset(), reader.BufferSize());
}

// Everything a legacy reader hands out, in file order, then the walk from the
// body's start: one line per record, with offsets into the reader's buffer.
std::string LegacyTranscript(LegacyModelReader& r) {
  std::ostringstream out;
  out << r.SkinCount() << ' ' << r.VertexCount() << ' ' << r.TriangleCount() << ' ' << r.FrameCount() << ' '
      << r.TexCoordCount() << '\n';
  const uint32_t bodyStart = r.Offset();
  for (int32_t i = 0; i < r.SkinCount(); ++i) {
    uint8_t type = 0, mip = 0;
    int32_t width = 0, height = 0, bpp = 0;
    const uint8_t* image = nullptr;
    const bool read =
        r.ReadSkin(&type, &width, &height, &bpp, &mip) && r.TakeSkinImage(&image, nullptr, nullptr, nullptr);
    out << "skin " << read << ' ' << +type << ' ' << width << 'x' << height << ' ' << bpp << ' ' << +mip
        << ' ' << (image != nullptr ? image - r.Buffer() : -1) << '\n';
  }
  for (int32_t i = 0; i < r.TexCoordCount(); ++i) {
    int16_t s = 0, t = 0;
    const bool read = r.ReadTexCoord(&s, &t);
    out << "uv " << read << ' ' << s << ' ' << t << '\n';
  }
  for (int32_t i = 0; i < r.TriangleCount(); ++i) {
    int32_t corners[3] = {}, uvs[3] = {};
    const bool read = r.ReadTriangle(&corners, &uvs);
    out << "triangle " << read << ' ' << corners[0] << ' ' << corners[1] << ' ' << corners[2] << ' ' << uvs[0]
        << '\n';
  }
  for (int32_t f = 0; f < r.FrameCount(); ++f) {
    char name[LegacyModelReader::kNameSize] = {};
    uint16_t low[3] = {}, high[3] = {};
    float scale[3] = {}, move[3] = {};
    if (!r.ReadFrame(&name, &low, &high, &scale, &move)) {
      out << "frame refused at " << r.Offset() << '\n';
      break;
    }
    out << "frame " << name << ' ' << low[0] << ' ' << high[2] << ' ' << scale[1] << ' ' << move[2] << '\n';
    for (int32_t v = 0; v < r.VertexCount(); ++v) {
      uint16_t position[3] = {};
      int32_t normal = -1;
      const bool read = r.ReadFrameVertex(&position, &normal);
      out << read << ' ' << position[0] << ' ' << position[1] << ' ' << position[2] << ' ' << normal << '\n';
    }
  }
  out << "end " << r.Offset() << ' ' << r.LastFailure().Text() << '\n';
  EXPECT_TRUE(r.SeekTo(bodyStart));
  const bool walked = r.WalkGroup();
  out << "walk " << walked << ' ' << r.Offset() << ' ' << r.LastFailure().Text() << '\n';
  return out.str();
}

// The MDL7 walk group by group, then the first group record by record.
std::string Mdl7Transcript(modelfiles::MDL7R& r) {
  std::ostringstream out;
  int32_t bones = 0, groups = 0, dataSize = 0, lumpSize = 0, secondLumpSize = 0;
  EXPECT_TRUE(r.ReadHeaderCounts(bones, groups, dataSize, lumpSize, secondLumpSize));
  out << bones << ' ' << groups << ' ' << dataSize << ' ' << lumpSize << ' ' << secondLumpSize << '\n';
  const bool skipped = r.SkipBones();
  const uint32_t firstGroup = r.Offset();
  out << "bones " << skipped << ' ' << firstGroup << '\n';
  for (int32_t g = 0; g < groups; ++g) {
    uint8_t type = 0;
    int32_t size = 0;
    char name[modelfiles::MDL7R::kNameSize] = {};
    const bool read = r.ReadGroup(type, size, name);
    const bool walked = read && r.WalkGroup();
    out << "group " << read << ' ' << +type << ' ' << size << ' ' << name << ' ' << walked << ' '
        << r.Offset() << '\n';
  }
  const bool deformers = r.SkipDeformers();
  out << "deformers " << deformers << ' ' << r.Offset() << ' ' << r.LastFailure().Text() << '\n';

  EXPECT_TRUE(r.SeekTo(firstGroup));
  uint8_t type = 0;
  int32_t size = 0;
  char name[modelfiles::MDL7R::kNameSize] = {};
  int32_t counts[5] = {};
  if (!r.ReadGroup(type, size, name) ||
      !r.ReadGroupCounts(counts[0], counts[1], counts[2], counts[3], counts[4]))
    return out.str() + "no group\n";
  for (int32_t i = 0; i < counts[0]; ++i) {
    uint8_t skinType = 0;
    char skinName[modelfiles::MDL7R::kNameSize] = {};
    int32_t width = 0, height = 0, bpp = 0;
    uint8_t mip = 0;
    const bool read =
        r.ReadSkin(skinType, skinName) && r.ReadSkinImage(width, height, bpp, mip) && r.SkipSkinData();
    out << "skin " << read << ' ' << +skinType << ' ' << skinName << ' ' << width << 'x' << height << ' '
        << bpp << '\n';
  }
  const bool texCoords = r.SkipTexCoords();
  out << "uvs " << texCoords << '\n';
  for (int32_t i = 0; i < counts[2]; ++i) {
    int32_t corners[3] = {}, uvs[3] = {}, material = -7;
    const bool read = r.ReadTriangle(corners, uvs, material);
    out << "triangle " << read << ' ' << corners[0] << ' ' << corners[1] << ' ' << corners[2] << ' ' << uvs[2]
        << ' ' << material << '\n';
  }
  for (int32_t i = 0; i < counts[3]; ++i) {
    float x = 0, y = 0, z = 0, nx = 0, ny = 0, nz = 0;
    int32_t bone = 0;
    const bool read = r.ReadVertex(x, y, z, bone);
    const bool normal = r.ReadVertexNormal(nx, ny, nz);
    out << "vertex " << read << ' ' << x << ' ' << y << ' ' << z << ' ' << bone << ' ' << normal << ' ' << nx
        << ' ' << ny << ' ' << nz << '\n';
  }
  out << "end " << r.Offset() << ' ' << r.LastFailure().Text() << '\n';
  return out.str();
}

// The first line where two transcripts differ, with its number; empty when
// they are the same.
std::string FirstDifference(const std::string& expected, const std::string& actual) {
  std::istringstream a(expected), b(actual);
  std::string lineA, lineB;
  for (int line = 1;; ++line) {
    const bool moreA = static_cast<bool>(std::getline(a, lineA));
    const bool moreB = static_cast<bool>(std::getline(b, lineB));
    if (!moreA && !moreB) return "";
    if (moreA != moreB || lineA != lineB)
      return "line " + std::to_string(line) + ": \"" + lineA + "\" but \"" + lineB + "\"";
  }
}

struct BytesCase {
  const char* file;
  const char* magic;  // written over the file's own magic; null keeps it
  std::unique_ptr<modelfiles::ModelReader> (*make)();
};

template <typename Reader>
std::unique_ptr<modelfiles::ModelReader> Make() {
  return std::make_unique<Reader>();
}

// MDL4 and MDL6 have no corpus file: the MDL5 file, which has no skins, reads
// the same under their magics (MDL4 differs from MDL5 in its skins only).
const BytesCase kBytesCases[] = {
    {"corpus/idpo/anim_19frames.mdl", nullptr, Make<modelfiles::MDL2R>},
    {"corpus/mdl3/minigun.MDL", nullptr, Make<modelfiles::MDL3R>},
    {"corpus/mdl5/phosphoric_acid.mdl", "MDL4", Make<modelfiles::MDL4R>},
    {"corpus/mdl5/phosphoric_acid.mdl", nullptr, Make<modelfiles::MDL5R>},
    {"corpus/mdl5/phosphoric_acid.mdl", "MDL6", Make<modelfiles::MDL6R>},
    {"corpus/idp2/glcmds_past_eof.md2", nullptr, Make<modelfiles::IDP2R>},
    {"corpus/mdl7/phosphoric_acid.mdl", nullptr, Make<modelfiles::MDL7R>},
};

TEST(ModelCorpusTest, EachReaderGivesTheSameRecordsFromBytesAsFromThePath) {
  testsupport::TempDir temp;
  for (const BytesCase& c : kBytesCases) {
    SCOPED_TRACE(std::string(c.file) + (c.magic != nullptr ? std::string(" as ") + c.magic : ""));
    const std::string source = testsupport::SharedPath(c.file);
    TOOLKIT_REQUIRE_SHARED(source);
    std::vector<uint8_t> bytes = testsupport::ReadFileBytes(source);
    ASSERT_GE(bytes.size(), 4u);
    if (c.magic != nullptr) std::memcpy(bytes.data(), c.magic, 4);
    const std::string path = temp.File("model.bin");
    ASSERT_TRUE(testsupport::WriteFileBytes(path, bytes));

    std::unique_ptr<modelfiles::ModelReader> fromPath = c.make();
    std::unique_ptr<modelfiles::ModelReader> fromBytes = c.make();
    ASSERT_GE(fromPath->Open(path.c_str()), 0);
    ASSERT_TRUE(fromBytes->OpenBytes(bytes.data(), bytes.size()));
    EXPECT_EQ(fromBytes->Descriptor(), -1);
    EXPECT_NE(fromBytes->Buffer(), bytes.data());  // a copy of its own
    EXPECT_EQ(fromBytes->BufferSize(), bytes.size());
    EXPECT_EQ(fromBytes->ReadableSize(), fromPath->ReadableSize());
    EXPECT_EQ(fromBytes->Offset(), fromPath->Offset());
    std::string expected, actual;
    if (auto* mdl7 = dynamic_cast<modelfiles::MDL7R*>(fromPath.get())) {
      expected = Mdl7Transcript(*mdl7);
      actual = Mdl7Transcript(dynamic_cast<modelfiles::MDL7R&>(*fromBytes));
    } else {
      expected = LegacyTranscript(dynamic_cast<LegacyModelReader&>(*fromPath));
      actual = LegacyTranscript(dynamic_cast<LegacyModelReader&>(*fromBytes));
    }
    EXPECT_EQ(FirstDifference(expected, actual), "");
    // Every one of these files walks to its end without a failure.
    EXPECT_TRUE(expected.find("walk 1 ") != std::string::npos ||
                expected.find("deformers 1 ") != std::string::npos);
    EXPECT_NE(expected.find("no failure\n"), std::string::npos);
    EXPECT_EQ(expected.find("truncated"), std::string::npos);
    EXPECT_EQ(expected.find("malformed"), std::string::npos);
  }
}

TEST(ModelCorpusTest, TerrainFilesAreNotModels) {
  for (const char* file : {"corpus/hmp7/terrain.hmp", "corpus/hmp7/invalid_external_texture_name.hmp"}) {
    const std::string path = testsupport::SharedPath(file);
    TOOLKIT_REQUIRE_SHARED(path);
    modelfiles::ModelOpenResult opened = modelfiles::OpenModelFile(path.c_str());
    EXPECT_EQ(opened.status, modelfiles::ModelOpenStatus::kUnsupportedMagic);
    EXPECT_STREQ(opened.magic, "HMP7");
    EXPECT_EQ(opened.reader, nullptr);
  }
}

}  // namespace
