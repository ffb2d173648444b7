#include "studio/settings_json.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>

#include "noisemap/error.h"
#include "studio/studio_error.h"

namespace studio {

using nlohmann::json;

namespace {

[[noreturn]] void Refuse(const std::string& text) { throw StudioError(400, text); }

}  // namespace

int32_t JsonInteger(const json& value, const std::string& name) {
  if (!value.is_number_integer()) Refuse(name + " is not an integer");
  if (value.is_number_unsigned() ? value.get<uint64_t>() > static_cast<uint64_t>(INT32_MAX)
                                 : (value.get<int64_t>() < INT32_MIN || value.get<int64_t>() > INT32_MAX)) {
    Refuse(name + " is out of range; an integer field takes -2147483648 .. 2147483647");
  }
  return static_cast<int32_t>(value.get<int64_t>());
}

double JsonNumber(const json& value, const std::string& name) {
  if (!value.is_number()) Refuse(name + " is not a number");
  const double number = value.get<double>();
  if (!std::isfinite(number)) Refuse(name + " is not a finite number");
  return number;
}

namespace {

// A float field holds what the command file would: the number at single
// precision, and magnitudes up to the largest float.
float FloatOf(const json& value, const std::string& name) {
  const double number = JsonNumber(value, name);
  if (std::fabs(number) > static_cast<double>(std::numeric_limits<float>::max())) {
    Refuse(name + " is out of range; a number field takes magnitudes up to 3.40282e+38");
  }
  return static_cast<float>(number);
}

void ReadRows(const json& rows, duneforge::CommandSettings& settings) {
  if (!rows.is_array()) Refuse("settings.rows is not a list of rows");
  settings.moduleCount =
      rows.size() > static_cast<size_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(rows.size());
  duneforge::RequireModuleCountInRange(settings.moduleCount, std::string());
  for (size_t i = 0; i < rows.size(); ++i) {
    const json& row = rows[i];
    const std::string name = "row " + std::to_string(i);
    if (!row.is_array() || row.size() != 5) Refuse(name + " is not five numbers: type, p1, p2, p3, p4");
    duneforge::ModuleSpec& spec = settings.rows[i];
    spec.type = JsonInteger(row[0], name + " type");
    spec.p1 = JsonInteger(row[1], name + " p1");
    spec.p2 = FloatOf(row[2], name + " p2");
    spec.p3 = FloatOf(row[3], name + " p3");
    spec.p4 = FloatOf(row[4], name + " p4");
  }
}

}  // namespace

duneforge::CommandSettings SettingsFromJson(const json& object) {
  if (!object.is_object()) Refuse("settings is not an object");
  duneforge::CommandSettings settings;
  const auto integer = [&object](const char* name, int32_t& field) {
    if (object.contains(name)) field = JsonInteger(object[name], name);
  };
  const auto number = [&object](const char* name, float& field) {
    if (object.contains(name)) field = FloatOf(object[name], name);
  };
  integer("hostWindow", settings.hostWindow);
  integer("tilesX", settings.tilesX);
  integer("tilesZ", settings.tilesZ);
  integer("tileWidth", settings.tileWidth);
  integer("tileHeight", settings.tileHeight);
  number("lowerX", settings.lowerX);
  number("upperX", settings.upperX);
  number("lowerZ", settings.lowerZ);
  number("upperZ", settings.upperZ);
  integer("seedBase", settings.seedBase);
  integer("preview", settings.preview);
  if (!object.contains("rows")) Refuse("settings.rows is missing");
  ReadRows(object["rows"], settings);
  return settings;
}

duneforge::CommandSettings SettingsFromCommandFile(const json& text) {
  if (!text.is_string()) Refuse("commandFile is not text");
  duneforge::CommandSettings settings;
  std::istringstream in(text.get<std::string>());
  duneforge::ReadCommandSettings(in, settings);
  duneforge::CheckCommandSettings(settings, duneforge::kCommandFileName);
  return settings;
}

namespace {

// The shortest text that reads back as `value`, with a point so it reads
// as a number field would ("1.0", "0.1", "-0.25", "1e+30").
std::string FloatText(float value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  std::string out(text, result.ptr);
  if (out.find_first_of(".eEn") == std::string::npos) out += ".0";
  return out;
}

}  // namespace

std::string CommandFileText(const duneforge::CommandSettings& s) {
  std::string text = std::to_string(s.hostWindow) + " " + std::to_string(s.moduleCount) + "\n" +
                     std::to_string(s.tilesX) + " " + std::to_string(s.tilesZ) + " " +
                     std::to_string(s.tileWidth) + " " + std::to_string(s.tileHeight) + "\n" +
                     FloatText(s.lowerX) + " " + FloatText(s.upperX) + " " + FloatText(s.lowerZ) + " " +
                     FloatText(s.upperZ) + "\n" + std::to_string(s.seedBase) + " " +
                     std::to_string(s.preview) + "\n";
  for (int32_t i = 0; i < s.moduleCount && i < duneforge::MaxModuleRows; ++i) {
    const duneforge::ModuleSpec& r = s.rows[static_cast<size_t>(i)];
    text += std::to_string(r.type) + " " + std::to_string(r.p1) + " " + FloatText(r.p2) + " " +
            FloatText(r.p3) + " " + FloatText(r.p4) + "\n";
  }
  return text;
}

json SettingsToJson(const duneforge::CommandSettings& s) {
  json rows = json::array();
  for (int32_t i = 0; i < s.moduleCount && i < duneforge::MaxModuleRows; ++i) {
    const duneforge::ModuleSpec& r = s.rows[static_cast<size_t>(i)];
    rows.push_back({r.type, r.p1, r.p2, r.p3, r.p4});
  }
  return {{"hostWindow", s.hostWindow}, {"tilesX", s.tilesX},         {"tilesZ", s.tilesZ},
          {"tileWidth", s.tileWidth},   {"tileHeight", s.tileHeight}, {"lowerX", s.lowerX},
          {"upperX", s.upperX},         {"lowerZ", s.lowerZ},         {"upperZ", s.upperZ},
          {"seedBase", s.seedBase},     {"preview", s.preview},       {"rows", rows}};
}

}  // namespace studio
