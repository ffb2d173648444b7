// The one conversion from a floating value to an integer used by duneforge.
#pragma once

#include <cstdint>

namespace duneforge {

// Truncates `value` toward zero into *result. Returns false, leaving *result
// alone, when value is NaN or its truncation lies outside the signed 32-bit
// range (-2147483648.9 converts, -2147483649.0 and 2147483648.0 do not), where
// a plain cast would be undefined.
inline bool TruncateToInt32(double value, int32_t* result) {
  // Written so that NaN fails both comparisons.
  if (!(value > -2147483649.0 && value < 2147483648.0)) return false;
  *result = static_cast<int32_t>(value);
  return true;
}

}  // namespace duneforge
