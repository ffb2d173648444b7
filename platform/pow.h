// Powers of doubles that come out the same to the last bit on every system.
#pragma once

namespace platform {

// x to the power y from double arithmetic alone (no extended precision, no
// fused multiply-add, nothing from the C library), so that every build gives
// the same bits. The result is x^y rounded to nearest, ties to even. The
// logarithm and the exponential are carried in double-double (their result is
// within 2^-94 of x^y, relatively); where that lies within 2^-80 of a
// midpoint between two doubles, 288-bit fixed-point arithmetic settles the
// side, and an exact midpoint (3^34, 10^23, 243 * 2^-1075) goes to the even
// neighbour. Only an x^y closer than 2^-200 to a midpoint without being on it
// would be rounded as a tie; no such input is known.
//
// glibc's pow is accurate to about 0.52 ulp, not correctly rounded: for the
// generator's Exponent arguments, about one call in 1200 gives a last bit that
// differs from this one's (glibc's being the farther neighbour).
//
// Special cases are C99's, with the NaN choices of glibc on x86-64:
// pow(x, +-0) and pow(+1, y) are 1 even for a quiet NaN on the other side,
// while a signaling NaN there comes out quietened; otherwise a NaN x comes out
// (quietened, and without its sign bit if y is an odd integer) before a NaN y;
// a negative finite x with a finite non-integer y gives the processor's
// default NaN, negative (0xfff8 << 48). Overflow gives +-inf, and underflow
// +-0 or a correctly rounded subnormal.
double PortablePow(double x, double y);

// The power the generator uses: the C library's pow where that is glibc
// (but for 32-bit x86, where glibc computes it on the x87 stack), and
// PortablePow elsewhere.
double Pow(double x, double y);

}  // namespace platform
