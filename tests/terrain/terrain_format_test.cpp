// Formats by name, word and content, and upper-case endings read and
// written as the formats they name.
#include "terrain/terrain_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/byte_builder.h"
#include "support/temp_dir_fixture.h"
#include "support/terrain_assertions.h"
#include "terrain/grey_png.h"
#include "terrain/terrain_loader.h"
#include "terrain/terrain_saver.h"

namespace {

using terrain::TerrainFormat;
using testsupport::Succeeded;

TEST(TerrainFormatTest, EndingsInAnyCaseNameTheirFormat) {
  const std::vector<std::pair<std::string, TerrainFormat>> names = {
      {"MAP.TXT", TerrainFormat::kHeightArray}, {"OUT.PNG", TerrainFormat::kPng},
      {"a/b.HMP", TerrainFormat::kHmp},         {"Mesh.Obj", TerrainFormat::kObj},
      {"h.R16", TerrainFormat::kRaw},           {"h.RAW", TerrainFormat::kRaw},
      {"x.tar.hmp", TerrainFormat::kHmp},       {"dir.png/terrain", TerrainFormat::kUnknown},
      {"terrain", TerrainFormat::kUnknown},     {"a.bmp", TerrainFormat::kUnknown},
      {"a.", TerrainFormat::kUnknown},          {"a.hmpx", TerrainFormat::kUnknown}};
  for (const auto& [name, format] : names) EXPECT_EQ(terrain::FormatOfName(name), format) << name;
  EXPECT_EQ(terrain::FormatOfWord("R16"), TerrainFormat::kRaw);
  EXPECT_EQ(terrain::FormatOfWord(""), TerrainFormat::kUnknown);
  EXPECT_STREQ(terrain::FormatName(TerrainFormat::kHeightArray), "height array");
  EXPECT_STREQ(terrain::FormatName(TerrainFormat::kObj), "OBJ");
}

TEST(TerrainFormatTest, ContentTellsHmpAndPngOnly) {
  const std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  EXPECT_EQ(terrain::FormatOfContent(png), TerrainFormat::kPng);
  EXPECT_EQ(terrain::FormatOfContent(std::vector<uint8_t>(png.begin(), png.end() - 1)),
            TerrainFormat::kUnknown);
  std::vector<uint8_t> damaged = png;
  damaged[4] = 0x0A;  // a line end translated on the way
  EXPECT_EQ(terrain::FormatOfContent(damaged), TerrainFormat::kUnknown);
  EXPECT_EQ(terrain::FormatOfContent({'H', 'M', 'P', '5'}), TerrainFormat::kHmp);
  EXPECT_EQ(terrain::FormatOfContent({'H', 'M', 'P', '7', 0}), TerrainFormat::kHmp);
  EXPECT_EQ(terrain::FormatOfContent({'H', 'M', 'P', '6'}), TerrainFormat::kUnknown);
  EXPECT_EQ(terrain::FormatOfContent({'H', 'M', 'P'}), TerrainFormat::kUnknown);
  EXPECT_EQ(terrain::FormatOfContent({}), TerrainFormat::kUnknown);
}

class UpperCaseEndingTest : public testsupport::TempDirFixture {};

TEST_F(UpperCaseEndingTest, AreReadAndWrittenAsTheirFormat) {
  ASSERT_TRUE(testsupport::WriteFileBytes(temp_.File("MAP.TXT"), {'1', ',', '2', ',', '3', ',', '4', ','}));
  terrain::TerrainOptions options;
  options.columns = 2;
  options.rows = 2;
  terrain::TerrainGrid grid;
  TerrainFormat format = TerrainFormat::kUnknown;
  ASSERT_TRUE(Succeeded(terrain::LoadTerrain(temp_.File("MAP.TXT"), options, grid, format)));
  EXPECT_EQ(format, TerrainFormat::kHeightArray);
  ASSERT_TRUE(Succeeded(terrain::PrepareTerrain({}, grid)));
  std::vector<std::string> outputs = {"OUT.HMP", "OUT.R16", "OUT.OBJ"};
  if (terrain::GreyPngSupported()) outputs.push_back("OUT.PNG");
  for (const std::string& name : outputs) {
    const std::string path = temp_.File(name);
    ASSERT_TRUE(Succeeded(terrain::SaveTerrain(grid, terrain::FormatOfName(path), {}, path)));
    if (name == "OUT.OBJ") {
      EXPECT_FALSE(testsupport::ReadFileBytes(temp_.File("OUT.mtl")).empty());
      continue;
    }
    terrain::TerrainGrid back;
    options.format = TerrainFormat::kUnknown;  // the name tells it
    ASSERT_TRUE(Succeeded(terrain::LoadTerrain(path, options, back, format))) << name;
    EXPECT_EQ(format, terrain::FormatOfName(path)) << name;
    EXPECT_EQ(back.packed, (std::vector<uint16_t>{0, 21845, 43690, 65535})) << name;
  }
}

}  // namespace
