#include "studio/settings_json.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <string_view>

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

// A field's value from JSON: an integer field takes an integer, a float
// field a number it can hold.
void ReadJsonField(const json& value, const std::string& name, int32_t& field) {
  field = JsonInteger(value, name);
}
void ReadJsonField(const json& value, const std::string& name, float& field) { field = FloatOf(value, name); }

// The JSON settings give the module count as the length of "rows".
bool IsModuleCount(const char* name) { return std::string_view(name) == "moduleCount"; }

void ReadRows(const json& rows, duneforge::CommandSettings& settings) {
  if (!rows.is_array()) Refuse("settings.rows is not a list of rows");
  settings.moduleCount =
      rows.size() > static_cast<size_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(rows.size());
  duneforge::RequireModuleCountInRange(settings.moduleCount, std::string());
  for (size_t i = 0; i < rows.size(); ++i) {
    const json& row = rows[i];
    const std::string name = "row " + std::to_string(i);
    if (!row.is_array() || row.size() != 5) Refuse(name + " is not five numbers: type, p1, p2, p3, p4");
    size_t column = 0;
    duneforge::ForEachRowField(settings.rows[i], [&](const char* field, auto& target) {
      try {
        ReadJsonField(row[column++], name + " " + field, target);
      } catch (const StudioError& e) {
        throw StudioError(e.Status(), e.what(), {field}, static_cast<int>(i));
      }
    });
  }
}

}  // namespace

duneforge::CommandSettings SettingsFromJson(const json& object) {
  if (!object.is_object()) Refuse("settings is not an object");
  duneforge::CommandSettings settings;
  duneforge::ForEachHeaderField(settings, [&object](const char* name, auto& field) {
    if (IsModuleCount(name) || !object.contains(name)) return;
    try {
      ReadJsonField(object[name], name, field);
    } catch (const StudioError& e) {
      throw StudioError(e.Status(), e.what(), {name});
    }
  });
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
std::string FieldText(float value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  std::string out(text, result.ptr);
  if (out.find_first_of(".eEn") == std::string::npos) out += ".0";
  return out;
}

std::string FieldText(int32_t value) { return std::to_string(value); }

}  // namespace

std::string CommandFileText(const duneforge::CommandSettings& s) {
  std::string text;
  size_t line = 0;
  int inLine = 0;
  duneforge::ForEachHeaderField(s, [&](const char*, const auto& value) {
    text += FieldText(value);
    const bool lineEnds = ++inLine == duneforge::kHeaderLineLengths[line];
    if (lineEnds) {
      ++line;
      inLine = 0;
    }
    text += lineEnds ? '\n' : ' ';
  });
  for (int32_t i = 0; i < s.moduleCount && i < duneforge::MaxModuleRows; ++i) {
    duneforge::ForEachRowField(s.rows[static_cast<size_t>(i)],
                               [&text](const char*, const auto& value) { text += FieldText(value) + ' '; });
    text.back() = '\n';
  }
  return text;
}

json SettingsToJson(const duneforge::CommandSettings& s) {
  json object = json::object();
  duneforge::ForEachHeaderField(s, [&object](const char* name, const auto& value) {
    if (!IsModuleCount(name)) object[name] = value;
  });
  json rows = json::array();
  for (int32_t i = 0; i < s.moduleCount && i < duneforge::MaxModuleRows; ++i) {
    json row = json::array();
    duneforge::ForEachRowField(s.rows[static_cast<size_t>(i)],
                               [&row](const char*, const auto& value) { row.push_back(value); });
    rows.push_back(row);
  }
  object["rows"] = rows;
  return object;
}

}  // namespace studio
