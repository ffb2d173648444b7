// The one conversion from floating values to integers in the plug-in.
#pragma once

#include <cstdint>

#include "platform/float_conversion.h"

namespace loamwriter {

// The low 16 and the low 8 bits of a value truncated toward zero, as the
// packed fields of a terrain file take them. NaN and values whose integer
// part lies outside the 32-bit range (below -2147483648 or from 2147483648
// on) give 0, where a bare conversion would be undefined. Every vertex takes
// three of these, so they cost one instruction each where the processor
// allows it.
inline uint16_t TruncateLow16(double value) {
  return static_cast<uint16_t>(static_cast<uint32_t>(platform::TruncateOrMinimum(value)) & 0xFFFFu);
}
inline uint8_t TruncateLow8(double value) {
  return static_cast<uint8_t>(static_cast<uint32_t>(platform::TruncateOrMinimum(value)) & 0xFFu);
}

}  // namespace loamwriter
