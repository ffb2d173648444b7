// Settings to and from the studio's JSON: the ranges of the fields and the
// command-file text written back.
#include "studio/settings_json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "studio/studio_error.h"

namespace {

using nlohmann::json;

template <typename Call>
int StatusOf(Call call) {
  try {
    call();
  } catch (const studio::StudioError& e) {
    return e.Status();
  }
  return 0;
}

TEST(SettingsJsonTest, IntegerFieldsAreSigned32Bit) {
  EXPECT_EQ(studio::JsonInteger(json(2147483647), "f"), 2147483647);
  EXPECT_EQ(studio::JsonInteger(json(-2147483647 - 1), "f"), -2147483647 - 1);
  EXPECT_EQ(studio::JsonInteger(json::parse("-7"), "f"), -7);
  for (const char* refused : {"2147483648", "-2147483649", "18446744073709551615", "1.0", "\"1\"", "null"}) {
    EXPECT_EQ(StatusOf([&] { studio::JsonInteger(json::parse(refused), "f"); }), 400) << refused;
  }
  EXPECT_EQ(studio::JsonNumber(json::parse("-0.5"), "f"), -0.5);
  EXPECT_EQ(StatusOf([] { studio::JsonNumber(json(std::nan("")), "f"); }), 400);
  EXPECT_EQ(StatusOf([] { studio::JsonNumber(json(INFINITY), "f"); }), 400);
  EXPECT_EQ(StatusOf([] { studio::JsonNumber(json("0"), "f"); }), 400);
}

TEST(SettingsJsonTest, ReadsFieldsAndOneTo100Rows) {
  const json row = {0, 6, 1, 0.5, 0};
  const duneforge::CommandSettings plain = studio::SettingsFromJson({{"rows", {row}}});
  const duneforge::CommandSettings initial;
  EXPECT_EQ(plain.tilesX, initial.tilesX);
  EXPECT_EQ(plain.upperZ, initial.upperZ);
  EXPECT_EQ(plain.moduleCount, 1);
  const duneforge::CommandSettings given = studio::SettingsFromJson(
      {{"tilesZ", 3}, {"upperX", 0.1}, {"seedBase", -4}, {"rows", {row, {3, 1, 2.5, 0.75, -1}}}});
  EXPECT_EQ(given.tilesZ, 3);
  EXPECT_EQ(given.upperX, 0.1f);
  EXPECT_EQ(given.seedBase, -4);
  EXPECT_EQ(given.moduleCount, 2);
  EXPECT_EQ(given.rows[1].type, 3);
  EXPECT_EQ(given.rows[1].p1, 1);
  EXPECT_EQ(given.rows[1].p2, 2.5f);
  EXPECT_EQ(given.rows[1].p3, 0.75f);
  EXPECT_EQ(given.rows[1].p4, -1.0f);
  EXPECT_EQ(studio::SettingsFromJson({{"rows", json(std::vector<json>(100, row))}}).moduleCount, 100);
  EXPECT_EQ(given.rows[0].p1, 6);

  const auto status = [](const json& settings) {
    return StatusOf([&] { studio::SettingsFromJson(settings); });
  };
  EXPECT_ANY_THROW(studio::SettingsFromJson({{"rows", json(std::vector<json>(101, row))}}));
  EXPECT_ANY_THROW(studio::SettingsFromJson({{"rows", json::array()}}));
  EXPECT_EQ(status({{"tilesX", 1}}), 400);
  EXPECT_EQ(status(json::array()), 400);
  EXPECT_EQ(status({{"rows", {{0, 6, 1, 0.5}}}}), 400);
  EXPECT_EQ(status({{"rows", {{0.5, 6, 1, 0.5, 0}}}}), 400);
  EXPECT_EQ(status({{"tileWidth", 1.5}, {"rows", {row}}}), 400);
  EXPECT_EQ(status({{"lowerX", "0"}, {"rows", {row}}}), 400);
  // Float fields take magnitudes up to the largest float, either sign.
  EXPECT_EQ(studio::SettingsFromJson({{"upperX", 3.4028234663852886e38}, {"rows", {row}}}).upperX,
            3.4028234663852886e38f);
  EXPECT_EQ(status({{"upperX", 3.5e38}, {"rows", {row}}}), 400);
  EXPECT_EQ(status({{"lowerX", -3.5e38}, {"rows", {row}}}), 400);
}

// Written back, every float reads as the same float: whole numbers with a
// point, large and small ones in exponent form.
TEST(SettingsJsonTest, CommandFileTextReadsBackAsTheSameSettings) {
  const json settings = {
      {"hostWindow", 9},      {"tilesX", 2},
      {"tilesZ", 3},          {"tileWidth", 16},
      {"tileHeight", 8},      {"lowerX", -0.25},
      {"upperX", 1e30},       {"lowerZ", 1e-7},
      {"upperZ", 16777216.0}, {"seedBase", -5},
      {"preview", 1},         {"rows", {{0, 6, 0.1, 0.5, 2}, {3, 1, 3.4028234663852886e38, -7, 0}}}};
  const duneforge::CommandSettings read = studio::SettingsFromJson(settings);
  const std::string text = studio::CommandFileText(read);
  EXPECT_EQ(text.substr(0, text.find('\n', text.find('\n') + 1) + 1), "9 2\n2 3 16 8\n");
  EXPECT_NE(text.find("\n-5 1\n0 6 0.1 0.5 2.0\n"), std::string::npos) << text;
  EXPECT_EQ(studio::SettingsToJson(studio::SettingsFromCommandFile(json(text))), studio::SettingsToJson(read))
      << text;
}

}  // namespace
