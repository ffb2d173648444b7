#include "terrain/image_bytes.h"

namespace terrain {

std::vector<uint8_t> ImageBytes(const noise::utils::ImageGrid& image, ChannelOrder channels, RowOrder rows) {
  const size_t width = static_cast<size_t>(image.GetWidth());
  const int height = image.GetHeight();
  const size_t size = channels == ChannelOrder::kRgba ? 4 : 3;
  std::vector<uint8_t> bytes(width * static_cast<size_t>(height) * size);
  for (int y = 0; y < height; ++y) {
    const noise::utils::PixelColor* source =
        image.RowData(rows == RowOrder::kNorthFirst ? height - 1 - y : y);
    uint8_t* out = bytes.data() + static_cast<size_t>(y) * width * size;
    for (size_t x = 0; x < width; ++x, out += size) {
      const bool bgr = channels == ChannelOrder::kBgr;
      out[0] = bgr ? source[x].blue : source[x].red;
      out[1] = source[x].green;
      out[2] = bgr ? source[x].red : source[x].blue;
      if (size == 4) out[3] = source[x].alpha;
    }
  }
  return bytes;
}

}  // namespace terrain
