// Skin pixels of the true-colour formats decoded to 8-bit red, green, blue
// and alpha.
#pragma once

#include <cstdint>
#include <vector>

namespace terrain {

// Decodes `width` x `height` pixels of `bytesPerPixel` bytes at `pixels`
// into `rgba`, in the same order. Two bytes are 4 bits each of alpha, red,
// green and blue when the type's pixel format (its low three bits) is 3,
// else 5 bits of red, 6 of green and 5 of blue; three bytes are blue, green,
// red, and four add alpha. False for a pixel format that holds no colour
// (palette indices, embedded data) or a size that is not positive.
bool DecodeSkinRgba(uint8_t type, int32_t bytesPerPixel, int32_t width, int32_t height, const uint8_t* pixels,
                    std::vector<uint8_t>& rgba);

}  // namespace terrain
