// Reader of uncompressed 24-bit BMP pictures, such as duneforge's preview.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "noisemap/image_grid.h"
#include "terrain/terrain_result.h"

namespace terrain {

// A picture in memory: rows from the top, each pixel blue, green, red.
struct BmpImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;  // width x height x 3 bytes

  // The pixel at column x of row y from the top; the caller keeps both inside.
  const uint8_t* At(int32_t x, int32_t y) const {
    return pixels.data() + (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
  }
};

// A rendered image as a picture: the image's rows run from the lower z, so
// its last row becomes the picture's top, the north.
BmpImage PictureOfImage(const noise::utils::ImageGrid& image);

// Reads a BMP file with a 40-byte (or longer) information header, 24 bits
// per pixel and no compression, bottom-up or top-down. A failure, naming
// `path`, for any other file, or when the pixel rows do not fit in it.
TerrainResult ReadBmp24(const std::string& path, BmpImage& image);

}  // namespace terrain
