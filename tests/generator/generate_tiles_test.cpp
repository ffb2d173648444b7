// The one-thread tile loop over a recording module: tiles in order, rows from
// the lower edges, at the positions the builder reaches.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <string>
#include <utility>

#include "generator/duneforge_run.h"
#include "generator/height_array_writer.h"
#include "support/recording_module.h"
#include "support/temp_dir_fixture.h"

namespace {

using duneforge::CommandSettings;
using duneforge::ComputeTileBounds;
using duneforge::HeightArrayWriter;
using duneforge::TileBounds;

std::string ViaStream(float value) {
  std::ostringstream out;
  out << value;
  return out.str();
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class GenerateTilesTest : public testsupport::TempDirFixture {
 protected:
  // Runs GenerateTiles over `module` and returns what it appended.
  std::string Generate(const CommandSettings& s, const noise::module::Module& module) {
    noise::utils::HeightGrid grid;
    noise::utils::NoiseMapBuilderPlane builder;
    builder.AttachModule(module);
    builder.SetDestGrid(grid);
    builder.SetGridSize(s.tileWidth, s.tileHeight);
    const std::string path = temp_.File("noise_arr.txt");
    std::remove(path.c_str());
    HeightArrayWriter out;
    EXPECT_TRUE(out.Open(path));
    duneforge::GenerateTiles(s, builder, grid, out);
    out.Close();
    return ReadText(path);
  }
};

TEST_F(GenerateTilesTest, TilesInOrderRowsFromLowerEdges) {
  CommandSettings s;
  s.tilesX = 3;
  s.tilesZ = 2;
  s.tileWidth = 4;
  s.tileHeight = 2;
  s.lowerX = 0.0f;
  s.upperX = 12.0f;
  s.lowerZ = 0.0f;
  s.upperZ = 8.0f;
  testsupport::RecordingModule module;
  const std::string text = Generate(s, module);

  // Expected: per tile (x fastest), per row from lower z, per column from
  // lower x, at the positions the builder reaches by repeated addition.
  std::string expected;
  size_t call = 0;
  ASSERT_EQ(module.Calls().size(), 6u * 8u);
  for (int t = 0; t < 6; ++t) {
    const TileBounds b = ComputeTileBounds(s, t % 3, t / 3);
    EXPECT_EQ(b.lowerX, 4.0 * (t % 3));
    EXPECT_EQ(b.lowerZ, 4.0 * (t / 3));
    double z = b.lowerZ;
    for (int row = 0; row < 2; ++row, z += (b.upperZ - b.lowerZ) / 2) {
      double x = b.lowerX;
      for (int column = 0; column < 4; ++column, x += (b.upperX - b.lowerX) / 4, ++call) {
        EXPECT_EQ(module.Calls()[call].x, x);
        EXPECT_EQ(module.Calls()[call].z, z);
        expected += ViaStream(static_cast<float>(testsupport::RecordingModule::Value(x, 0, z))) + ",";
      }
    }
  }
  EXPECT_EQ(text, expected);
}

TEST_F(GenerateTilesTest, CountsBelowOneMeanNoTileAndBadBoundsThrowFirst) {
  testsupport::RecordingModule module;
  CommandSettings s;
  s.tileWidth = 2;
  s.tileHeight = 2;
  s.upperX = 1.0f;
  s.upperZ = 1.0f;
  for (auto counts : {std::pair<int32_t, int32_t>{0, 5}, {5, 0}, {-2, 3}, {-2, -3}, {INT32_MIN, INT32_MIN}}) {
    s.tilesX = counts.first;
    s.tilesZ = counts.second;
    EXPECT_EQ(Generate(s, module), "");
  }
  EXPECT_TRUE(module.Calls().empty());

  s.tilesX = 2;
  s.tilesZ = 1;
  s.upperX = 0.0f;
  EXPECT_THROW(Generate(s, module), noise::ExceptionInvalidParam);
  // 65536 x 65536 tiles: a 32-bit product would wrap to 0 and build no tile.
  s.tilesX = 65536;
  s.tilesZ = 65536;
  EXPECT_THROW(Generate(s, module), noise::ExceptionInvalidParam);
  s.upperX = 1.0f;
  s.lowerZ = std::numeric_limits<float>::quiet_NaN();
  EXPECT_THROW(Generate(s, module), noise::ExceptionInvalidParam);
  EXPECT_TRUE(module.Calls().empty());
}

}  // namespace
