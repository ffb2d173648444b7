// A 4-byte colour with its channels in the order alpha, blue, green, red.
#pragma once

#include <cstdint>

namespace noise {
namespace utils {

// One pixel: bytes 0 to 3 are alpha (255 = opaque), blue, green and red. It
// is copied as a 4-byte value; default construction leaves the channels
// unset, so arrays of colours are uninitialised until written, while
// PixelColor{} is all zero.
struct PixelColor {
  uint8_t alpha;
  uint8_t blue;
  uint8_t green;
  uint8_t red;

  PixelColor() = default;
  constexpr PixelColor(uint8_t a, uint8_t b, uint8_t g, uint8_t r) : alpha(a), blue(b), green(g), red(r) {}

  friend bool operator==(const PixelColor& l, const PixelColor& r) {
    return l.alpha == r.alpha && l.blue == r.blue && l.green == r.green && l.red == r.red;
  }
  friend bool operator!=(const PixelColor& l, const PixelColor& r) { return !(l == r); }
};

static_assert(sizeof(PixelColor) == 4, "a colour is 4 bytes");

// Channel-wise linear interpolation of all four bytes: factor 0 gives c0 and
// 1 gives c1. Each byte is (c1/255 x f + c0/255 x (1 - f)) x 255 in double
// precision with the channel ratios rounded to float, truncated toward zero.
PixelColor BlendColors(const PixelColor& c0, const PixelColor& c1, float factor);

}  // namespace utils
}  // namespace noise
