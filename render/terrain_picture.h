// A lit, coloured relief picture of a terrain.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "noisemap/image_grid.h"
#include "render/png_file.h"
#include "terrain/terrain_relief.h"

namespace render {

// The relief itself is drawn by the terrain room; the pictures know it by
// these names.
using terrain::ReliefLight;
using terrain::RenderTerrain;

// Writes `image` to `path`: a BMP picture, or a PNG picture when the name
// ends in ".png" and PNG support is built in. Either replaces the file whole
// or leaves it as it was. Throws noise::utils::FileError
// when the file cannot be written, InvalidParamError for a PNG name when PNG
// support is not built in.
void WritePicture(const noise::utils::ImageGrid& image, const std::string& path);

}  // namespace render
