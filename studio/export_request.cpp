#include "studio/export_request.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "generator/duneforge_run.h"
#include "generator/height_array_writer.h"
#include "generator/height_value_format.h"
#include "plugin/terrain_recipe.h"
#include "studio/settings_json.h"
#include "studio/studio_error.h"

namespace studio {

namespace {

using nlohmann::json;

std::string Text(const json& request, const char* field, const std::string& otherwise) {
  if (!request.contains(field)) return otherwise;
  const json& value = request.at(field);
  if (!value.is_string()) throw StudioError(400, std::string("\"") + field + "\" must be a string");
  return value.get<std::string>();
}

// `name` with `ending`, unless it ends in it already.
std::string Named(const std::string& name, const std::string& ending) {
  if (name.empty() || name == ending) throw StudioError(400, "give the file a name, such as terrain");
  const bool ends =
      name.size() > ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0;
  return ends ? name : name + ending;
}

// A positive finite number, or `otherwise` where the field is missing (or
// null, where `nullAllowed`).
double Positive(const json& request, const char* field, double otherwise, bool nullAllowed) {
  if (!request.contains(field) || (nullAllowed && request.at(field).is_null())) return otherwise;
  const json& value = request.at(field);
  const double number = value.is_number() ? value.get<double>() : 0.0;
  if (!(number > 0.0) || !std::isfinite(number)) {
    throw StudioError(400, std::string("\"") + field + "\" must be a number above 0");
  }
  return number;
}

// A terrain export holds the whole area: the generated floats, the heights
// as doubles, the packed heights and what a writer makes of them.
constexpr int64_t kTerrainBytesPerSample = 16;

// Refuses an area that has no tiles, that no terrain file can hold, or that
// needs more memory than duneforge's budget allows; the first two name the
// header fields at fault.
void CheckTerrainArea(const duneforge::CommandSettings& settings) {
  std::vector<std::string> empty;
  if (settings.tilesX < 1) empty.push_back("tilesX");
  if (settings.tilesZ < 1) empty.push_back("tilesZ");
  if (settings.tileWidth < 1) empty.push_back("tileWidth");
  if (settings.tileHeight < 1) empty.push_back("tileHeight");
  if (!empty.empty()) throw StudioError(400, "the settings have no tiles to export", empty);
  const int64_t columns = int64_t{settings.tilesX} * settings.tileWidth;
  const int64_t rows = int64_t{settings.tilesZ} * settings.tileHeight;
  if (columns > INT32_MAX || rows > INT32_MAX) {
    std::vector<std::string> fields;
    if (columns > INT32_MAX) fields = {"tilesX", "tileWidth"};
    if (rows > INT32_MAX) fields.insert(fields.end(), {"tilesZ", "tileHeight"});
    throw StudioError(400, "the whole area is too large for one terrain", fields);
  }
  const int64_t budget = duneforge::MemoryBudgetBytes();
  if (columns * rows > budget / kTerrainBytesPerSample) {
    throw StudioError(400,
                      "the whole area, " + std::to_string(columns) + " x " + std::to_string(rows) +
                          " heights, needs more memory than " + duneforge::kMemoryVariable + " allows (" +
                          std::to_string(budget >> 20) + " MiB, " + std::to_string(kTerrainBytesPerSample) +
                          " bytes a height)",
                      {"tilesX", "tileWidth", "tilesZ", "tileHeight"});
  }
}

// The most bytes a terrain file takes a sample, with a picture of the
// preview's relief as its skin or texture: HMP7 two bytes of height and a
// skin of three bytes a pixel with its mip levels; PNG16 two bytes and a
// filter byte a row; OBJ a vertex, normal and texture coordinate line of
// three and two numbers of up to 16 characters and two faces of three
// corners of three indices of up to 10 digits.
constexpr uint64_t kHmpBytesPerSample = 2 + 4;
constexpr uint64_t kPngBytesPerSample = 3;
constexpr uint64_t kObjBytesPerSample = 2 * (3 + 3 * 17) + (3 + 2 * 17) + 2 * (2 + 3 * (3 * 11));
// Headers, a picture of the preview's size, the material, and such.
constexpr uint64_t kFixedBytes = uint64_t{16} << 20;

}  // namespace

uint64_t ExportRequest::LargestBytes() const {
  const uint64_t columns = static_cast<uint64_t>(std::max(settings_.tilesX, 0)) *
                           static_cast<uint64_t>(std::max(settings_.tileWidth, 0));
  const uint64_t rows = static_cast<uint64_t>(std::max(settings_.tilesZ, 0)) *
                        static_cast<uint64_t>(std::max(settings_.tileHeight, 0));
  // Far beyond any disk, and short of overflowing.
  const double samples = static_cast<double>(columns) * static_cast<double>(rows);
  double perSample = 0;
  switch (kind_) {
    case Kind::kNoise:
      perSample = static_cast<double>(duneforge::kMaxHeightEntryChars);
      break;
    case Kind::kHmp7:
      perSample = kHmpBytesPerSample;
      break;
    case Kind::kPng16:
      perSample = kPngBytesPerSample;
      break;
    case Kind::kObj:
      perSample = kObjBytesPerSample;
      break;
  }
  double bytes = samples * perSample + static_cast<double>(kFixedBytes);
  // The last tile's picture, three bytes a pixel.
  if (kind_ == Kind::kNoise && settings_.preview != 0)
    bytes += 3.0 * std::max(settings_.tileWidth, 0) * static_cast<double>(std::max(settings_.tileHeight, 0));
  return bytes >= 9e18 ? uint64_t{9000000000000000000u} : static_cast<uint64_t>(bytes);
}

ExportRequest ExportRequest::Parse(const json& request) {
  if (!request.is_object()) throw StudioError(400, "an export request is a JSON object");
  ExportRequest parsed;
  if (!request.contains("settings")) throw StudioError(400, "the export request names no \"settings\"");
  parsed.settings_ = SettingsFromJson(request.at("settings"));
  const std::string kind = Text(request, "kind", "");
  const std::string skin = Text(request, "skin", "preview");
  if (skin != "preview" && skin != "blank") {
    throw StudioError(400, "\"skin\" is \"preview\" or \"blank\", not \"" + skin + "\"");
  }
  parsed.previewSkin_ = skin == "preview";
  if (request.contains("replace")) {
    if (!request.at("replace").is_boolean()) throw StudioError(400, "\"replace\" must be true or false");
    parsed.replaces_ = request.at("replace").get<bool>();
  }
  if (kind == "noise") {
    parsed.kind_ = Kind::kNoise;
    parsed.files_.push_back(duneforge::kHeightArrayFileName);
    if (parsed.settings_.preview != 0) parsed.files_.push_back(duneforge::kPreviewFileName);
    return parsed;
  }
  const std::string name = Text(request, "name", "");
  if (kind == "hmp7" || kind == "png16" || kind == "obj") {
    CheckTerrainArea(parsed.settings_);
    parsed.spacing_ = Positive(request, "spacing", 1.0, false);
    parsed.heightScale_ = Positive(request, "heightScale", 0.0, true);
    const int64_t columns = int64_t{parsed.settings_.tilesX} * parsed.settings_.tileWidth;
    const int64_t rows = int64_t{parsed.settings_.tilesZ} * parsed.settings_.tileHeight;
    const int64_t side = std::max(columns, rows);
    if (!loamwriter::FitsFixed10(static_cast<double>(side - 1) * parsed.spacing_)) {
      // The header fields of the larger side; the spacing is the export's own.
      throw StudioError(400,
                        "the terrain is wider than a terrain file can say: its larger side, " +
                            std::to_string(side) + " samples, times \"spacing\" must stay within 2097151",
                        columns >= rows ? std::vector<std::string>{"tilesX", "tileWidth"}
                                        : std::vector<std::string>{"tilesZ", "tileHeight"});
    }
  }
  if (kind == "hmp7") {
    parsed.kind_ = Kind::kHmp7;
    parsed.files_.push_back(Named(name, ".hmp"));
  } else if (kind == "png16") {
    parsed.kind_ = Kind::kPng16;
    parsed.files_.push_back(Named(name, ".png"));
  } else if (kind == "obj") {
    parsed.kind_ = Kind::kObj;
    const std::string obj = Named(name, ".obj");
    const std::string stem = obj.substr(0, obj.size() - 4);
    parsed.files_ = {obj, stem + ".mtl"};
    // The texture has a name of its own, so that it never replaces a PNG16
    // export of the same name.
    if (parsed.previewSkin_) parsed.files_.push_back(stem + kTextureEnding);
  } else {
    throw StudioError(400, "\"kind\" is \"noise\", \"hmp7\", \"png16\" or \"obj\", not \"" + kind + "\"");
  }
  return parsed;
}

}  // namespace studio
