// Conversion of doubles to integers at the processor's own speed.
#pragma once

#include <cstdint>

namespace platform {

// Truncates toward zero to a signed 32-bit integer. NaN and values whose
// integer part lies outside the 32-bit range (below -2147483648 or from
// 2147483648 on) give INT32_MIN, whose low 31 bits are all zero, so a caller
// that keeps only low bits gets 0 for them. This is what x86's conversion
// instruction does by itself; a tested conversion costs a terrain vertex
// about a third more.
inline int32_t TruncateOrMinimum(double value) {
#if defined(__GNUC__) && defined(__SSE2__)  // x86: the instruction itself, hidden from constant folding
  int32_t result;
  __asm__("cvttsd2si %1, %0" : "=r"(result) : "x"(value));
  return result;
#else  // elsewhere the range is tested, since a bare conversion would be undefined
  if (!(value > -2147483649.0 && value < 2147483648.0)) return INT32_MIN;
  return static_cast<int32_t>(value);
#endif
}

}  // namespace platform
