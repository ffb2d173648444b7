#include "studio/preview_request.h"

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "generator/header_error.h"
#include "noisemap/error.h"
#include "noisemap/noise_map_builder_plane.h"
#include "studio/settings_json.h"
#include "studio/studio_error.h"

namespace studio {

namespace {

using nlohmann::json;

[[noreturn]] void Refuse(const std::string& text) { throw StudioError(400, text); }

int32_t SideOf(const json& request, const char* name) {
  if (!request.contains(name)) return kDefaultPreviewSide;
  const int32_t side = JsonInteger(request[name], name);
  if (side < 1 || side > kLargestPreviewSide) {
    Refuse(std::string(name) + " " + std::to_string(side) + " is outside 1 .. " +
           std::to_string(kLargestPreviewSide));
  }
  return side;
}

// Refuses an area that the plane builder would, by its own test and in its
// words, naming the header fields of the axis at fault.
void CheckSettingsBounds(const PreviewArea& area) {
  try {
    noise::utils::NoiseMapBuilderPlane check;
    check.SetBounds(area.lowerX, area.upperX, area.lowerZ, area.upperZ);
  } catch (const noise::utils::ErrorMessage& e) {
    std::vector<std::string> fields;
    if (!(area.lowerX < area.upperX)) fields = {"lowerX", "upperX"};
    if (!(area.lowerZ < area.upperZ)) fields.insert(fields.end(), {"lowerZ", "upperZ"});
    throw StudioError(400, e.Message(), fields);
  }
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
    parsed.settings_ = request.contains("commandFile") ? SettingsFromCommandFile(request["commandFile"])
                                                       : SettingsFromJson(request["settings"]);
  } catch (const duneforge::HeaderError& e) {
    throw StudioError(400, e.Message(), e.Fields());
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
    for (size_t i = 0; i < 4; ++i) bounds[i] = JsonNumber(given[i], "bounds[" + std::to_string(i) + "]");
  }
  parsed.area_.lowerX = bounds[0];
  parsed.area_.upperX = bounds[1];
  parsed.area_.lowerZ = bounds[2];
  parsed.area_.upperZ = bounds[3];
  const std::string output = request.value("output", std::string("png"));
  if (output != "png" && output != "heights") Refuse("output \"" + output + "\" is neither png nor heights");
  parsed.output_ = output == "png" ? Output::kPng : Output::kHeights;
  parsed.ReadChannel(request);
  // Bounds of the request's own are not the settings' fields; the preview
  // maker refuses them as they are.
  if (!request.contains("bounds")) CheckSettingsBounds(parsed.area_);
  return parsed;
}

}  // namespace studio
