// A picture of a model file: one frame, or a sheet of every frame, written
// as an RGBA PNG with a transparent background.
#pragma once

#include <cstdint>
#include <string>

namespace render {

// What modelview draws.
struct ModelPicture {
  // The largest picture side, and of a sheet the largest side and pixel count.
  static constexpr int kMaximumSide = 4096;
  static constexpr int kMaximumSheetSide = 16384;
  static constexpr long long kMaximumSheetPixels = 64LL * 1024 * 1024;

  // The frame to draw, from 0; ignored for a sheet.
  int64_t frame = 0;
  // Every frame on one picture, in a grid of cells read by rows from the top
  // left, all at the scale of the largest frame.
  bool sheet = false;
  // The picture's size, or each cell's for a sheet: 1 to kMaximumSide.
  int width = 256;
  int height = 256;
};

// Reads the model at `modelPath`, draws it as `picture` says and writes the
// PNG at `outputPath`, replacing it whole or leaving it as it was. False with
// a one-line `error` when the model cannot be read or is damaged (the
// reader's reason), has no such frame, makes too large a sheet, or the
// picture cannot be written. Lets no exception out.
bool WriteModelPicture(const std::string& modelPath, const ModelPicture& picture,
                       const std::string& outputPath, std::string& error);

}  // namespace render
