// Powers of doubles that come out the same to the last bit on every system.
#pragma once

namespace platform {

// x to the power y from double arithmetic alone (no extended precision, no
// fused multiply-add, nothing from the C library), so every build gives the
// same bits. The result is x^y rounded to nearest, ties to even: logarithm and
// exponential are carried in double-double (about 100 bits), and a result
// that lands near the middle between two doubles is checked for being that
// middle exactly (3^34, 243 * 2^-1075 ...). What is left are values within
// 2^-80 of their size from such a middle without being on it, where the last
// bit may be wrong; no such input is known.
//
// Special cases are C99's, with the NaN choices of glibc on x86-64:
// pow(x, +-0) and pow(+1, y) are 1 even for a quiet NaN on the other side,
// while a signaling NaN there comes out quietened; otherwise a NaN x comes
// out (quietened) before a NaN y; a negative finite x with a finite
// non-integer y gives the processor's default NaN, negative (0xfff8 << 48).
// Overflow gives +-inf and underflow +-0 or a correctly rounded subnormal.
double PortablePow(double x, double y);

// The power the generator uses: the C library's pow where that is glibc, and
// PortablePow elsewhere.
double Pow(double x, double y);

}  // namespace platform
