// modelinfo over files the toolkit's writers make, and over broken ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "modelfiles/mdl7w.h"
#include "support/byte_builder.h"
#include "support/run_program.h"
#include "support/temp_dir_fixture.h"

namespace {

using testsupport::ByteBuilder;
using testsupport::RunProgram;

class ModelinfoTest : public testsupport::TempDirFixture {
 protected:
  // An MDL7 model of one group named "hull" with one skin, three vertices,
  // one triangle and two frames, made by the model file library's writer.
  std::string WriteModel() {
    const std::string path = temp_.File("hull.mdl");
    modelfiles::MDL7W writer;
    EXPECT_GE(writer.Open(path.c_str()), 0);
    EXPECT_TRUE(writer.BeginGroup("hull"));
    const std::vector<uint8_t> pixels(4 * 2 * 3, 0x40);
    EXPECT_TRUE(writer.BeginSkin(4, "paint"));
    writer.SetSkinImage(4, 2, 3, false);
    EXPECT_TRUE(writer.WriteSkinImage(pixels.data(), nullptr, nullptr, nullptr));
    EXPECT_TRUE(writer.FinishSkin());
    EXPECT_TRUE(writer.AddTriangle(0, 1, 2, 0xFFFF, 0xFFFF, 0xFFFF, 0));
    for (int i = 0; i < 3; ++i) {
      EXPECT_TRUE(writer.AddVertex(static_cast<float>(i), 0.0f, 1.0f, modelfiles::MDL7W::kNoBone, 0, 0, 1));
    }
    for (const char* name : {"stand", "walk"}) {
      EXPECT_TRUE(writer.BeginFrame(name));
      EXPECT_TRUE(writer.FinishFrame());
    }
    EXPECT_TRUE(writer.FinishGroup());
    EXPECT_TRUE(writer.Close());
    return path;
  }

  // An HMP7 terrain of 3 x 2 vertices with one blank 2 x 2 skin.
  std::vector<uint8_t> Terrain() {
    ByteBuilder b;
    b.Text("HMP7", 4).I32(0).F32(1).F32(1).F32(0.25f).F32(0).F32(0).F32(-1);
    b.I32(0).F32(4).F32(4).F32(3);
    b.I32(1).I32(0).I32(0).I32(6).I32(0).I32(1).I32(0).I32(0).I32(0);
    b.I32(0).I32(2).I32(2).Fill(0, 4);
    b.I32(2).Fill(0, 6).U8(255).U8(0).U16(65535).U16(65535).U16(65535).U8(255).U8(0).Text("land", 16);
    for (int v = 0; v < 6; ++v) b.U16(static_cast<uint16_t>(v)).U8(0).U8(0);
    return b.Data();
  }

  // An IDPO model laid out by hand: the 84-byte header, one 2 x 2 skin at
  // 84, three texture coordinates at 92, `triangles` triangles at 128 (one
  // is stored) and two frames of type `frameType` at 144 and 184, each a
  // 28-byte header and three 4-byte vertices; 224 bytes.
  std::vector<uint8_t> Idpo(int32_t triangles, int32_t frameType) {
    ByteBuilder b;
    b.Text("IDPO", 4).I32(6).F32(1).F32(1).F32(1).Fill(0, 12).F32(1).Fill(0, 12);
    b.I32(1).I32(2).I32(2).I32(3).I32(triangles).I32(2).I32(0).I32(0).I32(0);
    b.I32(0).Fill(0, 4).Fill(0, 36).I32(1).I32(0).I32(1).I32(2);
    for (const char* name : {"f0", "f1"}) b.I32(frameType).Fill(0, 8).Text(name, 16).Fill(0, 12);
    return b.Data();
  }

  testsupport::ProgramResult Modelinfo(const std::vector<std::string>& args) {
    return RunProgram(MODELINFO_PROGRAM, args, temp_.Path());
  }
};

TEST_F(ModelinfoTest, DescribesAWrittenModelLineByLine) {
  const std::string model = WriteModel();
  const auto result = Modelinfo({model});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  const std::string& out = result.out;
  EXPECT_NE(out.find(model + ": MDL7 model, "), std::string::npos) << out;
  EXPECT_NE(out.find("counts: bones 0, groups 1, skins 1, texCoords 0, triangles 1, vertices 3, frames 2"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("group 0: type 1, name \"hull\", skins 1"), std::string::npos) << out;
  EXPECT_NE(out.find("skin 0: group 0, type 4, name \"paint\", width 4, height 2, bytesPerPixel 3"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("frame 1: group 0, name \"walk\""), std::string::npos) << out;
  EXPECT_NE(out.find("walk: reaches the end of the records at byte " +
                     std::to_string(testsupport::ReadFileBytes(model).size()) + ", the end of the file"),
            std::string::npos)
      << out;
}

TEST_F(ModelinfoTest, JsonCarriesTheSameFieldsForScripts) {
  const std::string model = WriteModel();
  const std::string terrain = temp_.File("land.hmp");
  ASSERT_TRUE(testsupport::WriteFileBytes(terrain, Terrain()));
  const auto result = Modelinfo({"--json", model, terrain});
  ASSERT_EQ(result.status, 0) << result.err;
  const std::string& out = result.out;
  EXPECT_EQ(out.front(), '[');
  EXPECT_EQ(out.substr(out.size() - 2), "]\n");
  EXPECT_NE(
      out.find("\"groups\": [{\"index\": 0, \"type\": 1, \"name\": \"hull\", \"skins\": 1, \"texCoords\": 0, "
               "\"triangles\": 1, \"vertices\": 3, \"frames\": 2"),
      std::string::npos)
      << out;
  EXPECT_NE(out.find("\"format\": \"HMP7 terrain\""), std::string::npos) << out;
  EXPECT_NE(
      out.find("\"counts\": {\"skins\": 1, \"vertices\": 6, \"frames\": 1, \"columns\": 3, \"rows\": 2}"),
      std::string::npos)
      << out;
  EXPECT_NE(out.find("\"scale\": [1, 1, 0.25]"), std::string::npos) << out;
  EXPECT_NE(out.find("\"frames\": [{\"index\": 0, \"type\": 2, \"name\": \"land\""), std::string::npos)
      << out;
  EXPECT_NE(out.find("\"walk\": {\"complete\": true, \"end\": " + std::to_string(Terrain().size()) +
                     ", \"trailingBytes\": 0}"),
            std::string::npos)
      << out;
}

TEST_F(ModelinfoTest, EachFrameHasTheBoundsOfItsPositions) {
  // Scale (2, 0.5, 1) and origin (1, -1, 0.25); frame 0 packs (1, 2, 3),
  // (4, 0, 1) and (0, 8, 2), frame 1 three zeros. By hand: frame 0 spans
  // x 1..9, y -1..3, z 1.25..3.25; frame 1 is the origin.
  std::vector<uint8_t> model = Idpo(1, 0);
  const std::vector<uint8_t> header = ByteBuilder().F32(2).F32(0.5f).F32(1).F32(1).F32(-1).F32(0.25f).Data();
  std::copy(header.begin(), header.end(), model.begin() + 8);
  const uint8_t packed[12] = {1, 2, 3, 0, 4, 0, 1, 0, 0, 8, 2, 0};
  std::copy(std::begin(packed), std::end(packed), model.begin() + 172);
  const std::string path = temp_.File("box.mdl");
  ASSERT_TRUE(testsupport::WriteFileBytes(path, model));
  const auto text = Modelinfo({path});
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_NE(
      text.out.find("frame 0: name \"f0\", vertices 3, offset 144, min (1, -1, 1.25), max (9, 3, 3.25)\n"),
      std::string::npos)
      << text.out;
  EXPECT_NE(
      text.out.find("frame 1: name \"f1\", vertices 3, offset 184, min (1, -1, 0.25), max (1, -1, 0.25)\n"),
      std::string::npos)
      << text.out;
  const auto json = Modelinfo({"--json", path});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_NE(json.out.find("\"offset\": 144, \"min\": [1, -1, 1.25], \"max\": [9, 3, 3.25]}"),
            std::string::npos)
      << json.out;
}

TEST_F(ModelinfoTest, BrokenFilesGiveOneLineAndAFailureStatus) {
  const std::vector<uint8_t> model = testsupport::ReadFileBytes(WriteModel());
  const std::vector<uint8_t> terrain = Terrain();
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* says;
  };
  const Case cases[] = {
      {"cut.mdl", std::vector<uint8_t>(model.begin(), model.end() - 5), "truncated"},
      {"cut.hmp", std::vector<uint8_t>(terrain.begin(), terrain.end() - 1), "truncated"},
      {"header.hmp", std::vector<uint8_t>(terrain.begin(), terrain.begin() + 40), "truncated"},
      {"three.bin", {'M', 'D', 'L'}, "truncated at offset 0"},
      {"other.bin", ByteBuilder().Text("WAD2", 4).Fill(0, 100).Data(), "unsupported format \"WAD2\""},
  };
  for (const Case& c : cases) {
    const std::string path = temp_.File(c.name);
    ASSERT_TRUE(testsupport::WriteFileBytes(path, c.bytes));
    const auto result = Modelinfo({path});
    EXPECT_EQ(result.status, 1) << c.name;
    EXPECT_EQ(result.out, "") << c.name;
    EXPECT_EQ(result.err.find("modelinfo: " + path + ": "), 0u) << result.err;
    EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << "one line: " << result.err;
  }
  // Every prefix of the model: never a crash, always a verdict.
  for (size_t size = 0; size < model.size(); size += 7) {
    const std::string path = temp_.File("prefix.mdl");
    ASSERT_TRUE(testsupport::WriteFileBytes(
        path, std::vector<uint8_t>(model.begin(), model.begin() + static_cast<long>(size))));
    const auto result = Modelinfo({path});
    EXPECT_TRUE(result.status == 0 || result.status == 1) << size << ": " << result.err;
    if (result.status == 1) {
      // One line of its own, not a sanitizer's report.
      EXPECT_EQ(result.err.find("modelinfo: "), 0u) << result.err;
      EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    } else {
      EXPECT_EQ(result.err, "") << size;
    }
  }
  const auto missing = Modelinfo({temp_.File("missing.mdl"), "--json"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("\"error\": \"cannot open"), std::string::npos) << missing.out;
  EXPECT_EQ(Modelinfo({}).status, 2);
  EXPECT_EQ(Modelinfo({"--jsn", temp_.File("missing.mdl")}).status, 2);
  const auto help = Modelinfo({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("  --json  print the same as one JSON array"), std::string::npos) << help.out;
}

TEST_F(ModelinfoTest, TheReaderReasonNamesTheRecordAndItsOffset) {
  const std::vector<uint8_t> model = Idpo(1, 0);
  ASSERT_EQ(model.size(), 224u);
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    int status;
    const char* says;  // the error line after the path, or a walk line
  };
  const Case cases[] = {
      // Frame 1's third vertex (at 220) is cut off: the file is refused.
      {"cut.mdl", std::vector<uint8_t>(model.begin(), model.end() - 4), 1,
       "frame 1: truncated at offset 220"},
      {"header.mdl", std::vector<uint8_t>(model.begin(), model.begin() + 60), 1,
       "not a readable IDPO file: truncated at offset 0"},
      // A frame group of no frames or a negative count ends the walk, the
      // file is still described.
      {"group.mdl", Idpo(1, 1), 0,
       "  walk: stops at byte 144: frame 0: malformed frame group count at offset 148\n"},
      {"count.mdl", Idpo(-1, 0), 0, "  walk: stops at byte 128: malformed triangle count at offset 64\n"},
  };
  for (const Case& c : cases) {
    const std::string path = temp_.File(c.name);
    ASSERT_TRUE(testsupport::WriteFileBytes(path, c.bytes));
    const auto result = Modelinfo({path});
    EXPECT_EQ(result.status, c.status) << c.name << ": " << result.err;
    if (c.status == 1) {
      EXPECT_EQ(result.err.find("modelinfo: " + path + ": " + c.says), 0u) << result.err;
    } else {
      EXPECT_EQ(result.err, "") << c.name;
      EXPECT_NE(result.out.find(c.says), std::string::npos) << result.out;
    }
  }
}

}  // namespace
