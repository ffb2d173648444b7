#include "terrain/skin_rgba.h"

#include <cstddef>

#include "modelfiles/skin_format.h"
#include "platform/little_endian.h"

namespace terrain {

bool DecodeSkinRgba(uint8_t type, int32_t bytesPerPixel, int32_t width, int32_t height, const uint8_t* pixels,
                    std::vector<uint8_t>& rgba) {
  if (width <= 0 || height <= 0 || bytesPerPixel < 2 || bytesPerPixel > 4) return false;
  const uint8_t format = type & modelfiles::kSkinFormatMask;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  rgba.resize(count * 4);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* p = pixels + i * static_cast<size_t>(bytesPerPixel);
    uint8_t* out = rgba.data() + 4 * i;
    if (bytesPerPixel == 2) {
      const uint32_t v = platform::LoadU16(p, 0);
      if (format == modelfiles::kSkinFormatArgb4444) {
        out[0] = static_cast<uint8_t>(((v >> 8) & 15) * 17);
        out[1] = static_cast<uint8_t>(((v >> 4) & 15) * 17);
        out[2] = static_cast<uint8_t>((v & 15) * 17);
        out[3] = static_cast<uint8_t>((v >> 12) * 17);
      } else {
        out[0] = static_cast<uint8_t>(((v >> 11) & 31) * 255 / 31);
        out[1] = static_cast<uint8_t>(((v >> 5) & 63) * 255 / 63);
        out[2] = static_cast<uint8_t>((v & 31) * 255 / 31);
        out[3] = 255;
      }
    } else {
      out[0] = p[2];
      out[1] = p[1];
      out[2] = p[0];
      out[3] = bytesPerPixel == 4 ? p[3] : 255;
    }
  }
  return true;
}

}  // namespace terrain
