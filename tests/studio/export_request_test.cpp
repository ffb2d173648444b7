// ExportRequest: the files an export writes, and what it refuses.
#include "studio/export_request.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "studio/studio_error.h"

namespace {

using nlohmann::json;
using studio::ExportRequest;
using Names = std::vector<std::string>;

json Settings(int tileWidth, int tileHeight, int preview = 0) {
  return {{"tilesX", 1}, {"tilesZ", 1}, {"tileWidth", tileWidth}, {"tileHeight", tileHeight},
          {"upperX", 1}, {"upperZ", 1}, {"preview", preview},     {"rows", {{0, 6, 1, 0.5, 0}}}};
}

Names FilesOf(const char* kind, const json& name, const char* skin = "preview") {
  return ExportRequest::Parse({{"settings", Settings(8, 8)}, {"kind", kind}, {"name", name}, {"skin", skin}})
      .FileNames();
}

int StatusOf(const json& request) {
  try {
    ExportRequest::Parse(request);
  } catch (const studio::StudioError& e) {
    return e.Status();
  }
  return 0;
}

TEST(ExportRequestTest, NamesTheFilesWithTheirEndings) {
  EXPECT_EQ(FilesOf("hmp7", "dune"), Names{"dune.hmp"});
  EXPECT_EQ(FilesOf("hmp7", "dune.hmp"), Names{"dune.hmp"});
  EXPECT_EQ(FilesOf("png16", "dune.hmp"), Names{"dune.hmp.png"});
  EXPECT_EQ(FilesOf("obj", "dune.obj"), (Names{"dune.obj", "dune.mtl", "dune_texture.png"}));
  EXPECT_EQ(FilesOf("obj", "dune", "blank"), (Names{"dune.obj", "dune.mtl"}));
  // The noise export writes duneforge's names whatever the request names.
  EXPECT_EQ(FilesOf("noise", "dune"), Names{"noise_arr.txt"});
  EXPECT_EQ(ExportRequest::Parse({{"settings", Settings(8, 8, 1)}, {"kind", "noise"}}).FileNames(),
            (Names{"noise_arr.txt", "tutorial.bmp"}));
  EXPECT_TRUE(
      ExportRequest::Parse({{"settings", Settings(8, 8)}, {"kind", "hmp7"}, {"name", "a"}}).PreviewSkin());
  EXPECT_FALSE(
      ExportRequest::Parse({{"settings", Settings(8, 8)}, {"kind", "hmp7"}, {"name", "a"}, {"skin", "blank"}})
          .PreviewSkin());
  EXPECT_EQ(ExportRequest::Parse({{"settings", Settings(8, 8)}, {"kind", "obj"}, {"name", "a"}}).GetKind(),
            ExportRequest::Kind::kObj);
  EXPECT_EQ(ExportRequest::Parse({{"settings", Settings(8, 8)}, {"kind", "png16"}, {"name", "a"}}).GetKind(),
            ExportRequest::Kind::kPng16);
}

TEST(ExportRequestTest, RefusesWhatCannotBeExported) {
  const json settings = Settings(8, 8);
  EXPECT_EQ(StatusOf(json::array()), 400);
  EXPECT_EQ(StatusOf({{"kind", "noise"}}), 400);
  EXPECT_EQ(StatusOf({{"settings", settings}}), 400);
  EXPECT_EQ(StatusOf({{"settings", settings}, {"kind", 7}}), 400);
  EXPECT_EQ(StatusOf({{"settings", settings}, {"kind", "hmp7"}, {"name", ".hmp"}}), 400);
  EXPECT_EQ(StatusOf({{"settings", settings}, {"kind", "hmp7"}, {"name", 3}}), 400);
  EXPECT_EQ(StatusOf({{"settings", settings}, {"kind", "noise"}, {"skin", "red"}}), 400);
  EXPECT_EQ(StatusOf({{"settings", settings}, {"kind", "obj"}, {"name", "a"}, {"skin", false}}), 400);
  EXPECT_EQ(StatusOf({{"settings", Settings(0, 8)}, {"kind", "hmp7"}, {"name", "a"}}), 400);
  json noTiles = settings;
  noTiles["tilesZ"] = 0;
  EXPECT_EQ(StatusOf({{"settings", noTiles}, {"kind", "png16"}, {"name", "a"}}), 400);
  json wide = settings;
  wide["tilesX"] = 2;
  wide["tileWidth"] = 1 << 30;
  EXPECT_EQ(StatusOf({{"settings", wide}, {"kind", "png16"}, {"name", "a"}}), 400);
}

// A budget of 1 MiB holds 65536 heights of 16 bytes: 256 x 256, not a row
// more; the noise export, written tile by tile, is not bound by it.
TEST(ExportRequestTest, TerrainsStayWithinTheMemoryBudget) {
  ASSERT_EQ(::setenv("DUNEFORGE_MEMORY_MB", "1", 1), 0);
  EXPECT_EQ(StatusOf({{"settings", Settings(256, 256)}, {"kind", "hmp7"}, {"name", "a"}}), 0);
  EXPECT_EQ(StatusOf({{"settings", Settings(256, 257)}, {"kind", "obj"}, {"name", "a"}}), 400);
  EXPECT_EQ(StatusOf({{"settings", Settings(256, 257)}, {"kind", "noise"}}), 0);
  ::unsetenv("DUNEFORGE_MEMORY_MB");
}

}  // namespace
