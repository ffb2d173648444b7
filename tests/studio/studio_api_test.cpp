// The studio's HTTP interface, through cpp-httplib's client, against a server
// on a free loopback port serving a fresh folder.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>

#include "generator/chain_plan_builder.h"
#include "generator/duneforge_run.h"
#include "generator/header_error.h"
#include "generator/module_kind.h"
#include "generator/tile_generator.h"
#include "noisemap/noise_map_builder_plane.h"
#include "studio/relief_png.h"
#include "studio/studio_folder.h"
#include "studio/studio_server.h"
#include "support/byte_builder.h"
#include "support/run_program.h"
#include "support/temp_dir_fixture.h"
#include "support/terrain_assertions.h"
#include "terrain/hmp_file.h"
#include "terrain/terrain_loader.h"

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

class StudioApiTest : public testsupport::TempDirFixture {
 protected:
  void SetUp() override {
    fs::create_directory(Served());
    fs::create_directory(temp_.File("examples"));
    WriteText(temp_.File("examples/example.txt"), "0 1 1 1 4 4 0 1 0 1 0 0  0 6 1 0.5 0\n");
    WriteText(temp_.File("examples/notes.txt"), "not a command file\n");
    folder_ = std::make_unique<studio::StudioFolder>(Served());
    examples_ = std::make_unique<studio::StudioFolder>(temp_.File("examples"));
    server_ = std::make_unique<studio::StudioServer>(*folder_, 2, examples_.get());
    port_ = server_->Bind(0);
    ASSERT_GT(port_, 0);
    thread_ = std::thread([this] { server_->Run(); });
    client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
  }
  void TearDown() override {
    if (server_) server_->Stop();
    if (thread_.joinable()) thread_.join();
    TempDirFixture::TearDown();
  }

  std::string Served() const { return temp_.File("served"); }
  std::string Port() const { return std::to_string(port_); }

  // Expects a refusal: `status`, and one line of JSON with an "error".
  static void ExpectRefused(const httplib::Result& result, int status) {
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, status) << result->body;
    const std::string& body = result->body;
    EXPECT_EQ(body.find('\n'), body.size() - 1) << body;
    EXPECT_TRUE(json::parse(body).at("error").is_string()) << body;
  }

  // The settings of a command file, as the page holds them.
  json SettingsOf(const std::string& text) {
    const auto result = client_->Post("/api/parse", json{{"commandFile", text}}.dump(), "application/json");
    EXPECT_TRUE(result && result->status == 200);
    return result ? json::parse(result->body).at("settings") : json();
  }
  httplib::Result Export(const json& request) {
    return client_->Post("/api/export", request.dump(), "application/json");
  }
  // The state of export `job` once it has ended.
  json Ended(const json& job) {
    for (int i = 0; i < 6000; ++i) {
      const auto result = client_->Get("/api/export/" + job.dump());
      if (!result || result->status != 200) return json();
      const json state = json::parse(result->body);
      if (state.at("state") != "running") return state;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return json();
  }
  std::vector<std::string> ServedFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Served()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::unique_ptr<studio::StudioFolder> folder_;
  std::unique_ptr<studio::StudioFolder> examples_;
  std::unique_ptr<studio::StudioServer> server_;
  int port_ = -1;
  std::thread thread_;
  std::unique_ptr<httplib::Client> client_;
};

TEST_F(StudioApiTest, VocabularyIsTheBuildersTable) {
  const auto result = client_->Get("/api/vocabulary");
  ASSERT_TRUE(result);
  ASSERT_EQ(result->status, 200);
  const json types = json::parse(result->body).at("types");
  ASSERT_EQ(types.size(), 16u);
  for (const duneforge::ModuleKind& kind : duneforge::ModuleKinds()) {
    const json& type = types.at(static_cast<size_t>(kind.Code()));
    EXPECT_EQ(type.at("code"), kind.Code());
    EXPECT_EQ(type.at("name"), kind.name);
    for (size_t f = 0; f < 4; ++f) {
      const json& field = type.at("fields").at(f);
      const duneforge::ModuleField& expected = kind.fields[f];
      EXPECT_EQ(field.at("sets"), expected.sets) << kind.name;
      EXPECT_EQ(field.at("default"), expected.defaultValue) << kind.name;
      const json range = field.at("range");
      EXPECT_EQ(range.is_null(), !expected.hasLower && !expected.hasUpper) << kind.name;
      if (!range.is_null()) {
        EXPECT_EQ(range.at(0).is_null() ? json(nullptr) : range.at(0),
                  expected.hasLower ? json(expected.lower) : json(nullptr));
        EXPECT_EQ(range.at(1), json(expected.upper));
      }
    }
    EXPECT_EQ(type.at("inputs").size(), static_cast<size_t>(kind.inputCount)) << kind.name;
  }
  // Worked by hand: RidgedMulti refuses only octave counts above 30.
  EXPECT_EQ(types.at(1).at("fields").at(0).at("range"), json::parse("[null, 30.0]"));
}

// The header fields come in file order with the ranges the generator holds
// them to; the ends are tried on the generator itself, one past each too.
TEST_F(StudioApiTest, VocabularyCarriesTheHeaderWithTheGeneratorsLimits) {
  const auto result = client_->Get("/api/vocabulary");
  ASSERT_TRUE(result);
  const json header = json::parse(result->body).at("header");
  std::vector<std::string> names;
  for (const json& field : header) names.push_back(field.at("name"));
  EXPECT_EQ(names, (std::vector<std::string>{"hostWindow", "moduleCount", "tilesX", "tilesZ", "tileWidth",
                                             "tileHeight", "lowerX", "upperX", "lowerZ", "upperZ", "seedBase",
                                             "preview"}));
  const auto field = [&header](size_t i, const char* key) { return header.at(i).at(key); };
  EXPECT_EQ(field(0, "use"), "handle");
  EXPECT_EQ(field(0, "range"), nullptr);
  EXPECT_EQ(field(1, "use"), "rowCount");
  EXPECT_EQ(field(1, "range"), json::parse("[1.0, 100.0]"));
  EXPECT_EQ(field(2, "range"), json::parse("[1.0, null]"));
  EXPECT_EQ(field(2, "label"), "tiles x");
  EXPECT_EQ(field(4, "use"), "integer");
  EXPECT_EQ(field(4, "range"), json::parse("[1.0, 32767.0]"));
  EXPECT_EQ(field(4, "default"), 256);
  EXPECT_EQ(field(6, "use"), "number");
  EXPECT_EQ(field(6, "range"), nullptr);
  EXPECT_EQ(field(6, "outside"), "");
  EXPECT_EQ(field(11, "use"), "flag");

  EXPECT_TRUE(duneforge::ModuleCountInRange(1));
  EXPECT_TRUE(duneforge::ModuleCountInRange(100));
  EXPECT_FALSE(duneforge::ModuleCountInRange(0));
  EXPECT_FALSE(duneforge::ModuleCountInRange(101));
  duneforge::CommandSettings settings;
  settings.tilesX = 0;
  EXPECT_EQ(duneforge::TileCount(settings), 0);
  settings.tilesX = 1;
  EXPECT_EQ(duneforge::TileCount(settings), 1);
  settings.tileHeight = 1;
  settings.tileWidth = 32767;
  EXPECT_NO_THROW(duneforge::TileGenerator(settings, false));
  settings.tileWidth = 32768;
  try {
    duneforge::TileGenerator refused(settings, false);
    ADD_FAILURE() << "a tile 32768 wide was taken";
  } catch (const duneforge::HeaderError& e) {
    EXPECT_EQ(e.Fields(), std::vector<std::string>{"tileWidth"});
  }
  settings.tileWidth = 1;
  settings.tileHeight = 0;
  try {
    duneforge::TileGenerator refused(settings, false);
    ADD_FAILURE() << "a tile 0 high was taken";
  } catch (const duneforge::HeaderError& e) {
    EXPECT_EQ(e.Fields(), std::vector<std::string>{"tileHeight"});
  }
}

// A refusal of the header names the fields at fault, wherever it comes
// from: the file's reader, the JSON settings, the preview's bounds, the
// export's area and a running export; a row's refusal names no header field.
class StudioHeaderRefusalTest : public StudioApiTest {
 protected:
  httplib::Result Post(const char* path, const json& request) {
    return client_->Post(path, request.dump(), "application/json");
  }
  // The fields an answer names, null when it names none.
  static json FieldsOf(const httplib::Result& result) {
    const json body = json::parse(result->body);
    return body.contains("fields") ? body.at("fields") : json(nullptr);
  }
};

TEST_F(StudioHeaderRefusalTest, CommandFileRefusalsNameTheirFields) {
  auto result = Post("/api/parse", {{"commandFile", "0 1 1 1 4 4 0 1 x 1 0 0  0 6 1 0.5 0\n"}});
  ExpectRefused(result, 400);
  EXPECT_EQ(FieldsOf(result), json::parse(R"(["lowerZ"])"));
  result = Post("/api/parse", {{"commandFile", "0 101 1 1 4 4 0 1 0 1 0 0  0 6 1 0.5 0\n"}});
  ExpectRefused(result, 400);
  EXPECT_EQ(FieldsOf(result), json::parse(R"(["moduleCount"])"));
  result = Post("/api/parse", {{"commandFile", "0 1 1 1 4 4 0 1 0 1 0 0  0 x 1 0.5 0\n"}});
  ExpectRefused(result, 400);
  EXPECT_EQ(FieldsOf(result), nullptr);
  EXPECT_TRUE(fs::is_empty(Served()));
}

TEST_F(StudioHeaderRefusalTest, PreviewRefusalsNameTheirFields) {
  const json rows = json::parse("[[0, 6, 1, 0.5, 0]]");
  auto result =
      Post("/api/preview", {{"settings", {{"upperX", 1}, {"upperZ", 1}, {"tilesX", 1.5}, {"rows", rows}}}});
  ExpectRefused(result, 400);
  EXPECT_EQ(FieldsOf(result), json::parse(R"(["tilesX"])"));
  result = Post("/api/preview", {{"settings", {{"upperX", 0}, {"upperZ", 1}, {"rows", rows}}}});
  ExpectRefused(result, 400);
  EXPECT_EQ(json::parse(result->body).at("error"), "x range 0.000000 .. 0.000000 is empty or reversed");
  EXPECT_EQ(FieldsOf(result), json::parse(R"(["lowerX", "upperX"])"));
  result =
      Post("/api/preview", {{"settings", {{"lowerX", 2}, {"upperX", 1}, {"upperZ", -1}, {"rows", rows}}}});
  EXPECT_EQ(FieldsOf(result), json::parse(R"(["lowerX", "upperX", "lowerZ", "upperZ"])"));
  // A row field the JSON cannot give is named as the chain builder names one.
  result =
      Post("/api/preview", {{"settings", {{"upperX", 1}, {"upperZ", 1}, {"rows", {{0, 6.5, 1, 0.5, 0}}}}}});
  ExpectRefused(result, 400);
  EXPECT_EQ(json::parse(result->body),
            json::parse(R"({"error": "row 0 p1 is not an integer", "row": 0, "fields": ["p1"]})"));
  // Bounds of the request's own are no field of the settings.
  result = Post("/api/preview",
                {{"settings", {{"upperX", 1}, {"upperZ", 1}, {"rows", rows}}}, {"bounds", {1, 0, 0, 1}}});
  ExpectRefused(result, 400);
  EXPECT_EQ(FieldsOf(result), nullptr);
  EXPECT_TRUE(fs::is_empty(Served()));
}

TEST_F(StudioHeaderRefusalTest, ExportRefusalsNameTheirFields) {
  const std::string twoTiles = "0 1 2 1 16 8 0 2 0 1 3 1  0 6 1 0.5 0\n";
  json settings = SettingsOf(twoTiles);
  settings["tilesZ"] = 0;
  auto result = Export({{"settings", settings}, {"kind", "hmp7"}, {"name", "a"}});
  ExpectRefused(result, 400);
  EXPECT_EQ(FieldsOf(result), json::parse(R"(["tilesZ"])"));
  // An area beyond the memory budget is all four size fields; one too wide
  // for the file's header, those of its larger side (2 x 16 columns).
  settings = SettingsOf(twoTiles);
  settings["tilesX"] = settings["tilesZ"] = settings["tileWidth"] = settings["tileHeight"] = 1000;
  result = Export({{"settings", settings}, {"kind", "hmp7"}, {"name", "a"}});
  ExpectRefused(result, 400);
  EXPECT_EQ(FieldsOf(result), json::parse(R"(["tilesX", "tileWidth", "tilesZ", "tileHeight"])"));
  result = Export({{"settings", SettingsOf(twoTiles)}, {"kind", "hmp7"}, {"name", "a"}, {"spacing", 1e6}});
  ExpectRefused(result, 400);
  EXPECT_EQ(FieldsOf(result), json::parse(R"(["tilesX", "tileWidth"])"));
  settings = SettingsOf(twoTiles);
  settings["lowerX"] = 3;
  result = Export({{"settings", settings}, {"kind", "noise"}});
  ASSERT_TRUE(result);
  ASSERT_EQ(result->status, 202) << result->body;
  const json state = Ended(json::parse(result->body).at("job"));
  EXPECT_EQ(state.at("state"), "failed") << state;
  EXPECT_EQ(state.at("fields"), json::parse(R"(["lowerX", "upperX"])")) << state;
  // A tile the plane builder cannot hold, in its words with the tile named.
  settings = SettingsOf(twoTiles);
  settings["tileHeight"] = 0;
  result = Export({{"settings", settings}, {"kind", "noise"}});
  ASSERT_TRUE(result);
  ASSERT_EQ(result->status, 202) << result->body;
  const json unsized = Ended(json::parse(result->body).at("job"));
  EXPECT_EQ(unsized.at("error"), "tile 0 (tileWidth 16, tileHeight 0): grid height 0 is not positive")
      << unsized;
  EXPECT_EQ(unsized.at("fields"), json::parse(R"(["tileHeight"])")) << unsized;
  EXPECT_TRUE(fs::is_empty(Served()));
}

// The example terrain's first tile, 128 x 128 over x and z from 0 to 2: the
// preview asked for that size and those bounds holds the heights of
// duneforge's own plane build to the bit, and the values duneforge writes.
TEST_F(StudioApiTest, PreviewOfTheFirstTileHasDuneforgesHeights) {
  const std::string text = ReadText(std::string(STUDIO_EXAMPLES_DIR) + "/terrain.txt");
  duneforge::CommandSettings settings;
  std::istringstream in(text);
  duneforge::ReadCommandSettings(in, settings);
  ASSERT_EQ(settings.tileWidth, 128);
  const duneforge::TileBounds bounds = duneforge::ComputeTileBounds(settings, 0, 0);

  const noise::utils::ChainPlan chain = duneforge::BuildChainPlan(settings);
  noise::utils::HeightGrid grid;
  noise::utils::NoiseMapBuilderPlane builder;
  builder.AttachPlan(chain);
  builder.SetDestGrid(grid);
  builder.SetGridSize(settings.tileWidth, settings.tileHeight);
  duneforge::BuildTile(settings, builder, 0);

  WriteText(temp_.File("cmd_noise.txt"), text);
  const auto run = testsupport::RunProgram(DUNEFORGE_PATH, {}, temp_.Path(), temp_.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<float> written = testsupport::ParseHeightArray(temp_.File("noise_arr.txt"));
  ASSERT_GE(written.size(), 128u * 128u);

  json rows = json::array();
  for (int i = 0; i < settings.moduleCount; ++i) {
    const duneforge::ModuleSpec& r = settings.rows[static_cast<size_t>(i)];
    rows.push_back({r.type, r.p1, r.p2, r.p3, r.p4});
  }
  const json area = {{"width", 128},
                     {"height", 128},
                     {"output", "heights"},
                     {"bounds", {bounds.lowerX, bounds.upperX, bounds.lowerZ, bounds.upperZ}}};
  json byText = area;
  byText["commandFile"] = text;
  json byRows = area;
  byRows["settings"] = {{"seedBase", settings.seedBase}, {"rows", rows}};
  for (const json& request : {byText, byRows}) {
    const auto result = client_->Post("/api/preview", request.dump(), "application/json");
    ASSERT_TRUE(result);
    ASSERT_EQ(result->status, 200) << result->body;
    const json heights = json::parse(result->body).at("heights");
    ASSERT_EQ(heights.size(), 128u * 128u);
    for (int y = 0; y < 128; ++y) {
      for (int x = 0; x < 128; ++x) {
        const size_t i = static_cast<size_t>(y * 128 + x);
        const float value = heights.at(i).get<float>();
        ASSERT_EQ(value, grid.RowData(y)[x]) << x << ", " << y;
        char mine[32];
        char theirs[32];
        std::snprintf(mine, sizeof mine, "%g", static_cast<double>(value));
        std::snprintf(theirs, sizeof theirs, "%g", static_cast<double>(written[i]));
        ASSERT_STREQ(mine, theirs) << x << ", " << y;
      }
    }
  }
}

TEST_F(StudioApiTest, PreviewRefusesWhatDuneforgeRefusesAndOversizedPictures) {
  const std::string header = "0 1 1 1 4 4 0 1 0 1 0 0 ";
  const auto preview = [this](const json& request) {
    return client_->Post("/api/preview", request.dump(), "application/json");
  };
  auto result = preview({{"commandFile", header + "0 31 1 0.5 0"}});
  ExpectRefused(result, 400);
  EXPECT_EQ(json::parse(result->body),
            json::parse(R"({"error": "row 0 (Perlin): octave count p1 = 31 is outside 1 .. 30",
                            "row": 0, "fields": ["p1"]})"));
  // A Clamp range of -1 .. -1 (p4 / 10 - p2 = 0 - 1 to p3 = -1) is made of three fields.
  result =
      preview({{"settings", {{"upperX", 1}, {"upperZ", 1}, {"rows", {{7, 1, 0, 0, 0}, {12, 0, 1, -1, 0}}}}}});
  ExpectRefused(result, 400);
  EXPECT_EQ(json::parse(result->body).at("row"), 1);
  EXPECT_EQ(json::parse(result->body).at("fields"), json::parse(R"(["p2", "p3", "p4"])"));
  ExpectRefused(preview({{"commandFile", header + "0 6 1 0.5 0"}, {"width", 1025}}), 400);
  ExpectRefused(preview({{"commandFile", header + "0 6 1 0.5 0"}, {"height", 0}}), 400);
  result = preview({{"commandFile", header + "0 6 1 0.5 0"}, {"width", 1024}, {"height", 1}});
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 200);
  EXPECT_EQ(result->body.substr(1, 3), "PNG");
}

// Preview 2 of a page's channel makes preview 1 stale, whichever arrives
// first: 1 is refused and not finished. Preview 1 takes seconds whole (a
// 1024 x 1024 chain of a 30-octave Perlin under three Turbulences of
// roughness 30), so it is still running when 2 arrives.
TEST_F(StudioApiTest, ANewerPreviewOfAChannelCancelsTheOlder) {
  const std::string chain =
      "0 4 1 1 4 4 0 1 0 1 0 0  0 30 1 0.5 0  14 30 0.01 10 0  14 30 0.01 10 1  14 30 0.01 10 2";
  const json slow = {
      {"commandFile", chain}, {"width", 1024}, {"height", 1024}, {"channel", "page"}, {"sequence", 1}};
  const json quick = {
      {"commandFile", chain}, {"width", 8}, {"height", 8}, {"channel", "page"}, {"sequence", 2}};
  std::unique_ptr<httplib::Result> slowResult;
  std::thread first([this, &slow, &slowResult] {
    httplib::Client client("127.0.0.1", port_);
    slowResult =
        std::make_unique<httplib::Result>(client.Post("/api/preview", slow.dump(), "application/json"));
  });
  // Mostly 1 is running by now, and 2 stops it between bands.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto quickResult = client_->Post("/api/preview", quick.dump(), "application/json");
  first.join();
  ASSERT_TRUE(quickResult);
  EXPECT_EQ(quickResult->status, 200);
  ExpectRefused(*slowResult, 409);
  // A preview on another channel is not touched by that one.
  json other = quick;
  other["channel"] = "other page";
  other["sequence"] = 1;
  const auto otherResult = client_->Post("/api/preview", other.dump(), "application/json");
  ASSERT_TRUE(otherResult);
  EXPECT_EQ(otherResult->status, 200);
}

// Command files are read by duneforge's rules and written back so that they
// read as the same settings: 0.3 is held as the float 0.30000001192092896
// and written as 0.3 again.
TEST_F(StudioApiTest, ReadsAndWritesCommandFilesAsDuneforgeDoes) {
  const auto post = [this](const char* path, const json& request) {
    return client_->Post(path, request.dump(), "application/json");
  };
  auto result = post("/api/parse", {{"commandFile", "1234 1 2 2 128 128 0 4 0 4 5 0  0 6 1 0.5 0.3"}});
  ASSERT_TRUE(result);
  ASSERT_EQ(result->status, 200) << result->body;
  const json settings = json::parse(result->body).at("settings");
  EXPECT_EQ(settings, json::parse(R"({"hostWindow": 1234, "tilesX": 2, "tilesZ": 2, "tileWidth": 128,
      "tileHeight": 128, "lowerX": 0.0, "upperX": 4.0, "lowerZ": 0.0, "upperZ": 4.0, "seedBase": 5,
      "preview": 0, "rows": [[0, 6, 1.0, 0.5, 0.30000001192092896]]})"));
  result = post("/api/format", {{"settings", settings}});
  ASSERT_TRUE(result);
  EXPECT_EQ(json::parse(result->body).at("text"),
            "1234 1\n2 2 128 128\n0.0 4.0 0.0 4.0\n5 0\n0 6 1.0 0.5 0.3\n");
  // 7.9 gives tilesZ 7 and leaves ".9", which no integer field takes.
  result = post("/api/parse", {{"commandFile", "0 1 1 7.9 256 256 0 1 0 1 0 0  0 6 1 0.5 0"}});
  ExpectRefused(result, 400);
  EXPECT_EQ(json::parse(result->body).at("error"),
            "cmd_noise.txt: tileWidth is not an integer; the file must give the twelve header fields and 1 "
            "module row of five numbers");
}

TEST_F(StudioApiTest, ServesThePageBehindTheSameHostCheck) {
  fs::create_directory(temp_.File("page"));
  WriteText(temp_.File("page/index.html"), "<!doctype html><title>studio</title>\n");
  ASSERT_TRUE(server_->ServePage(temp_.File("page")));
  const auto page = client_->Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->body, "<!doctype html><title>studio</title>\n");
  EXPECT_EQ(page->get_header_value("Content-Type"), "text/html");
  ExpectRefused(client_->Get("/", {{"Host", "studio.example:" + Port()}}), 403);
  // The library serves no path that climbs out of the page's folder.
  WriteText(temp_.File("outside.txt"), "not served");
  ExpectRefused(client_->Get("/../outside.txt"), 404);
}

TEST_F(StudioApiTest, RefusesForeignHostAndOrigin) {
  ExpectRefused(client_->Get("/api/files", {{"Host", "studio.example:" + Port()}}), 403);
  ExpectRefused(client_->Get("/api/files", {{"Host", "127.0.0.1:1"}}), 403);
  ExpectRefused(client_->Put("/api/files/a.txt", {{"Origin", "http://studio.example"}}, "x", "text/plain"),
                403);
  EXPECT_FALSE(fs::exists(Served() + "/a.txt"));
  // The studio's own page may save.
  const auto saved =
      client_->Put("/api/files/a.txt", {{"Origin", "http://localhost:" + Port()}}, "x", "text/plain");
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->status, 200) << saved->body;
  EXPECT_EQ(ReadText(Served() + "/a.txt"), "x");
}

TEST_F(StudioApiTest, ReadsAndWritesOnlyPlainNamesInTheFolder) {
  WriteText(temp_.File("outside.txt"), "kept");
  fs::create_symlink(temp_.File("outside.txt"), Served() + "/link.txt");
  ExpectRefused(client_->Get("/api/files/.."), 400);
  ExpectRefused(client_->Put("/api/files/..%2Foutside.txt", "x", "text/plain"), 400);
  ExpectRefused(client_->Put("/api/files/" + temp_.File("outside.txt"), "x", "text/plain"), 400);
  ExpectRefused(client_->Get("/api/files/link.txt"), 403);
  ExpectRefused(client_->Put("/api/files/link.txt", "x", "text/plain"), 403);
  EXPECT_EQ(ReadText(temp_.File("outside.txt")), "kept");
  // A height array too large to open is not offered either.
  WriteText(Served() + "/noise_arr.txt", std::string((1 << 20) + 1, '0'));
  const auto list = client_->Get("/api/files");
  ASSERT_TRUE(list);
  EXPECT_EQ(json::parse(list->body).at("files"), json::array());
}

TEST_F(StudioApiTest, OffersTheExamplesToReadOnly) {
  const auto list = client_->Get("/api/examples");
  ASSERT_TRUE(list);
  EXPECT_EQ(json::parse(list->body).at("examples"), json::parse(R"(["example.txt"])"));
  const auto example = client_->Get("/api/examples/example.txt");
  ASSERT_TRUE(example);
  EXPECT_EQ(json::parse(example->body).at("text"), ReadText(temp_.File("examples/example.txt")));
  ExpectRefused(client_->Put("/api/examples/example.txt", "changed", "text/plain"), 404);
  ExpectRefused(client_->Post("/api/examples/example.txt", "changed", "text/plain"), 404);
  EXPECT_EQ(ReadText(temp_.File("examples/example.txt")), "0 1 1 1 4 4 0 1 0 1 0 0  0 6 1 0.5 0\n");
}

TEST_F(StudioApiTest, BoundsRequestBodiesAt1MiB) {
  // A preview request that would be served, padded past the bound.
  std::string request = json{{"commandFile", "0 1 1 1 4 4 0 1 0 1 0 0 0 6 1 0.5 0"}, {"width", 4}}.dump();
  request.resize((1 << 20) + 1, ' ');
  ExpectRefused(client_->Post("/api/preview", request, "application/json"), 413);
  request.resize(1 << 20);
  const auto served = client_->Post("/api/preview", request, "application/json");
  ASSERT_TRUE(served);
  EXPECT_EQ(served->status, 200) << served->body;
  ExpectRefused(client_->Put("/api/files/big.txt", std::string((1 << 20) + 1, 'x'), "text/plain"), 413);
  EXPECT_FALSE(fs::exists(Served() + "/big.txt"));
  const auto saved = client_->Put("/api/files/big.txt", std::string(1 << 20, 'x'), "text/plain");
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->status, 200);
  EXPECT_EQ(fs::file_size(Served() + "/big.txt"), 1u << 20);
}

}  // namespace

// Two tiles of 16 x 8 side by side, with the picture.
constexpr const char* kTwoTiles = "0 1 2 1 16 8 0 2 0 1 3 1  0 6 1 0.5 0\n";

// The noise export writes what duneforge writes in an empty folder, and
// replaces an earlier height array instead of appending to it.
TEST_F(StudioApiTest, NoiseExportIsWhatDuneforgeWrites) {
  WriteText(temp_.File("cmd_noise.txt"), kTwoTiles);
  const auto run = testsupport::RunProgram(DUNEFORGE_PATH, {}, temp_.Path(), temp_.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  WriteText(Served() + "/noise_arr.txt", "0.5,");

  const auto started = Export({{"settings", SettingsOf(kTwoTiles)}, {"kind", "noise"}});
  ASSERT_TRUE(started);
  ASSERT_EQ(started->status, 202) << started->body;
  const json state = Ended(json::parse(started->body).at("job"));
  ASSERT_EQ(state.at("state"), "done") << state;
  EXPECT_EQ(state.at("written"), json::parse(R"(["noise_arr.txt", "tutorial.bmp"])"));
  EXPECT_EQ(state.at("done"), 2);
  EXPECT_EQ(ReadText(Served() + "/noise_arr.txt"), ReadText(temp_.File("noise_arr.txt")));
  EXPECT_EQ(ReadText(Served() + "/tutorial.bmp"), ReadText(temp_.File("tutorial.bmp")));
}

// The terrain exports put the tiles together as one grid: tile 1 east of
// tile 0, rows from the south, packed over duneforge's own height range
// (each height within one packing step of where it was, and the range's
// ends within the 1/1024 steps of the engine's numbers).
TEST_F(StudioApiTest, TerrainExportsHoldTheWholeArea) {
  WriteText(temp_.File("cmd_noise.txt"), kTwoTiles);
  const auto run = testsupport::RunProgram(DUNEFORGE_PATH, {}, temp_.Path(), temp_.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<float> heights = testsupport::ParseHeightArray(temp_.File("noise_arr.txt"));
  ASSERT_EQ(heights.size(), 2u * 16u * 8u);
  const json settings = SettingsOf(kTwoTiles);

  const auto png = Export({{"settings", settings}, {"kind", "png16"}, {"name", "area"}});
  ASSERT_TRUE(png);
  json state = Ended(json::parse(png->body).at("job"));
  ASSERT_EQ(state.at("state"), "done") << state;
  terrain::TerrainGrid grid;
  terrain::TerrainFormat format;
  ASSERT_TRUE(testsupport::Succeeded(terrain::LoadTerrain(Served() + "/area.png", {}, grid, format)));
  ASSERT_EQ(grid.columns, 32);
  ASSERT_EQ(grid.rows, 8);
  const auto range = std::minmax_element(heights.begin(), heights.end());
  const double low = *range.first, step = (*range.second - low) / 65535.0;
  for (size_t i = 0; i < heights.size(); ++i) {
    const int32_t tile = static_cast<int32_t>(i / 128), row = static_cast<int32_t>(i % 128 / 16);
    const int32_t x = tile * 16 + static_cast<int32_t>(i % 16);
    const double packed = grid.packed[grid.Index(x, row)];
    EXPECT_NEAR(low + packed * step, heights[i], step + 1.0 / 1024)
        << "tile " << tile << " x " << x << " row " << row;
  }

  // Asked not to replace, the export names the file that is there.
  const auto again =
      Export({{"settings", settings}, {"kind", "png16"}, {"name", "area"}, {"replace", false}});
  ExpectRefused(again, 409);
  EXPECT_EQ(json::parse(again->body).at("error"), "area.png is in the folder already");
  ExpectRefused(Export({{"settings", settings}, {"kind", "png16"}, {"name", "area"}, {"replace", "no"}}),
                400);
  // The OBJ of the same name leaves the PNG16 heights as they are: its
  // texture has a name of its own.
  const std::string heightsPng = ReadText(Served() + "/area.png");
  const auto obj = Export({{"settings", settings}, {"kind", "obj"}, {"name", "area.obj"}});
  ASSERT_TRUE(obj);
  state = Ended(json::parse(obj->body).at("job"));
  ASSERT_EQ(state.at("state"), "done") << state;
  EXPECT_EQ(state.at("written"), json::parse(R"(["area.obj", "area.mtl", "area_texture.png"])"));
  EXPECT_NE(ReadText(Served() + "/area.mtl").find("map_Kd area_texture.png\n"), std::string::npos);
  EXPECT_EQ(ReadText(Served() + "/area.png"), heightsPng);
  EXPECT_EQ(ReadText(Served() + "/area_texture.png").compare(1, 3, "PNG"), 0);
}

// The world's spacing and height scale shape every terrain export: an OBJ's
// coordinates, a PNG16's stored range and spacing. Without a height scale
// the heights span a tenth of the larger side.
TEST_F(StudioApiTest, TerrainExportsTakeTheWorldSpacingAndHeightScale) {
  WriteText(temp_.File("cmd_noise.txt"), kTwoTiles);
  ASSERT_EQ(testsupport::RunProgram(DUNEFORGE_PATH, {}, temp_.Path(), temp_.Path()).status, 0);
  const std::vector<float> heights = testsupport::ParseHeightArray(temp_.File("noise_arr.txt"));
  const auto range = std::minmax_element(heights.begin(), heights.end());
  const double low = *range.first, high = *range.second;
  const json settings = SettingsOf(kTwoTiles);  // 32 x 8 samples

  const auto obj = Export({{"settings", settings},
                           {"kind", "obj"},
                           {"name", "w"},
                           {"spacing", 2},
                           {"heightScale", 3},
                           {"skin", "blank"}});
  ASSERT_TRUE(obj);
  json state = Ended(json::parse(obj->body).at("job"));
  ASSERT_EQ(state.at("state"), "done") << state;
  EXPECT_EQ(state.at("heightScale"), 3.0);
  std::istringstream lines(ReadText(Served() + "/w.obj"));
  double most[3] = {-1e300, -1e300, -1e300}, least[3] = {1e300, 1e300, 1e300};
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("v ", 0) != 0) continue;
    std::istringstream v(line.substr(2));
    for (int axis = 0; axis < 3; ++axis) {
      double value = 0;
      v >> value;
      most[axis] = std::max(most[axis], value);
      least[axis] = std::min(least[axis], value);
    }
  }
  EXPECT_EQ(least[0], 0.0);
  EXPECT_EQ(most[0], 31 * 2.0);
  EXPECT_EQ(most[2] - least[2], 7 * 2.0);
  EXPECT_NEAR(least[1], 3 * low, 3.0 / 1024);
  EXPECT_NEAR(most[1], 3 * high, 3.0 / 1024);

  const auto png = Export({{"settings", settings}, {"kind", "png16"}, {"name", "w"}, {"spacing", 0.5}});
  ASSERT_TRUE(png);
  state = Ended(json::parse(png->body).at("job"));
  ASSERT_EQ(state.at("state"), "done") << state;
  const double scale = 0.1 * 31 * 0.5 / (high - low);  // a tenth of 15.5 over the heights' span
  EXPECT_NEAR(state.at("heightScale").get<double>(), scale, scale * 1e-6);
  terrain::TerrainGrid grid;
  terrain::TerrainFormat format;
  ASSERT_TRUE(testsupport::Succeeded(terrain::LoadTerrain(Served() + "/w.png", {}, grid, format)));
  EXPECT_EQ(grid.spacingX, 0.5);
  EXPECT_EQ(grid.spacingY, 0.5);
  EXPECT_NEAR(grid.high - grid.low, 1.55, 2.0 / 1024);
  EXPECT_NEAR(grid.low, low * scale, 1.0 / 1024);
}

// What cannot be exported is refused before anything starts, and nothing
// is written.
TEST_F(StudioApiTest, RefusedExportsWriteNothing) {
  const json settings = SettingsOf(kTwoTiles);
  ExpectRefused(Export({{"settings", settings}, {"kind", "tiff"}, {"name", "a"}}), 400);
  ExpectRefused(Export({{"settings", settings}, {"kind", "hmp7"}, {"name", "../a"}}), 400);
  ExpectRefused(Export({{"settings", settings}, {"kind", "hmp7"}}), 400);
  ExpectRefused(Export({{"settings", settings}, {"kind", "obj"}, {"name", "a"}, {"skin", "red"}}), 400);
  for (const json& bad : {json(0), json(-1), json("1"), json(nullptr)}) {
    ExpectRefused(Export({{"settings", settings}, {"kind", "obj"}, {"name", "a"}, {"spacing", bad}}), 400);
  }
  ExpectRefused(Export({{"settings", settings}, {"kind", "png16"}, {"name", "a"}, {"heightScale", 0}}), 400);
  // 31 steps of 70000 are wider than an HMP header's numbers reach.
  const auto wide = Export({{"settings", settings}, {"kind", "hmp7"}, {"name", "a"}, {"spacing", 70000}});
  ExpectRefused(wide, 400);
  EXPECT_NE(json::parse(wide->body).at("error").get<std::string>().find("32 samples"), std::string::npos);
  // 8192 x 8192 heights take 1 GiB, more than the default budget of 256 MiB.
  ExpectRefused(Export({{"settings", SettingsOf("0 1 32 32 256 256 0 1 0 1 0 0  0 6 1 0.5 0\n")},
                        {"kind", "png16"},
                        {"name", "a"}}),
                400);
  json bad = settings;
  bad["rows"][0][1] = 31;
  const auto refused = Export({{"settings", bad}, {"kind", "noise"}});
  ExpectRefused(refused, 400);
  EXPECT_EQ(json::parse(refused->body).at("row"), 0);
  fs::create_symlink(temp_.File("elsewhere.hmp"), Served() + "/out.hmp");
  ExpectRefused(Export({{"settings", settings}, {"kind", "hmp7"}, {"name", "out"}}), 403);
  ExpectRefused(client_->Get("/api/export/7"), 404);
  ExpectRefused(client_->Delete("/api/export/7"), 404);
  // 10^12 heights as text, terabytes: more than the disk holds.
  ExpectRefused(Export({{"settings", SettingsOf("0 1 1000 1000 1024 1024 0 1 0 1 0 0  0 6 1 0.5 0\n")},
                        {"kind", "noise"}}),
                507);
  EXPECT_EQ(ServedFiles(), std::vector<std::string>{"out.hmp"});
  EXPECT_FALSE(fs::exists(temp_.File("elsewhere.hmp")));
}

// Heights of tens of millions fit no HMP header: the export fails with one
// sentence that says so.
TEST_F(StudioApiTest, AnExportThatCannotBePackedSaysWhyInASentence) {
  const json settings = SettingsOf("0 2 1 1 4 4 0 1 0 1 0 0  0 6 1 0.5 0  3 0 10000000 0.5 0\n");
  const auto started =
      Export({{"settings", settings}, {"kind", "png16"}, {"name", "huge"}, {"heightScale", 1}});
  ASSERT_TRUE(started);
  ASSERT_EQ(started->status, 202) << started->body;
  const json state = Ended(json::parse(started->body).at("job"));
  EXPECT_EQ(state.at("state"), "failed") << state;
  EXPECT_EQ(state.at("error"),
            "the terrain cannot be exported: the height range does not fit in the numbers of an HMP header "
            "(-2097151 to 2097151)");
  EXPECT_TRUE(fs::is_empty(Served()));
}

// A running export is cancelled by the page that started it, not by
// another site's; it then writes nothing, not even a temporary file.
TEST_F(StudioApiTest, ACancelledExportWritesNothing) {
  const auto started =
      Export({{"settings", SettingsOf("0 1 12 12 256 256 0 12 0 12 0 0  0 30 1 0.5 0")}, {"kind", "noise"}});
  ASSERT_TRUE(started);
  ASSERT_EQ(started->status, 202) << started->body;
  const json job = json::parse(started->body).at("job");
  const std::string path = "/api/export/" + job.dump();
  for (int i = 0; i < 3000 && json::parse(client_->Get(path)->body).at("done") == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ExpectRefused(client_->Delete(path, {{"Origin", "http://studio.example"}}, "", "text/plain"), 403);
  EXPECT_EQ(json::parse(client_->Get(path)->body).at("state"), "running");
  const auto cancelled = client_->Delete(path, {{"Origin", "http://127.0.0.1:" + Port()}}, "", "text/plain");
  ASSERT_TRUE(cancelled);
  EXPECT_EQ(cancelled->status, 200) << cancelled->body;
  EXPECT_EQ(Ended(job).at("state"), "cancelled");
  EXPECT_TRUE(fs::is_empty(Served()));
}

// Two exports run at once and a third waits its turn; a server that goes
// stops them, and what they had not finished is not written.
TEST_F(StudioApiTest, AServerThatGoesStopsItsExports) {
  // 144 tiles of a 30-octave Perlin: minutes of work.
  const json settings = SettingsOf("0 1 12 12 256 256 0 12 0 12 0 0  0 30 1 0.5 0\n");
  WriteText(Served() + "/noise_arr.txt", "0.5,");
  for (const char* kind : {"noise", "hmp7"}) {
    const auto started = Export({{"settings", settings}, {"kind", kind}, {"name", "big"}});
    ASSERT_TRUE(started);
    ASSERT_EQ(started->status, 202) << started->body;
  }
  ExpectRefused(Export({{"settings", settings}, {"kind", "png16"}, {"name", "big"}}), 429);
  server_->Stop();
  thread_.join();
  server_.reset();
  EXPECT_EQ(ServedFiles(), std::vector<std::string>{"noise_arr.txt"});
  EXPECT_EQ(ReadText(Served() + "/noise_arr.txt"), "0.5,");
}

// Ctrl-C, or a closed terminal (SIGHUP), ends terrainstudio in order: an
// export still running writes nothing, not even a temporary file, and the
// program exits 0.
class StudioSignalTest : public StudioApiTest, public ::testing::WithParamInterface<int> {};

// Starts terrainstudio on a free port serving `folder`; its process and
// port, or a port of -1.
std::pair<pid_t, int> StartStudio(const std::string& folder) {
  int out[2];
  if (::pipe(out) != 0) return {-1, -1};
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(out[1], 1);
    ::execl(STUDIO_PROGRAM_PATH, STUDIO_PROGRAM_PATH, "--port", "0", folder.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  // "terrainstudio: serving FOLDER at http://127.0.0.1:PORT/"
  std::string line;
  char c = 0;
  while (child > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') line += c;
  ::close(out[0]);
  const size_t colon = line.rfind(':');
  return {child, colon == std::string::npos ? -1 : std::atoi(line.c_str() + colon + 1)};
}

TEST_P(StudioSignalTest, EndsTheStudioWithoutLeavingAnExportBehind) {
  const std::string folder = temp_.File("ended");
  fs::create_directory(folder);
  const auto [child, port] = StartStudio(folder);
  ASSERT_GT(child, 0);
  ASSERT_GT(port, 0);
  httplib::Client client("127.0.0.1", port);
  const auto settings =
      client.Post("/api/parse", json{{"commandFile", "0 1 12 12 256 256 0 12 0 12 0 0  0 30 1 0.5 0"}}.dump(),
                  "application/json");
  ASSERT_TRUE(settings);
  const auto started = client.Post(
      "/api/export", json{{"settings", json::parse(settings->body).at("settings")}, {"kind", "noise"}}.dump(),
      "application/json");
  ASSERT_TRUE(started);
  ASSERT_EQ(started->status, 202) << started->body;
  // Once a tile is written, the temporary file holds values.
  for (int i = 0; i < 3000 && json::parse(client.Get("/api/export/1")->body).at("done") == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(::kill(child, GetParam()), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_TRUE(fs::is_empty(folder));
}

INSTANTIATE_TEST_SUITE_P(CtrlCAndHangUp, StudioSignalTest, ::testing::Values(SIGINT, SIGHUP));

// Ctrl-C during a preview of a minute or more (1024 x 1024 samples of a
// hundred rows, ten under the sanitizers, in 64 bands) ends the studio at
// the preview's next band, within seconds.
TEST_F(StudioApiTest, CtrlCEndsAPreviewAtItsNextBand) {
#ifdef TOOLKIT_SANITIZED_BUILD
  const int rows = 10;
#else
  const int rows = 100;
#endif
  std::string commandFile = "0 " + std::to_string(rows) + " 1 1 1024 1024 0 1 0 1 0 0  0 30 1 0.5 0";
  for (int row = 1; row < rows; ++row) commandFile += "  14 30 0.04 12.5 3";
  const auto [child, port] = StartStudio(Served());
  ASSERT_GT(child, 0);
  ASSERT_GT(port, 0);
  std::thread preview([port = port, &commandFile] {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(600, 0);
    client.Post("/api/preview", json{{"commandFile", commandFile}, {"width", 1024}, {"height", 1024}}.dump(),
                "application/json");
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ASSERT_EQ(::kill(child, SIGINT), 0);
  int status = 0;
  pid_t ended = 0;
  for (int i = 0; i < 300 && ended == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ended = ::waitpid(child, &status, WNOHANG);
  }
  if (ended == 0) {
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
  }
  preview.join();
  EXPECT_EQ(ended, child) << "still running 30 s after Ctrl-C";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// Every request that could change something is refused from another origin
// or through another Host, whatever its route: an export started from a
// foreign page is never started.
TEST_F(StudioApiTest, ForeignOriginsStartNoExport) {
  const json request = {{"settings", SettingsOf(kTwoTiles)}, {"kind", "png16"}, {"name", "area"}};
  for (const std::string& origin : {std::string("http://studio.example"), std::string("http://127.0.0.1:1"),
                                    "https://localhost:" + Port(), std::string("null")}) {
    ExpectRefused(client_->Post("/api/export", {{"Origin", origin}}, request.dump(), "application/json"),
                  403);
  }
  ExpectRefused(client_->Post("/api/export", {{"Host", "studio.example:" + Port()}}, request.dump(),
                              "application/json"),
                403);
  ExpectRefused(client_->Put("/api/files/a.txt", {{"Host", "localhost:1"}}, "x", "text/plain"), 403);
  ExpectRefused(client_->Get("/api/export/1"), 404);
  EXPECT_EQ(ServedFiles(), std::vector<std::string>{});
  // The studio's own page, by either of its names, may export.
  const auto started = client_->Post("/api/export", {{"Origin", "http://127.0.0.1:" + Port()}},
                                     request.dump(), "application/json");
  ASSERT_TRUE(started);
  ASSERT_EQ(started->status, 202) << started->body;
  EXPECT_EQ(Ended(json::parse(started->body).at("job")).at("state"), "done");
  EXPECT_EQ(ServedFiles(), std::vector<std::string>{"area.png"});
}

// The folder list offers a file of exactly 1 MiB, which can be opened, and
// not one of a byte more.
TEST_F(StudioApiTest, ListsFilesUpTo1MiB) {
  // A command file padded to 1 MiB with spaces.
  const std::string command = "0 1 1 1 4 4 0 1 0 1 0 0  0 6 1 0.5 0\n";
  WriteText(Served() + "/exact.txt", command + std::string((1 << 20) - command.size(), ' '));
  WriteText(Served() + "/over.txt", std::string((1 << 20) + 1, '0'));
  const auto list = client_->Get("/api/files");
  ASSERT_TRUE(list);
  EXPECT_EQ(json::parse(list->body).at("files"), json::parse(R"(["exact.txt"])"));
  const auto exact = client_->Get("/api/files/exact.txt");
  ASSERT_TRUE(exact);
  EXPECT_EQ(exact->status, 200);
  ExpectRefused(client_->Get("/api/files/over.txt"), 413);
}

// A folder beside the served one whose name begins with the served one's
// ("served-old" beside "served") is outside it: links into it are neither
// offered, read nor written through, relative or absolute.
TEST_F(StudioApiTest, LinksIntoASiblingWithTheSamePrefixAreRefused) {
  fs::create_directory(temp_.File("served-old"));
  WriteText(temp_.File("served-old/old.txt"), "kept");
  fs::create_symlink("../served-old/old.txt", Served() + "/relative.txt");
  fs::create_symlink(temp_.File("served-old/old.txt"), Served() + "/absolute.txt");
  fs::create_symlink("../served-old/new.txt", Served() + "/dangling.txt");
  for (const char* name : {"relative.txt", "absolute.txt", "dangling.txt"}) {
    ExpectRefused(client_->Get(std::string("/api/files/") + name), 403);
    ExpectRefused(client_->Put(std::string("/api/files/") + name, "x", "text/plain"), 403);
  }
  EXPECT_EQ(ReadText(temp_.File("served-old/old.txt")), "kept");
  EXPECT_FALSE(fs::exists(temp_.File("served-old/new.txt")));
  const auto list = client_->Get("/api/files");
  ASSERT_TRUE(list);
  EXPECT_EQ(json::parse(list->body).at("files"), json::array());
  // Nor is an export written through one.
  fs::create_symlink(temp_.File("served-old/old.png"), Served() + "/old.png");
  ExpectRefused(Export({{"settings", SettingsOf(kTwoTiles)}, {"kind", "png16"}, {"name", "old"}}), 403);
  EXPECT_FALSE(fs::exists(temp_.File("served-old/old.png")));
}

// An HMP7 export asked for a blank skin gets the 8-bit blank skin (type 0),
// not the relief the terrain savers write by default; by default it gets
// the preview, 24-bit with mip levels (type 12). Types read from the bytes
// at 84, after the 84-byte header.
TEST_F(StudioApiTest, BlankSkinIsWrittenOnlyWhenAskedFor) {
  const json settings = SettingsOf(kTwoTiles);
  for (const char* skin : {"blank", "preview"}) {
    const auto started = Export({{"settings", settings}, {"kind", "hmp7"}, {"name", skin}, {"skin", skin}});
    ASSERT_TRUE(started);
    ASSERT_EQ(Ended(json::parse(started->body).at("job")).at("state"), "done");
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(Served() + "/" + skin + ".hmp");
    ASSERT_GT(bytes.size(), 96u);
    EXPECT_EQ(testsupport::LoadU32(bytes, 48), 1u);
    EXPECT_EQ(testsupport::LoadU32(bytes, 84), std::string(skin) == "blank" ? 0u : 12u) << skin;
  }
}

// An exported HMP7's preview skin has the north (the last row of heights,
// the highest z) in its top row, as terrainconvert puts a picture's top
// row: the same relief, built here over the whole area and written as a
// bottom-up BMP (its first stored row the south), given to terrainconvert
// as the skin of the same terrain, makes the same skin bytes.
TEST_F(StudioApiTest, ExportedSkinHasTheNorthAtTheTop) {
  const json settings = SettingsOf(kTwoTiles);
  for (const char* kind : {"png16", "hmp7"}) {
    const auto started = Export({{"settings", settings}, {"kind", kind}, {"name", "area"}});
    ASSERT_TRUE(started);
    ASSERT_EQ(Ended(json::parse(started->body).at("job")).at("state"), "done");
  }
  duneforge::CommandSettings parsed;
  std::istringstream in(kTwoTiles);
  duneforge::ReadCommandSettings(in, parsed);
  const noise::utils::ChainPlan chain = duneforge::BuildChainPlan(parsed);
  noise::utils::HeightGrid heights;
  noise::utils::NoiseMapBuilderPlane builder;
  builder.AttachPlan(chain);
  builder.SetDestGrid(heights);
  builder.SetGridSize(256, 256);
  builder.SetBounds(parsed.lowerX, parsed.upperX, parsed.lowerZ, parsed.upperZ);
  builder.Build();
  noise::utils::ImageGrid relief;
  studio::ReliefPng::Render(heights, relief);
  ASSERT_EQ(relief.GetHeight(), 256);
  testsupport::ByteBuilder bmp;
  bmp.Text("BM", 2).U32(54 + 256 * 256 * 3).U32(0).U32(54);
  bmp.U32(40).U32(256).U32(256).U16(1).U16(24).U32(0).U32(256 * 256 * 3).U32(2835).U32(2835).U32(0).U32(0);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const noise::utils::PixelColor& c = relief.RowData(y)[x];
      bmp.U8(c.blue).U8(c.green).U8(c.red);
    }
  }
  ASSERT_TRUE(testsupport::WriteFileBytes(temp_.File("skin.bmp"), bmp.Data()));
  const auto run = testsupport::RunProgram(TERRAINCONVERT_PATH,
                                           {"--skin", "skin.bmp", Served() + "/area.png", "converted.hmp"},
                                           temp_.Path(), temp_.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  terrain::HmpFile studioHmp, converted;
  ASSERT_TRUE(studioHmp.Load(Served() + "/area.hmp"));
  ASSERT_TRUE(converted.Load(temp_.File("converted.hmp")));
  std::vector<uint8_t> studioSkin, expectedSkin;
  ASSERT_TRUE(studioHmp.SkinBytes(0, studioSkin));
  ASSERT_TRUE(converted.SkinBytes(0, expectedSkin));
  EXPECT_TRUE(studioSkin == expectedSkin);
}
