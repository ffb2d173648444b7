#include "plugin/mip_sampler.h"

#include <cstring>

namespace loamwriter {

bool MipSampler(int32_t width, int32_t height, int32_t bytesPerPixel, const uint8_t* pixels, int32_t step,
                uint8_t* destination, int64_t count) {
  if (width < 0 || height < 0 || bytesPerPixel < 0 || step < 1 || count < 0) return false;
  if (count == 0 || bytesPerPixel == 0) return true;
  const int64_t w = width;
  const int64_t h = height;
  const int64_t b = bytesPerPixel;
  // The last pick, (count - 1) x step, must name a pixel of the bitmap; with
  // count <= w x h / step it always does.
  if (w == 0 || h == 0 || count - 1 > (w * h - 1) / step || pixels == nullptr || destination == nullptr)
    return false;

  for (int64_t q = 0; q < count; ++q) {
    const int64_t place = q * step;
    const int64_t row = h - 1 - place / w;
    const int64_t column = place % w;
    std::memcpy(destination + q * b, pixels + (row * w + column) * b, static_cast<size_t>(b));
  }
  return true;
}

}  // namespace loamwriter
