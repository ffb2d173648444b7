// OBJ meshes of terrains: where vertices, normals and texture coordinates
// go, which way the faces turn, and the files written beside the mesh.
#include "terrain/obj_mesh.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/file_fault_injector.h"
#include "support/byte_builder.h"
#include "support/temp_dir_fixture.h"
#include "support/terrain_assertions.h"

namespace {

using Numbers = std::vector<std::array<double, 3>>;
using testsupport::Succeeded;

// The lines of an OBJ file, by their first word.
struct ObjFile {
  Numbers v, vn, vt;
  std::vector<std::array<int, 3>> faces;  // vertex numbers from 1
  std::string mtllib;
};

ObjFile Parse(const std::string& path) {
  const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(path);
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  ObjFile obj;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string word;
    words >> word;
    std::array<double, 3> n = {0, 0, 0};
    if (word == "v" || word == "vn" || word == "vt") {
      words >> n[0] >> n[1];
      if (word != "vt") words >> n[2];
      (word == "v" ? obj.v : word == "vn" ? obj.vn : obj.vt).push_back(n);
    } else if (word == "f") {
      std::array<int, 3> face = {0, 0, 0};
      for (int& corner : face) {
        std::string c;
        words >> c;
        corner = std::stoi(c);
        EXPECT_EQ(c, std::to_string(corner) + "/" + std::to_string(corner) + "/" + std::to_string(corner));
      }
      obj.faces.push_back(face);
    } else if (word == "mtllib") {
      words >> obj.mtllib;
    }
  }
  return obj;
}

std::string Text(const std::string& path) {
  const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

terrain::TerrainGrid Grid(int32_t columns, int32_t rows, double spacingX, double spacingY) {
  terrain::TerrainGrid grid;
  grid.columns = columns;
  grid.rows = rows;
  grid.spacingX = spacingX;
  grid.spacingY = spacingY;
  grid.heights.assign(static_cast<size_t>(columns * rows), 0.0);
  return grid;
}

class ObjMeshTest : public testsupport::TempDirFixture {
 protected:
  void TearDown() override { platform::FileFaultInjector::Reset(); }
  // The names in the folder, temporary files among them.
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(temp_.Path())) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }
  terrain::TerrainResult result_;
};

TEST_F(ObjMeshTest, VerticesAndTextureCoordinatesOfAGridThatIsNotSquare) {
  // 5 columns spaced 2 east, 3 rows spaced 10 north; height 100000 x row +
  // column / 4, up to nine digits.
  terrain::TerrainGrid grid = Grid(5, 3, 2.0, 10.0);
  for (int32_t y = 0; y < 3; ++y) {
    for (int32_t x = 0; x < 5; ++x) grid.heights[grid.Index(x, y)] = 100000.0 * y + x / 4.0;
  }
  ASSERT_TRUE(Succeeded(terrain::WriteObjMesh(grid, nullptr, temp_.File("t.obj"))));
  const ObjFile obj = Parse(temp_.File("t.obj"));
  EXPECT_NE(Text(temp_.File("t.obj")).find("\nv 0 0 0\n"), std::string::npos);  // no -0
  ASSERT_EQ(obj.v.size(), 15u);
  ASSERT_EQ(obj.vt.size(), 15u);
  for (int32_t y = 0; y < 3; ++y) {
    for (int32_t x = 0; x < 5; ++x) {
      const size_t i = static_cast<size_t>(y * 5 + x);
      EXPECT_EQ(obj.v[i], (std::array<double, 3>{2.0 * x, 100000.0 * y + x / 4.0, -10.0 * y}))
          << x << "," << y;
      EXPECT_EQ(obj.vt[i][0], x / 4.0) << x << "," << y;
      EXPECT_EQ(obj.vt[i][1], y / 2.0) << x << "," << y;
    }
  }
}

TEST_F(ObjMeshTest, FacesCoverEveryCellTurningCounterClockwiseSeenFromAbove) {
  terrain::TerrainGrid grid = Grid(3, 2, 1.0, 1.0);
  ASSERT_TRUE(Succeeded(terrain::WriteObjMesh(grid, nullptr, temp_.File("t.obj"))));
  const ObjFile obj = Parse(temp_.File("t.obj"));
  ASSERT_EQ(obj.faces.size(), 4u);  // two triangles per cell, 2 cells
  double area = 0.0;
  for (const std::array<int, 3>& f : obj.faces) {
    const std::array<double, 3>&a = obj.v.at(f[0] - 1), &b = obj.v.at(f[1] - 1), &c = obj.v.at(f[2] - 1);
    // y of (b - a) x (c - a): positive when the turn is counter-clockwise from above.
    const double up = (b[2] - a[2]) * (c[0] - a[0]) - (b[0] - a[0]) * (c[2] - a[2]);
    EXPECT_GT(up, 0.0) << f[0] << " " << f[1] << " " << f[2];
    area += up / 2.0;
  }
  EXPECT_EQ(area, 2.0);  // the two unit cells, no triangle twice
}

TEST_F(ObjMeshTest, NormalsLeanAwayFromTheRise) {
  // Rising 1 per unit north: the normal leans south (+z), (0, 1, 1) / sqrt 2.
  terrain::TerrainGrid grid = Grid(2, 3, 1.0, 1.0);
  for (int32_t y = 0; y < 3; ++y) grid.heights[grid.Index(0, y)] = grid.heights[grid.Index(1, y)] = y;
  ASSERT_TRUE(Succeeded(terrain::WriteObjMesh(grid, nullptr, temp_.File("n.obj"))));
  const ObjFile obj = Parse(temp_.File("n.obj"));
  ASSERT_EQ(obj.vn.size(), 6u);
  for (const std::array<double, 3>& n : obj.vn) {
    EXPECT_NEAR(n[0], 0.0, 1e-9);
    EXPECT_NEAR(n[1], std::sqrt(0.5), 1e-8);
    EXPECT_NEAR(n[2], std::sqrt(0.5), 1e-8);
  }
  // Rising east: the normal leans west (-x).
  for (int32_t y = 0; y < 3; ++y) grid.heights[grid.Index(1, y)] = 1.0, grid.heights[grid.Index(0, y)] = 0.0;
  ASSERT_TRUE(Succeeded(terrain::WriteObjMesh(grid, nullptr, temp_.File("n.obj"))));
  EXPECT_NEAR(Parse(temp_.File("n.obj")).vn.at(0)[0], -std::sqrt(0.5), 1e-8);
}

TEST_F(ObjMeshTest, MaterialAndTextureAreNamedAfterTheMesh) {
  terrain::TerrainGrid grid = Grid(2, 2, 1.0, 1.0);
  ASSERT_TRUE(Succeeded(terrain::WriteObjMesh(grid, nullptr, temp_.File("Plain.v2.obj"))));
  EXPECT_EQ(Parse(temp_.File("Plain.v2.obj")).mtllib, "Plain.v2.mtl");
  const std::string plain = Text(temp_.File("Plain.v2.mtl"));
  EXPECT_NE(plain.find("newmtl Plain.v2\n"), std::string::npos) << plain;
  EXPECT_NE(plain.find("Kd 0.8 0.8 0.8\n"), std::string::npos) << plain;
  EXPECT_EQ(plain.find("map_Kd"), std::string::npos) << plain;
  EXPECT_TRUE(testsupport::ReadFileBytes(temp_.File("Plain.v2.png")).empty());

  const terrain::ObjTexture texture{2, 1, {255, 0, 0, 255, 0, 0, 255, 128}, ""};
  ASSERT_TRUE(Succeeded(terrain::WriteObjMesh(grid, &texture, temp_.File("Skin.obj"))));
  const std::string skin = Text(temp_.File("Skin.mtl"));
  EXPECT_NE(skin.find("Kd 1 1 1\n"), std::string::npos) << skin;
  EXPECT_NE(skin.find("map_Kd Skin.png\n"), std::string::npos) << skin;
  const std::vector<uint8_t> png = testsupport::ReadFileBytes(temp_.File("Skin.png"));
  ASSERT_GE(png.size(), 26u);
  EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
  EXPECT_EQ(png[16 + 3], 2);  // width 2
  EXPECT_EQ(png[25], 6);      // colour with alpha

  // A texture that names its own file leaves the mesh's NAME.png alone.
  terrain::ObjTexture named = texture;
  named.fileName = "Skin_texture.png";
  ASSERT_TRUE(Succeeded(terrain::WriteObjMesh(grid, &named, temp_.File("Skin.obj"))));
  EXPECT_NE(Text(temp_.File("Skin.mtl")).find("map_Kd Skin_texture.png\n"), std::string::npos);
  EXPECT_EQ(testsupport::ReadFileBytes(temp_.File("Skin_texture.png")), png);
  EXPECT_EQ(testsupport::ReadFileBytes(temp_.File("Skin.png")), png);
}

// The mesh, its material and its texture take their names together or not
// at all: a failure of any of them leaves no new file behind, not even a
// temporary one, and earlier files keep their bytes.
TEST_F(ObjMeshTest, FilesTakeTheirNamesAllOrNone) {
  using platform::FileFaultInjector;
  const terrain::TerrainGrid grid = Grid(3, 3, 1.0, 1.0);
  const terrain::ObjTexture texture{1, 1, {1, 2, 3, 255}, ""};
  // The mesh's name is taken by a folder, which fails only after the
  // texture and material are written.
  std::filesystem::create_directory(temp_.File("t.obj"));
  EXPECT_FALSE(result_ = terrain::WriteObjMesh(grid, &texture, temp_.File("t.obj")));
  EXPECT_EQ(result_.Text().find(temp_.File("t.obj") + ": "), 0u) << result_.Text();
  EXPECT_EQ(Names(), std::set<std::string>{"t.obj"});

  // Earlier files keep their bytes: a mesh that cannot be flushed (the
  // third flush, after the texture's and the material's) moves nothing.
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  for (const char* name : {"m.obj", "m.mtl", "m.png"})
    ASSERT_TRUE(testsupport::WriteFileBytes(temp_.File(name), old));
  FileFaultInjector::FailCall(FileFaultInjector::Operation::kSync, 3);
  EXPECT_FALSE(terrain::WriteObjMesh(grid, &texture, temp_.File("m.obj")));
  FileFaultInjector::Reset();
  for (const char* name : {"m.obj", "m.mtl", "m.png"})
    EXPECT_EQ(testsupport::ReadFileBytes(temp_.File(name)), old) << name;

  // The material's move refused once the texture has moved: the new
  // texture goes again.
  FileFaultInjector::FailCall(FileFaultInjector::Operation::kReplace, 2);
  EXPECT_FALSE(result_ = terrain::WriteObjMesh(grid, &texture, temp_.File("n.obj")));
  FileFaultInjector::Reset();
  EXPECT_EQ(result_.Text().find(temp_.File("n.mtl") + ": "), 0u) << result_.Text();
  EXPECT_EQ(Names(), (std::set<std::string>{"t.obj", "m.obj", "m.mtl", "m.png"}));
}

TEST_F(ObjMeshTest, AFolderThatIsNotThereIsRefused) {
  terrain::TerrainGrid grid = Grid(2, 2, 1.0, 1.0);
  EXPECT_FALSE(result_ = terrain::WriteObjMesh(grid, nullptr, temp_.File("none/t.obj")));
  EXPECT_EQ(result_.Text().find(temp_.File("none/t.mtl")), 0u) << result_.Text();
}

}  // namespace
