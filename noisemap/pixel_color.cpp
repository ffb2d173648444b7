#include "noisemap/pixel_color.h"

#include "noisemap/channel_conversion.h"

namespace noise {
namespace utils {
namespace {

uint8_t BlendChannel(uint8_t c0, uint8_t c1, double factor) {
  // The channel ratios are single precision; the blend itself is double.
  const double a0 = static_cast<float>(c0) / 255.0f;
  const double a1 = static_cast<float>(c1) / 255.0f;
  return TruncateToByte((a1 * factor + a0 * (1.0 - factor)) * 255.0);
}

}  // namespace

PixelColor BlendColors(const PixelColor& c0, const PixelColor& c1, float factor) {
  const double f = factor;
  return PixelColor(BlendChannel(c0.alpha, c1.alpha, f), BlendChannel(c0.blue, c1.blue, f),
                    BlendChannel(c0.green, c1.green, f), BlendChannel(c0.red, c1.red, f));
}

}  // namespace utils
}  // namespace noise
