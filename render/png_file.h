// PNG pictures of rendered images, written whole or not at all.
#pragma once

#include <string>

#include "noisemap/image_grid.h"

namespace render {

// Whether this build writes PNG pictures.
bool PngSupported();

// Writes `image` as an 8-bit RGB PNG file, or RGBA with `withAlpha`, north
// (the image's last row) at the top. Throws noise::utils::FileError when the
// file cannot be written, InvalidParamError when PNG support is not built in.
void WritePng(const noise::utils::ImageGrid& image, const std::string& path, bool withAlpha = false);

}  // namespace render
