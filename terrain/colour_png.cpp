#include "terrain/colour_png.h"

#include "terrain/png_encoder.h"

namespace terrain {

bool ColourPngSupported() { return PngEncoderSupported(); }

TerrainResult EncodeColourPng(const uint8_t* pixels, int32_t width, int32_t height, bool withAlpha,
                              std::vector<uint8_t>& png) {
  PngLayout layout;
  layout.width = width;
  layout.height = height;
  layout.channels = withAlpha ? 4 : 3;
  layout.sRGB = true;
  return EncodePng(layout, pixels, png);
}

}  // namespace terrain
