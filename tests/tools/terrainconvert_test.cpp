// terrainconvert, run as a user runs it: round trips through pictures and
// RAW files, PNG pictures built byte by byte here, the OBJ mesh, the height
// array against the example host's file, and damaged input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/byte_builder.h"
#include "support/png_chunks.h"
#include "support/run_program.h"
#include "support/shared_data.h"
#include "support/temp_dir_fixture.h"
#include "terrain/grey_png.h"

namespace {

using testsupport::ByteBuilder;
using testsupport::LoadU16;
using testsupport::LoadU32;

// An HMP7 file of 3 x 2 vertices, no skin, heights offset -100 + packed x
// 0.5, samples 2 apart.
std::vector<uint8_t> SmallHmp(const std::vector<uint16_t>& packed) {
  ByteBuilder b;
  b.Text("HMP7", 4).I32(0).F32(1.0f).F32(1.0f).F32(0.5f).F32(0.0f).F32(0.0f).F32(-100.0f).U32(0);
  b.F32(2.0f).F32(2.0f).F32(3.0f).I32(0).I32(0).I32(0).I32(static_cast<int32_t>(packed.size())).I32(0);
  b.I32(1).I32(0).I32(0).I32(0);
  b.I32(2).U16(0).U16(0).U16(0).U8(255).U8(0).U16(65535).U16(65535).U16(65535).U8(255).U8(0);
  b.Text("terrain", 16);
  for (uint16_t p : packed) b.U16(p).U8(0).U8(0);
  return b.Data();
}

// The packed heights at the end of an HMP file of `count` vertices.
std::vector<uint16_t> LastHeights(const std::vector<uint8_t>& hmp, size_t count) {
  std::vector<uint16_t> heights;
  if (hmp.size() < count * 4) return heights;
  for (size_t i = 0; i < count; ++i) heights.push_back(LoadU16(hmp, hmp.size() - count * 4 + i * 4));
  return heights;
}

std::vector<uint16_t> RawSamples(const std::vector<uint8_t>& raw) {
  std::vector<uint16_t> samples;
  for (size_t i = 0; i + 1 < raw.size(); i += 2) samples.push_back(LoadU16(raw, i));
  return samples;
}

using testsupport::StoredPng;

// A black 24-bit BMP of width x height, rows padded to 4 bytes.
std::vector<uint8_t> Bmp(int32_t width, int32_t height, uint8_t fill = 0) {
  const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) / 4 * 4;
  const uint32_t pixelBytes = rowBytes * static_cast<uint32_t>(height);
  ByteBuilder b;
  b.Text("BM", 2).U32(54 + pixelBytes).U32(0).U32(54);
  b.U32(40).I32(width).I32(height).U16(1).U16(24).U32(0).U32(pixelBytes).I32(2835).I32(2835).U32(0).U32(0);
  std::vector<uint8_t> bytes = b.Data();
  bytes.resize(bytes.size() + pixelBytes, fill);
  return bytes;
}

class TerrainConvertTest : public testsupport::TempDirFixture {
 protected:
  testsupport::ProgramResult Convert(const std::vector<std::string>& args) {
    return testsupport::RunProgram(TERRAINCONVERT_PROGRAM, args, temp_.Path());
  }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = temp_.File(name);
    EXPECT_TRUE(testsupport::WriteFileBytes(path, bytes));
    return path;
  }
};

TEST_F(TerrainConvertTest, HmpHeightsSurvivePngAndRawExactly) {
  // Rows from the south: 0 1 65535, then 32768 12345 40000.
  const std::vector<uint16_t> packed = {0, 1, 65535, 32768, 12345, 40000};
  const std::string hmp = Write("in.hmp", SmallHmp(packed));
  ASSERT_EQ(Convert({hmp, temp_.File("t.raw")}).status, 0);
  // Pictures and RAW files run from the north edge.
  EXPECT_EQ(RawSamples(testsupport::ReadFileBytes(temp_.File("t.raw"))),
            (std::vector<uint16_t>{32768, 12345, 40000, 0, 1, 65535}));

  for (const std::string middle : {"t.png", "t.r16"}) {
    SCOPED_TRACE(middle);
    if (middle == "t.png" && !terrain::GreyPngSupported()) continue;
    const auto there = Convert({hmp, temp_.File(middle)});
    ASSERT_EQ(there.status, 0) << there.err;
    EXPECT_NE(there.out.find("range: -100 32667.5"), std::string::npos) << there.out;
    std::vector<std::string> back = {temp_.File(middle), temp_.File("back.hmp"), "--range", "-100",
                                     "32667.5"};
    if (middle == "t.r16") back.insert(back.end(), {"--size", "3x2"});
    const auto result = Convert(back);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(LastHeights(testsupport::ReadFileBytes(temp_.File("back.hmp")), packed.size()), packed);
  }
}

TEST_F(TerrainConvertTest, ReadsPngSamplesAsStored) {
  if (!terrain::GreyPngSupported()) GTEST_SKIP() << "built without PNG support";
  // 16 bits, 2 x 2: top row 0x0102 0xFFFE, bottom row 0x8000 0x0001.
  const std::string deep =
      Write("deep.png", StoredPng(2, 2, 16, 0, {0, 0x01, 0x02, 0xFF, 0xFE, 0, 0x80, 0x00, 0x00, 0x01}));
  ASSERT_EQ(Convert({deep, temp_.File("deep.raw")}).status, 0);
  EXPECT_EQ(RawSamples(testsupport::ReadFileBytes(temp_.File("deep.raw"))),
            (std::vector<uint16_t>{0x0102, 0xFFFE, 0x8000, 0x0001}));
  // 8 bits widen so that 255 is the top: v x 257.
  const std::string shallow = Write("shallow.png", StoredPng(3, 1, 8, 0, {0, 0, 1, 255}));
  ASSERT_EQ(Convert({shallow, temp_.File("shallow.raw")}).status, 0);
  EXPECT_EQ(RawSamples(testsupport::ReadFileBytes(temp_.File("shallow.raw"))),
            (std::vector<uint16_t>{0, 257, 65535}));
}

TEST_F(TerrainConvertTest, ObjOfThreeByTwoTerrain) {
  // Heights 0 10 20 on the southern row and 30 40 50 north of it, 2 apart;
  // the RAW file starts with the northern row.
  const std::string raw = Write("in.raw", {30, 0, 40, 0, 50, 0, 0, 0, 10, 0, 20, 0});
  const auto result = Convert({raw, temp_.File("t.obj"), "--size", "3x2", "--spacing", "2"});
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(temp_.File("t.obj"));
  std::istringstream obj(std::string(bytes.begin(), bytes.end()));
  std::vector<std::string> vertices, normals, faces;
  for (std::string line; std::getline(obj, line);) {
    if (line.rfind("v ", 0) == 0) vertices.push_back(line);
    if (line.rfind("vn ", 0) == 0) normals.push_back(line);
    if (line.rfind("f ", 0) == 0) faces.push_back(line);
  }
  ASSERT_EQ(vertices.size(), 6u);
  ASSERT_EQ(normals.size(), 6u);
  ASSERT_EQ(faces.size(), 4u);  // two triangles per cell, two cells
  // Vertex 5: column 1 of the northern row; x east, y up, z south.
  EXPECT_EQ(vertices[4], "v 2 40 -2");
  EXPECT_EQ(faces[0], "f 1/1/1 2/2/2 4/4/4");
  // Vertex 2 (column 1, southern row): 20 up over 4 east, 30 up over 2
  // north; the normal leans west and south.
  double nx = 0, ny = 0, nz = 0;
  std::istringstream(normals[1].substr(3)) >> nx >> ny >> nz;
  const double length = std::sqrt(5.0 * 5.0 + 15.0 * 15.0 + 1.0);
  EXPECT_NEAR(nx, -5.0 / length, 1e-8);
  EXPECT_NEAR(ny, 1.0 / length, 1e-8);
  EXPECT_NEAR(nz, 15.0 / length, 1e-8);
}

// Width and height from a PNG file's IHDR chunk; 0 x 0 when it is no PNG.
std::pair<uint32_t, uint32_t> PngSize(const std::vector<uint8_t>& png) {
  if (png.size() < 24 || png[1] != 'P' || std::string(png.begin() + 12, png.begin() + 16) != "IHDR")
    return {0, 0};
  auto big = [&](size_t at) {
    return static_cast<uint32_t>(png[at] << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3]);
  };
  return {big(16), big(20)};
}

TEST_F(TerrainConvertTest, ObjComesWithItsMaterialAndTheSkinAsTexture) {
  const std::string raw = Write("in.raw", {30, 0, 40, 0, 50, 0, 0, 0, 10, 0, 20, 0});
  const std::string obj = temp_.File("plain.obj");
  ASSERT_EQ(Convert({raw, obj, "--size", "3x2"}).status, 0);
  const std::vector<uint8_t> mesh = testsupport::ReadFileBytes(obj);
  const std::string text(mesh.begin(), mesh.end());
  EXPECT_NE(text.find("\nmtllib plain.mtl\n"), std::string::npos);
  EXPECT_NE(text.find("\nusemtl plain\nf "), std::string::npos);
  const std::vector<uint8_t> mtl = testsupport::ReadFileBytes(temp_.File("plain.mtl"));
  EXPECT_NE(std::string(mtl.begin(), mtl.end()).find("newmtl plain\n"), std::string::npos);
  EXPECT_EQ(std::string(mtl.begin(), mtl.end()).find("map_Kd"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(temp_.File("plain.png")));

  // A skin given, or kept in an HMP input, becomes the texture; a blank
  // skin, which holds no colour, gives none.
  const std::string skin = Write("skin.bmp", Bmp(16, 8, 0x80));
  ASSERT_EQ(Convert({raw, temp_.File("skinned.obj"), "--size", "3x2", "--skin", skin}).status, 0);
  ASSERT_EQ(Convert({raw, temp_.File("skinned.hmp"), "--size", "3x2", "--skin", skin}).status, 0);
  ASSERT_EQ(Convert({temp_.File("skinned.hmp"), temp_.File("kept.obj")}).status, 0);
  ASSERT_EQ(Convert({raw, temp_.File("blank.hmp"), "--size", "3x2", "--default-skin", "blank"}).status, 0);
  ASSERT_EQ(Convert({temp_.File("blank.hmp"), temp_.File("blank.obj")}).status, 0);
  for (const std::string name : {"skinned", "kept"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(PngSize(testsupport::ReadFileBytes(temp_.File(name + ".png"))), std::make_pair(16u, 8u));
    const std::vector<uint8_t> material = testsupport::ReadFileBytes(temp_.File(name + ".mtl"));
    EXPECT_NE(std::string(material.begin(), material.end()).find("map_Kd " + name + ".png\n"),
              std::string::npos);
  }
  EXPECT_FALSE(std::filesystem::exists(temp_.File("blank.png")));
}

TEST_F(TerrainConvertTest, HeightArrayGivesTheExampleHostsFile) {
  // 2 x 2 tiles of 16 x 8 samples over 4 x 4 units: the host maps the 4
  // units onto 4096, so samples lie 128 and 256 apart and heights scale by
  // 1024.
  for (int preview : {1, 0}) {
    SCOPED_TRACE(preview);
    const std::string text =
        "0 1\n2 2 16 8\n0.0 4.0 0.0 4.0\n3 " + std::to_string(preview) + "\n0 6 1.0 0.5 0.0\n";
    const std::string commands = Write("terrain.txt", std::vector<uint8_t>(text.begin(), text.end()));
    const std::string folder = temp_.File(preview ? "with_preview" : "without_preview");
    const auto host = testsupport::RunProgram(
        EXAMPLE_HOST_PROGRAM, {commands, folder, DUNEFORGE_PROGRAM, LOAMWRITER_LIBRARY}, temp_.Path());
    ASSERT_EQ(host.status, 0) << host.err;
    std::vector<std::string> args = {folder + "/noise_arr.txt",
                                     temp_.File("mine.hmp"),
                                     "--size",
                                     "32x16",
                                     "--tiles",
                                     "2x2",
                                     "--spacing",
                                     "128,256",
                                     "--height-scale",
                                     "1024",
                                     "--engine-values"};
    // The host writes a blank skin where it has no preview; asked for one,
    // terrainconvert writes the same.
    if (preview) args.insert(args.end(), {"--skin", folder + "/tutorial.bmp"});
    if (!preview) args.insert(args.end(), {"--default-skin", "blank"});
    const auto result = Convert(args);
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<uint8_t> theirs = testsupport::ReadFileBytes(folder + "/terrain.hmp");
    ASSERT_GT(theirs.size(), 84u);
    EXPECT_TRUE(testsupport::ReadFileBytes(temp_.File("mine.hmp")) == theirs);
  }
}

TEST_F(TerrainConvertTest, HeightsOutsideTheRangeStopAtItsEnds) {
  // Range 0 .. 10: -5 and 0 pack to 0, 10 and 20 to 65535. Unclamped, 20
  // would be 2 x 65535 steps up and wrap to 65534.
  const std::string in = Write("n.txt", {'-', '5', ',', '0', ',', '1', '0', ',', '2', '0', ','});
  const auto result = Convert({in, temp_.File("o.r16"), "--size", "4x1", "--range", "0", "10"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(RawSamples(testsupport::ReadFileBytes(temp_.File("o.r16"))),
            (std::vector<uint16_t>{0, 0, 65535, 65535}));
}

TEST_F(TerrainConvertTest, DamagedInputGivesOneLine) {
  std::vector<uint8_t> truncated = SmallHmp({1, 2, 3, 4, 5, 6});
  truncated.resize(truncated.size() - 3);
  std::vector<uint8_t> cutPng = StoredPng(2, 2, 16, 0, {0, 1, 2, 3, 4, 0, 5, 6, 7, 8});
  cutPng.resize(cutPng.size() - 20);
  const std::vector<std::vector<std::string>> cases = {
      {Write("short.hmp", truncated), temp_.File("o.png")},
      {Write("short.hmp", truncated), temp_.File("o.obj")},
      {Write("cut.png", cutPng), temp_.File("o.hmp")},
      {Write("colour.png", StoredPng(1, 1, 8, 2, {0, 1, 2, 3})), temp_.File("o.raw")},
      {Write("huge.png", StoredPng(60000, 60000, 16, 0, {0, 0, 0})), temp_.File("o.raw")},
      {Write("odd.raw", {1, 2, 3}), temp_.File("o.hmp"), "--size", "2x1"},
      {Write("noise_arr.txt", {'1', ',', 'x', ','}), temp_.File("o.hmp"), "--size", "2x1"},
      {Write("few.txt", {'1', ',', '2', ','}), temp_.File("o.hmp"), "--size", "3x1"},
      {temp_.File("missing.hmp"), temp_.File("o.png")},
      {Write("in.bmp", {'B', 'M'}), temp_.File("o.png")},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args[0] + " -> " + args[1]);
    const auto result = Convert(args);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err.rfind("terrainconvert: ", 0), 0u) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  }
}

TEST_F(TerrainConvertTest, HeightArrayKeepsFullPrecisionUnlessEngineValuesAreAsked) {
  // Range 0 .. 1: a packed step is 1 / 65535. 0.0001 is 6.55 steps, packed
  // 7; as an engine number (x 1024, with half a step) it is 0.110 -> 0,
  // packed 0.
  const std::string in = Write("n.txt", {'0', ',', '0', '.', '0', '0', '0', '1', ',', '1', ','});
  ASSERT_EQ(Convert({in, temp_.File("full.r16"), "--size", "3x1"}).status, 0);
  EXPECT_EQ(RawSamples(testsupport::ReadFileBytes(temp_.File("full.r16"))),
            (std::vector<uint16_t>{0, 7, 65535}));
  ASSERT_EQ(Convert({in, temp_.File("engine.r16"), "--size", "3x1", "--engine-values"}).status, 0);
  EXPECT_EQ(RawSamples(testsupport::ReadFileBytes(temp_.File("engine.r16"))),
            (std::vector<uint16_t>{0, 0, 65535}));
}

TEST_F(TerrainConvertTest, FlatRangeAsPrintedIsTakenBack) {
  const std::string in = Write("flat.txt", {'0', '.', '2', '5', ',', '0', '.', '2', '5', ','});
  const auto flat = Convert({in, temp_.File("flat.r16"), "--size", "2x1"});
  ASSERT_EQ(flat.status, 0) << flat.err;
  EXPECT_NE(flat.out.find("range: 0.25 0.25"), std::string::npos) << flat.out;
  const auto back =
      Convert({temp_.File("flat.r16"), temp_.File("flat.hmp"), "--size", "2x1", "--range", "0.25", "0.25"});
  EXPECT_EQ(back.status, 0) << back.err;
}

// Without a skin given or read, the HMP's first skin is the true-colour
// relief (type 12), never an 8-bit one (type 0); --default-skin picks a
// blank skin, also for an HMP input without skins, or none. Skin fields
// read from the bytes: numSkins at 48, the first skin's type, width and
// height at 84, 88 and 92.
TEST_F(TerrainConvertTest, DefaultSkinIsTheReliefUnlessAnotherIsAskedFor) {
  const std::string raw = Write("in.raw", std::vector<uint8_t>(2 * 17 * 9, 7));
  ASSERT_EQ(Convert({raw, temp_.File("relief.hmp"), "--size", "17x9"}).status, 0);
  const std::vector<uint8_t> relief = testsupport::ReadFileBytes(temp_.File("relief.hmp"));
  ASSERT_GT(relief.size(), 96u);
  EXPECT_EQ(LoadU32(relief, 48), 1u);
  EXPECT_EQ(LoadU32(relief, 84), 12u);
  EXPECT_EQ(LoadU32(relief, 88), 24u);
  EXPECT_EQ(LoadU32(relief, 92), 16u);

  const std::string in = Write("bare.hmp", SmallHmp({1, 2, 3, 4, 5, 6}));
  ASSERT_EQ(Convert({in, temp_.File("blank.hmp"), "--default-skin", "blank"}).status, 0);
  const std::vector<uint8_t> blank = testsupport::ReadFileBytes(temp_.File("blank.hmp"));
  ASSERT_GT(blank.size(), 96u);
  EXPECT_EQ(LoadU32(blank, 48), 1u);
  EXPECT_EQ(LoadU32(blank, 84), 0u);
  ASSERT_EQ(Convert({raw, temp_.File("none.hmp"), "--size", "17x9", "--default-skin", "none"}).status, 0);
  EXPECT_EQ(testsupport::ReadFileBytes(temp_.File("none.hmp")).size(), 84u + 36 + 4 * 17 * 9);

  EXPECT_EQ(Convert({raw, temp_.File("x.hmp"), "--size", "17x9", "--default-skin", "grey"}).status, 2);
  EXPECT_EQ(Convert({raw, temp_.File("x.png"), "--size", "17x9", "--default-skin", "none"}).status, 2);
  const std::string skin = Write("skin.bmp", Bmp(8, 8));
  EXPECT_EQ(
      Convert({raw, temp_.File("x.hmp"), "--size", "17x9", "--skin", skin, "--default-skin", "none"}).status,
      2);
  EXPECT_FALSE(std::filesystem::exists(temp_.File("x.hmp")));
}

// The reference terrain, 33 x 33 samples without skins, goes back as it
// came: 4476 bytes, no skin.
TEST_F(TerrainConvertTest, ReferenceTerrainGoesBackWithoutSkins) {
  const std::string reference = testsupport::SharedPath("corpus/hmp7/terrain.hmp");
  TOOLKIT_REQUIRE_SHARED(reference);
  ASSERT_EQ(Convert({reference, temp_.File("terrain.hmp")}).status, 0);
  const std::vector<uint8_t> back = testsupport::ReadFileBytes(temp_.File("terrain.hmp"));
  EXPECT_EQ(back.size(), 4476u);
  EXPECT_EQ(LoadU32(back, 48), 0u);
}

TEST_F(TerrainConvertTest, HmpWithoutExtensionIsKnownByItsMagic) {
  const std::string in = Write("terrainfile", SmallHmp({1, 2, 3, 4, 5, 6}));
  const auto result = Convert({in, temp_.File("o.r16")});
  ASSERT_EQ(result.status, 0) << result.err;
  // Picture rows run from the north: the second HMP row comes first.
  EXPECT_EQ(RawSamples(testsupport::ReadFileBytes(temp_.File("o.r16"))),
            (std::vector<uint16_t>{4, 5, 6, 1, 2, 3}));
}

TEST_F(TerrainConvertTest, SkinSidesNotMultiplesOfEightAreWarnedAbout) {
  const std::string in = Write("n.txt", {'0', ',', '1', ',', '2', ',', '3', ','});
  const auto odd =
      Convert({in, temp_.File("o.hmp"), "--size", "2x2", "--skin", Write("odd.bmp", Bmp(12, 6))});
  ASSERT_EQ(odd.status, 0) << odd.err;
  EXPECT_NE(odd.err.find("multiples of 8, such as 8 x 8 or 16 x 8"), std::string::npos) << odd.err;
  const auto even =
      Convert({in, temp_.File("o.hmp"), "--size", "2x2", "--skin", Write("even.bmp", Bmp(16, 8))});
  ASSERT_EQ(even.status, 0) << even.err;
  EXPECT_EQ(even.err, "");
}

TEST_F(TerrainConvertTest, HmpToHmpKeepsSkinsOffsetsAndHeaderFields) {
  // SmallHmp's grid with offsets -80, -80, -100, a last header field of 7 and
  // one 2 x 1 skin of type 4 (24-bit).
  ByteBuilder b;
  b.Text("HMP7", 4).I32(0).F32(1.0f).F32(1.0f).F32(0.5f).F32(-80.0f).F32(-80.0f).F32(-100.0f).U32(0);
  b.F32(2.0f).F32(2.0f).F32(3.0f).I32(1).I32(0).I32(0).I32(6).I32(0).I32(1).I32(0).I32(0).I32(7);
  b.I32(4).I32(2).I32(1).U8(10).U8(20).U8(30).U8(40).U8(50).U8(60);
  b.I32(2).U16(0).U16(0).U16(0).U8(255).U8(0).U16(65535).U16(65535).U16(65535).U8(255).U8(0);
  b.Text("terrain", 16);
  for (uint16_t p : {1, 2, 3, 4, 5, 6}) b.U16(p).U8(0).U8(0);
  const std::vector<uint8_t> in = b.Data();
  for (const std::string& out : {temp_.File("out.hmp"), temp_.File("in.hmp")}) {
    SCOPED_TRACE(out);
    const auto result = Convert({Write("in.hmp", in), out});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<uint8_t> written = testsupport::ReadFileBytes(out);
    ASSERT_EQ(written.size(), in.size());
    // Scales, offsets and params (bytes 8 to 48), the last field, the skin.
    EXPECT_TRUE(std::equal(in.begin() + 8, in.begin() + 48, written.begin() + 8));
    EXPECT_EQ(LoadU32(written, 80), 7u);
    EXPECT_TRUE(std::equal(in.begin() + 84, in.begin() + 102, written.begin() + 84));
    EXPECT_EQ(LastHeights(written, 6), (std::vector<uint16_t>{1, 2, 3, 4, 5, 6}));
  }
}

}  // namespace
