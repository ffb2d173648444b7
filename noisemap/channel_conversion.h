// The one conversion from a computed channel value to a colour byte.
#pragma once

#include <cstdint>

namespace noise {
namespace utils {

// Truncates v toward zero into a byte. Values at or below 0 and NaN give 0,
// values at or above 255 give 255, so the conversion is defined for every
// double.
inline uint8_t TruncateToByte(double v) {
  if (!(v > 0.0)) return 0;
  if (v >= 255.0) return 255;
  return static_cast<uint8_t>(v);
}

}  // namespace utils
}  // namespace noise
