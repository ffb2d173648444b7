// Colour PNG pictures of 8-bit samples, through libpng.
#pragma once

#include <cstdint>
#include <vector>

#include "terrain/terrain_result.h"

namespace terrain {

// Whether this build writes colour PNG pictures.
bool ColourPngSupported();

// Encodes `width` x `height` pixels at `pixels`, rows from the top, each
// pixel red, green, blue and, `withAlpha`, alpha, as the bytes of a PNG
// file in `png`. A failure as EncodePng's when the size is not positive,
// memory runs out, or the build has no PNG support.
TerrainResult EncodeColourPng(const uint8_t* pixels, int32_t width, int32_t height, bool withAlpha,
                              std::vector<uint8_t>& png);

}  // namespace terrain
