// An export request as the studio receives it, in JSON.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "generator/command_settings.h"

namespace studio {

// What an export asks for:
//   "settings": the command settings, as SettingsFromJson reads them;
//   "kind": "noise" (noise_arr.txt, and tutorial.bmp when the settings ask
//           for the picture, as duneforge writes them), "hmp7", "png16" or
//           "obj" (the whole area as one terrain);
//   "name": for the terrains, the file's name, with or without its ending
//           (.hmp, .png, .obj);
//   "skin": for hmp7 and obj, "preview" (the relief of the preview as the
//           skin or texture, the default) or "blank" (a blank skin, no
//           texture);
//   "replace": false to have the export refused when one of its files is
//           in the folder already (true, the default, replaces them);
//   "spacing": for the terrains, the world's distance between neighbouring
//           samples, east and north (1 by default);
//   "heightScale": for the terrains, what every height is multiplied by;
//           missing or null for the default, which makes the heights span
//           a tenth of the terrain's larger side.
// Parsing throws StudioError (400) naming what is wrong, also for a terrain
// whose whole area has no tiles, does not fit in a terrain file, or needs
// more memory than duneforge's budget (DUNEFORGE_MEMORY_MB) allows.
class ExportRequest {
 public:
  // What an OBJ texture's name adds to the mesh's name.
  static constexpr const char* kTextureEnding = "_texture.png";

  enum class Kind { kNoise, kHmp7, kPng16, kObj };

  static ExportRequest Parse(const nlohmann::json& request);

  Kind GetKind() const { return kind_; }
  const duneforge::CommandSettings& Settings() const { return settings_; }
  bool PreviewSkin() const { return previewSkin_; }
  bool Replaces() const { return replaces_; }
  double Spacing() const { return spacing_; }
  // 0 for the default height scale.
  double HeightScale() const { return heightScale_; }
  // The files the export writes in the studio's folder, the main one first:
  // noise_arr.txt (and tutorial.bmp), NAME.hmp, NAME.png, or NAME.obj with
  // NAME.mtl (and NAME_texture.png for a texture).
  const std::vector<std::string>& FileNames() const { return files_; }
  // The most bytes the export can write: its files, each whole beside the
  // one it replaces until it is done.
  uint64_t LargestBytes() const;

 private:
  Kind kind_ = Kind::kNoise;
  duneforge::CommandSettings settings_;
  bool previewSkin_ = true;
  bool replaces_ = true;
  double spacing_ = 1.0;
  double heightScale_ = 0.0;
  std::vector<std::string> files_;
};

}  // namespace studio
