// modelview: its pictures of small known models, the corpus models, and its
// refusal of damaged files.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "modelfiles/mdl7_layout.h"
#include "modelfiles/mdl7w.h"
#include "modelfiles/model_file_opener.h"
#include "render/model_mesh.h"
#include "render/model_render.h"
#include "support/byte_builder.h"
#include "support/run_program.h"
#include "support/shared_data.h"
#include "support/temp_dir_fixture.h"

namespace {

using noise::utils::ImageGrid;
using noise::utils::PixelColor;
using testsupport::ByteBuilder;

// Reads `bytes` as a model and draws its first frame into a clear
// `size` x `size` picture.
void DrawModel(const std::vector<uint8_t>& bytes, int size, ImageGrid& image) {
  modelfiles::ModelOpenResult opened = modelfiles::OpenModelBytes(bytes.data(), bytes.size());
  ASSERT_EQ(opened.status, modelfiles::ModelOpenStatus::kOpened) << opened.reason.Text();
  render::ModelMesh mesh;
  std::string error;
  ASSERT_TRUE(render::ReadModelMesh(*opened.reader, mesh, error)) << error;
  image.Resize(size, size);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) image.RowData(y)[x] = PixelColor(0, 0, 0, 0);
  }
  render::ModelRenderer().Draw(mesh, 0, render::ModelRenderer::FrameBounds(mesh, 0), image, 0, 0, size, size);
}

// Two squares facing +x, the model's front, both across y and z from -1 to
// 1: a red one at x = 1 and a blue one at x = -1, the far one written last.
// The view through the picture's centre passes through the model's centre,
// coming from +x, +y and above, so it crosses both squares (at y = z = 0.70
// and -0.70): the red one is in front there.
std::vector<uint8_t> TwoSquaresMdl7() {
  modelfiles::MDL7W writer;
  EXPECT_TRUE(writer.OpenInMemory());
  EXPECT_TRUE(writer.BeginGroup("squares"));
  EXPECT_TRUE(writer.BeginSkin(4, "colours"));  // 24-bit: blue, green, red bytes
  writer.SetSkinImage(2, 1, 3, false);
  const uint8_t texels[6] = {0, 0, 255, 255, 0, 0};  // red, then blue
  EXPECT_TRUE(writer.WriteSkinImage(texels, nullptr, nullptr, nullptr));
  EXPECT_TRUE(writer.FinishSkin());
  EXPECT_TRUE(writer.AddTexCoord(0.25f, 0.5f));
  EXPECT_TRUE(writer.AddTexCoord(0.75f, 0.5f));
  for (uint16_t square = 0; square < 2; ++square) {
    const uint16_t v = static_cast<uint16_t>(4 * square);
    EXPECT_TRUE(writer.AddTriangle(v, v + 1, v + 2, square, square, square, 0));
    EXPECT_TRUE(writer.AddTriangle(v, v + 2, v + 3, square, square, square, 0));
  }
  for (float x : {1.0f, -1.0f}) {
    const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (const auto& yz : corners) {
      EXPECT_TRUE(writer.AddVertex(x, yz[0], yz[1], modelfiles::MDL7W::kNoBone, 1, 0, 0));
    }
  }
  EXPECT_TRUE(writer.FinishGroup());
  EXPECT_TRUE(writer.Close());
  return writer.MemoryBytes();
}

TEST(ModelRenderTest, NearerSquareHidesFartherOneInsideAnOpaqueSilhouette) {
  ImageGrid image;
  DrawModel(TwoSquaresMdl7(), 64, image);
  // The fitted box keeps a margin: the corners stay transparent.
  const int corners[4][2] = {{0, 0}, {63, 0}, {0, 63}, {63, 63}};
  for (const auto& corner : corners) {
    EXPECT_EQ(image.RowData(corner[1])[corner[0]].alpha, 0) << corner[0] << ", " << corner[1];
  }
  // Worked by hand: the view's right is (-0.574, 0.819, 0) and its up
  // (-0.410, -0.287, 0.866); the box spans 1.393 across and 1.562 up from
  // its centre, so 28.8 pixels take 18.43 units. Pixel (54, 57) sees (1.22,
  // 1.38), above the blue square's top edge (1.05 there) but inside the box
  // around its upper triangle.
  EXPECT_EQ(image.RowData(57)[54].alpha, 0);
  const PixelColor centre = image.RowData(32)[32];
  EXPECT_EQ(centre.alpha, 255);
  EXPECT_GT(centre.red, 60);
  EXPECT_EQ(centre.blue, 0);
  EXPECT_EQ(centre.green, 0);
  // The blue square shows where the red one does not cover it: its lowest
  // corner (x = -1, y = z = -1) lies below every corner of the red one.
  int blue = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) blue += image.RowData(y)[x].blue > 60 ? 1 : 0;
  }
  EXPECT_GT(blue, 0);
}

TEST(ModelMeshTest, RefusesAFrameThatMovesAVertexPastItsGroup) {
  // Two groups of three vertices: group 0's frame names vertex 3, one past
  // its own, which would otherwise move group 1's first vertex.
  modelfiles::MDL7W writer;
  ASSERT_TRUE(writer.OpenInMemory());
  for (const char* name : {"first", "second"}) {
    ASSERT_TRUE(writer.BeginGroup(name));
    ASSERT_TRUE(writer.AddTriangle(0, 1, 2, 0, 0, 0, 0));
    for (float x : {0.0f, 1.0f, 2.0f}) {
      ASSERT_TRUE(writer.AddVertex(x, 0, 0, modelfiles::MDL7W::kNoBone, 1, 0, 0));
    }
    ASSERT_TRUE(writer.BeginFrame("moved"));
    ASSERT_TRUE(writer.AddFrameVertex(name[0] == 'f' ? 3 : 2, 5, 5, 5, 1, 0, 0));
    ASSERT_TRUE(writer.FinishFrame());
    ASSERT_TRUE(writer.FinishGroup());
  }
  ASSERT_TRUE(writer.Close());
  const std::vector<uint8_t> bytes = writer.MemoryBytes();
  modelfiles::ModelOpenResult opened = modelfiles::OpenModelBytes(bytes.data(), bytes.size());
  ASSERT_EQ(opened.status, modelfiles::ModelOpenStatus::kOpened) << opened.reason.Text();
  render::ModelMesh mesh;
  std::string error;
  EXPECT_FALSE(render::ReadModelMesh(*opened.reader, mesh, error));
  EXPECT_NE(error.find("moves vertex 3 outside the 3 vertices"), std::string::npos) << error;
}

TEST(ModelMeshTest, RefusesATriangleCornerItsRecordIsTooShortToHold) {
  // A triangle size of 0 in the header: the reader hands out corners of 0,
  // which name no vertex in a group that has none.
  modelfiles::MDL7W writer;
  ASSERT_TRUE(writer.OpenInMemory());
  ASSERT_TRUE(writer.BeginGroup("empty"));
  ASSERT_TRUE(writer.AddTriangle(0, 0, 0, 0, 0, 0, 0));
  ASSERT_TRUE(writer.FinishGroup());
  ASSERT_TRUE(writer.Close());
  std::vector<uint8_t> bytes = writer.MemoryBytes();
  bytes[modelfiles::mdl7::kHeaderTriangleSize] = 0;
  bytes[modelfiles::mdl7::kHeaderTriangleSize + 1] = 0;
  modelfiles::ModelOpenResult opened = modelfiles::OpenModelBytes(bytes.data(), bytes.size());
  ASSERT_EQ(opened.status, modelfiles::ModelOpenStatus::kOpened) << opened.reason.Text();
  render::ModelMesh mesh;
  std::string error;
  EXPECT_FALSE(render::ReadModelMesh(*opened.reader, mesh, error));
  EXPECT_NE(error.find("triangle 0 names vertex 0 outside the 0 vertices"), std::string::npos) << error;
}

TEST(ModelRenderTest, DrawsOneModelOfEachFormatOfTheCorpus) {
  for (const char* file : {"corpus/idpo/bolt.mdl", "corpus/idp2/flag_10frames.md2", "corpus/mdl3/minigun.MDL",
                           "corpus/mdl5/phosphoric_acid.mdl", "corpus/mdl7/sphere_alpha90.mdl"}) {
    SCOPED_TRACE(file);
    const std::string path = testsupport::SharedPath(file);
    TOOLKIT_REQUIRE_SHARED(path);
    ImageGrid image;
    DrawModel(testsupport::ReadFileBytes(path), 64, image);
    int covered = 0;
    for (int y = 0; y < 64; ++y) {
      for (int x = 0; x < 64; ++x) covered += image.RowData(y)[x].alpha > 0 ? 1 : 0;
    }
    // A model fitted to its cell covers a good part of it, never all of it.
    EXPECT_GT(covered, 64 * 64 / 20);
    EXPECT_LT(covered, 64 * 64);
  }
}

// An IDPO model of one triangle: scale 1, origin 0, 3 vertices, one frame.
ByteBuilder OneTriangleIdpo(float scaleX, int32_t lastCorner) {
  ByteBuilder b;
  b.Text("IDPO", 4).I32(6).F32(scaleX).F32(1).F32(1).F32(0).F32(0).F32(0).F32(10);
  b.Fill(0, 12).I32(0).I32(8).I32(8).I32(3).I32(1).I32(1).I32(0).I32(0).F32(1);
  for (int i = 0; i < 3; ++i) b.I32(0).I32(0).I32(0);  // texture coordinates
  b.I32(1).I32(0).I32(1).I32(lastCorner);              // triangle
  b.I32(0).Fill(0, 4).Fill(255, 4).Text("still", 16);  // frame
  b.U8(0).U8(0).U8(0).U8(0).U8(10).U8(0).U8(0).U8(0).U8(0).U8(10).U8(10).U8(0);
  return b;
}

TEST(ModelRenderTest, DrawsTheMaterialColourAtItsOpacity) {
  // The sphere's one skin is a material: diffuse red 0.925, green 0, blue 1
  // and, in the ambient colour's alpha, opacity 0.9 (read from the file by
  // hand). 0.9 as a 32-bit float times 255 is 229.49999, so alpha 229.
  const std::string path = testsupport::SharedPath("corpus/mdl7/sphere_alpha90.mdl");
  TOOLKIT_REQUIRE_SHARED(path);
  ImageGrid image;
  DrawModel(testsupport::ReadFileBytes(path), 64, image);
  int covered = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const PixelColor p = image.RowData(y)[x];
      if (p.alpha == 0) continue;
      ++covered;
      ASSERT_EQ(p.alpha, 229) << x << ", " << y;
      ASSERT_EQ(p.green, 0) << x << ", " << y;
      ASSERT_GT(p.red, 0) << x << ", " << y;
      ASSERT_GE(p.blue, p.red) << x << ", " << y;
    }
  }
  EXPECT_GT(covered, 64 * 64 / 20);
}

// OneTriangleIdpo's triangle with one frame group of two frames: "first"
// places the corners at (0, 0, 0), (10, 0, 0) and (0, 10, 10), "second" all
// at (5, 5, 5).
std::vector<uint8_t> FrameGroupIdpo() {
  ByteBuilder b;
  b.Text("IDPO", 4).I32(6).F32(1).F32(1).F32(1).F32(0).F32(0).F32(0).F32(10);
  b.Fill(0, 12).I32(0).I32(8).I32(8).I32(3).I32(1).I32(1).I32(0).I32(0).F32(1);
  for (int i = 0; i < 3; ++i) b.I32(0).I32(0).I32(0);
  b.I32(1).I32(0).I32(1).I32(2);
  b.I32(1).I32(2).Fill(0, 4).Fill(255, 4).F32(0.1f).F32(0.2f);  // group of 2, box, intervals
  b.Fill(0, 4).Fill(255, 4).Text("first", 16);
  b.U8(0).U8(0).U8(0).U8(0).U8(10).U8(0).U8(0).U8(0).U8(0).U8(10).U8(10).U8(0);
  b.Fill(0, 4).Fill(255, 4).Text("second", 16);
  for (int i = 0; i < 3; ++i) b.U8(5).U8(5).U8(5).U8(0);
  return b.Data();
}

TEST(ModelMeshTest, AFrameGroupGivesItsFirstFrame) {
  const std::vector<uint8_t> bytes = FrameGroupIdpo();
  modelfiles::ModelOpenResult opened = modelfiles::OpenModelBytes(bytes.data(), bytes.size());
  ASSERT_EQ(opened.status, modelfiles::ModelOpenStatus::kOpened) << opened.reason.Text();
  render::ModelMesh mesh;
  std::string error;
  ASSERT_TRUE(render::ReadModelMesh(*opened.reader, mesh, error)) << error;
  ASSERT_EQ(mesh.frames.size(), 1u);
  EXPECT_EQ(mesh.frameNames[0], "first");
  ASSERT_EQ(mesh.frames[0].size(), 3u);
  EXPECT_EQ(mesh.frames[0][1].x, 10.0f);
  EXPECT_EQ(mesh.frames[0][2].y, 10.0f);
  EXPECT_EQ(mesh.frames[0][2].z, 10.0f);
}

class ModelviewTest : public testsupport::TempDirFixture {
 protected:
  testsupport::ProgramResult Modelview(const std::vector<std::string>& args) {
    return testsupport::RunProgram(MODELVIEW_PROGRAM, args, temp_.Path());
  }
};

TEST_F(ModelviewTest, WritesRgbaPngsOfAFrameOrASheetOfFrames) {
  const std::string model = temp_.File("triangle.mdl");
  ASSERT_TRUE(testsupport::WriteFileBytes(model, OneTriangleIdpo(1, 2).Data()));
  const std::string picture = temp_.File("triangle.png");
  testsupport::ProgramResult run = Modelview({model, picture, "--size", "40x30"});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<uint8_t> png = testsupport::ReadFileBytes(picture);
  ASSERT_GE(png.size(), 26u);
  EXPECT_EQ(png[1], 'P');
  // IHDR: big-endian width and height at 16 and 20, colour type 6 (RGBA).
  EXPECT_EQ(png[19], 40);
  EXPECT_EQ(png[23], 30);
  EXPECT_EQ(png[25], 6);

  // 10 frames: a grid of 4 columns and 3 rows.
  const std::string flag = testsupport::SharedPath("corpus/idp2/flag_10frames.md2");
  TOOLKIT_REQUIRE_SHARED(flag);
  run = Modelview({flag, picture, "--sheet", "--size", "20x10"});
  ASSERT_EQ(run.status, 0) << run.err;
  png = testsupport::ReadFileBytes(picture);
  ASSERT_GE(png.size(), 26u);
  EXPECT_EQ(png[19], 80);
  EXPECT_EQ(png[23], 30);
}

TEST_F(ModelviewTest, RefusesDamagedInputWithOneLineAndStatusOne) {
  const std::vector<uint8_t> whole = OneTriangleIdpo(1, 2).Data();
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  const std::vector<Case> cases = {
      {"vertex outside", OneTriangleIdpo(1, 3).Data()},
      {"not a number", OneTriangleIdpo(std::numeric_limits<float>::quiet_NaN(), 2).Data()},
      {"truncated frame", std::vector<uint8_t>(whole.begin(), whole.end() - 2)},
      {"unknown magic", std::vector<uint8_t>(100, 'x')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string model = temp_.File("damaged.mdl");
    ASSERT_TRUE(testsupport::WriteFileBytes(model, c.bytes));
    const testsupport::ProgramResult run = Modelview({model, temp_.File("damaged.png")});
    EXPECT_EQ(run.status, 1);
    ASSERT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
  // A file cut after its header: the reader's reason for the first skin.
  std::vector<uint8_t> header(whole.begin(), whole.begin() + 84);
  header[48] = 1;  // one skin
  const std::string cut = temp_.File("cut.mdl");
  ASSERT_TRUE(testsupport::WriteFileBytes(cut, header));
  const testsupport::ProgramResult refused = Modelview({cut, temp_.File("cut.png")});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err,
            "modelview: " + cut + ": skin 0 cannot be read: truncated at offset 84 (skin type)\n");

  // A frame past the last one.
  const std::string model = temp_.File("triangle.mdl");
  ASSERT_TRUE(testsupport::WriteFileBytes(model, whole));
  const testsupport::ProgramResult run = Modelview({model, temp_.File("x.png"), "--frame", "1"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
}

TEST_F(ModelviewTest, UsageErrorsAndOtherPictureFormatsExitTwoWritingNothing) {
  const std::string model = temp_.File("triangle.mdl");
  ASSERT_TRUE(testsupport::WriteFileBytes(model, OneTriangleIdpo(1, 2).Data()));
  const std::vector<std::vector<std::string>> cases = {
      {model, temp_.File("triangle.bmp")},
      {model, temp_.File("triangle.png"), "--frame", "0", "--sheet"},
      {model, temp_.File("triangle.png"), "--size", "5000x10"},
      {model, temp_.File("triangle.png"), "--colour"},
      {model},
  };
  for (const std::vector<std::string>& args : cases) {
    const testsupport::ProgramResult run = Modelview(args);
    EXPECT_EQ(run.status, 2) << args.back() << ": " << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
  EXPECT_NE(Modelview({model, temp_.File("triangle.bmp")}).err.find(".png"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(temp_.File("triangle.bmp")));
  EXPECT_FALSE(std::filesystem::exists(temp_.File("triangle.png")));
}

}  // namespace
