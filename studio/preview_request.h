// A preview request as the studio receives it, in JSON.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "generator/command_settings.h"
#include "studio/preview_maker.h"

namespace studio {

// What a preview request asks for:
//   "commandFile": the text of a command file, read by duneforge's rules, or
//   "settings": {"tilesX": 1, ..., "lowerX": 0, ..., "seedBase": 0,
//                "rows": [[type, p1, p2, p3, p4], ...]} (header fields left
//                out keep their initial values; moduleCount is the row count);
//   "width", "height": the preview's samples, 1 .. kLargestPreviewSide
//                (kDefaultPreviewSide each when left out);
//   "bounds": [lowerX, upperX, lowerZ, upperZ] (the whole area of the
//                settings when left out);
//   "output": "png" (the relief picture, the default) or "heights";
//   "channel", "sequence": the page's own name (1 .. 64 bytes) and the
//                number of this preview on it (0 .. 2^53), so that a newer
//                preview of the same page makes this one stale.
// Parsing throws StudioError (400) naming what is wrong, with duneforge's
// text for a command file it would refuse; a refusal of the settings'
// header (bounds of the settings that are empty or reversed among them)
// carries the header fields at fault.
class PreviewRequest {
 public:
  enum class Output { kPng, kHeights };

  static PreviewRequest Parse(const nlohmann::json& request);

  const duneforge::CommandSettings& Settings() const { return settings_; }
  const PreviewArea& Area() const { return area_; }
  Output GetOutput() const { return output_; }
  // The channel, empty when the request names none.
  const std::string& Channel() const { return channel_; }
  uint64_t Sequence() const { return sequence_; }

 private:
  void ReadChannel(const nlohmann::json& request);

  duneforge::CommandSettings settings_;
  PreviewArea area_;
  Output output_ = Output::kPng;
  std::string channel_;
  uint64_t sequence_ = 0;
};

}  // namespace studio
