#include "studio/preview_request.h"

#include <cmath>
#include <limits>
#include <sstream>
#include <string>

#include "noisemap/error.h"
#include "studio/studio_error.h"

namespace studio {

namespace {

using nlohmann::json;

[[noreturn]] void Refuse(const std::string& text) { throw StudioError(400, text); }

int32_t IntegerOf(const json& value, const std::string& name) {
  if (!value.is_number_integer()) Refuse(name + " is not an integer");
  if (value.is_number_unsigned() ? value.get<uint64_t>() > static_cast<uint64_t>(INT32_MAX)
                                 : (value.get<int64_t>() < INT32_MIN || value.get<int64_t>() > INT32_MAX)) {
    Refuse(name + " is out of range; an integer field takes -2147483648 .. 2147483647");
  }
  return static_cast<int32_t>(value.get<int64_t>());
}

double NumberOf(const json& value, const std::string& name) {
  if (!value.is_number()) Refuse(name + " is not a number");
  const double number = value.get<double>();
  if (!std::isfinite(number)) Refuse(name + " is not a finite number");
  return number;
}

// A float field holds what the command file would: the number at single
// precision, and magnitudes up to the largest float.
float FloatOf(const json& value, const std::string& name) {
  const double number = NumberOf(value, name);
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
    spec.type = IntegerOf(row[0], name + " type");
    spec.p1 = IntegerOf(row[1], name + " p1");
    spec.p2 = FloatOf(row[2], name + " p2");
    spec.p3 = FloatOf(row[3], name + " p3");
    spec.p4 = FloatOf(row[4], name + " p4");
  }
}

duneforge::CommandSettings SettingsOf(const json& object) {
  if (!object.is_object()) Refuse("settings is not an object");
  duneforge::CommandSettings settings;
  const auto integer = [&object](const char* name, int32_t& field) {
    if (object.contains(name)) field = IntegerOf(object[name], name);
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

duneforge::CommandSettings CommandFileOf(const json& text) {
  if (!text.is_string()) Refuse("commandFile is not text");
  duneforge::CommandSettings settings;
  std::istringstream in(text.get<std::string>());
  duneforge::ReadCommandSettings(in, settings);
  duneforge::CheckCommandSettings(settings, duneforge::kCommandFileName);
  return settings;
}

int32_t SideOf(const json& request, const char* name) {
  if (!request.contains(name)) return kDefaultPreviewSide;
  const int32_t side = IntegerOf(request[name], name);
  if (side < 1 || side > kLargestPreviewSide) {
    Refuse(std::string(name) + " " + std::to_string(side) + " is outside 1 .. " +
           std::to_string(kLargestPreviewSide));
  }
  return side;
}

constexpr size_t kLongestChannel = 64;
constexpr uint64_t kLargestSequence = uint64_t{1} << 53;

}  // namespace

void PreviewRequest::ReadChannel(const json& request) {
  if (request.contains("channel") != request.contains("sequence"))
    Refuse("give both channel and sequence, or neither");
  if (!request.contains("channel")) return;
  const json& channel = request["channel"];
  if (!channel.is_string() || channel.get<std::string>().empty() ||
      channel.get<std::string>().size() > kLongestChannel) {
    Refuse("channel is not a name of 1 .. 64 bytes");
  }
  const json& sequence = request["sequence"];
  if (!sequence.is_number_unsigned() || sequence.get<uint64_t>() > kLargestSequence) {
    Refuse("sequence is not a whole number from 0 to 2^53");
  }
  channel_ = channel.get<std::string>();
  sequence_ = sequence.get<uint64_t>();
}

PreviewRequest PreviewRequest::Parse(const json& request) {
  if (!request.is_object()) Refuse("the request is not a JSON object");
  PreviewRequest parsed;
  try {
    if (request.contains("commandFile") == request.contains("settings")) {
      Refuse("give either commandFile or settings");
    }
    parsed.settings_ = request.contains("commandFile") ? CommandFileOf(request["commandFile"])
                                                       : SettingsOf(request["settings"]);
  } catch (const noise::utils::ErrorMessage& e) {
    Refuse(e.Message());
  }
  parsed.area_.width = SideOf(request, "width");
  parsed.area_.height = SideOf(request, "height");
  const duneforge::CommandSettings& s = parsed.settings_;
  double bounds[4] = {s.lowerX, s.upperX, s.lowerZ, s.upperZ};
  if (request.contains("bounds")) {
    const json& given = request["bounds"];
    if (!given.is_array() || given.size() != 4) Refuse("bounds is not [lowerX, upperX, lowerZ, upperZ]");
    for (size_t i = 0; i < 4; ++i) bounds[i] = NumberOf(given[i], "bounds[" + std::to_string(i) + "]");
  }
  parsed.area_.lowerX = bounds[0];
  parsed.area_.upperX = bounds[1];
  parsed.area_.lowerZ = bounds[2];
  parsed.area_.upperZ = bounds[3];
  const std::string output = request.value("output", std::string("png"));
  if (output != "png" && output != "heights") Refuse("output \"" + output + "\" is neither png nor heights");
  parsed.output_ = output == "png" ? Output::kPng : Output::kHeights;
  parsed.ReadChannel(request);
  return parsed;
}

}  // namespace studio
