// The one conversion from floating values to integers in the plug-in.
#pragma once

#include <cstdint>

namespace loamwriter {

// Truncates toward zero. NaN and values whose integer part lies outside the
// 32-bit range (below -2147483648 or from 2147483648 on) give 0, where a bare
// conversion would be undefined.
inline int32_t TruncateToInt32(double value) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return 0;
  return static_cast<int32_t>(value);
}

}  // namespace loamwriter
