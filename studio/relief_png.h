// The preview as a picture: a lit, coloured relief encoded as PNG.
#pragma once

#include <string>

#include "noisemap/height_grid.h"
#include "noisemap/image_grid.h"

namespace studio {

// Renders heights with the relief renderer as a lit terrain (green lowland
// at -1, then olive, brown, rock, and snow at 1) and encodes the picture
// as an 8-bit RGB PNG, row 0 of the grid at the top. The grid is not empty.
// Throws StudioError (500, or 503 when memory runs out) when the picture
// cannot be encoded.
class ReliefPng {
 public:
  // The lit, coloured relief itself, row y of the grid in row y.
  static void Render(const noise::utils::HeightGrid& grid, noise::utils::ImageGrid& image);
  static std::string Encode(const noise::utils::HeightGrid& grid);
};

}  // namespace studio
