// The one turning of a rendered image into bytes, for every picture the
// toolkit writes from one.
#pragma once

#include <cstdint>
#include <vector>

#include "noisemap/image_grid.h"

namespace terrain {

// The channels of a pixel, in the order they are stored.
enum class ChannelOrder {
  kRgb,   // red, green, blue: PNG
  kRgba,  // red, green, blue, alpha: PNG with alpha
  kBgr,   // blue, green, red: BMP and engine bitmaps
};

// Which row comes first. An image's row 0 lies at the lower z, the south.
enum class RowOrder {
  kNorthFirst,  // the image's last row first, as pictures are seen
  kSouthFirst,  // the image's row 0 first
};

// The image's pixels, row after row without padding. Throws std::bad_alloc
// when memory runs out.
std::vector<uint8_t> ImageBytes(const noise::utils::ImageGrid& image, ChannelOrder channels, RowOrder rows);

}  // namespace terrain
