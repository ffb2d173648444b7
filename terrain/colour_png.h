// Colour PNG pictures of 8-bit samples, through libpng.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace terrain {

// Whether this build writes colour PNG pictures.
bool ColourPngSupported();

// Encodes `width` x `height` pixels at `pixels`, rows from the top, each
// pixel red, green, blue and, `withAlpha`, alpha, as the bytes of a PNG
// file in `png`. False with a one-line reason in `error` when the size is
// not positive, memory runs out, or the build has no PNG support.
bool EncodeColourPng(const uint8_t* pixels, int32_t width, int32_t height, bool withAlpha,
                     std::vector<uint8_t>& png, std::string& error);

}  // namespace terrain
