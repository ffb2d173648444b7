#include "studio/preview_request.h"

#include <cmath>
#include <limits>
#include <sstream>
#include <string>

#include "noisemap/error.h"
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
  return parsed;
}

}  // namespace studio
