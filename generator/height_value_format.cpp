#include "generator/height_value_format.h"

#include <charconv>
#include <cstdint>
#include <cstring>

namespace duneforge {

namespace {

constexpr uint64_t kPowersOfTen[] = {1,      10,      100,      1000,      10000,
                                     100000, 1000000, 10000000, 100000000, 1000000000};

// The value m x 2^-shift times 10^scale, rounded to the nearest integer with
// ties to even, exactly. m < 2^24 and scale <= 9, so the product stays below
// 2^54; 1 <= shift <= 63.
uint64_t RoundScaled(uint64_t m, int shift, int scale) {
  const uint64_t n = m * kPowersOfTen[scale];
  const uint64_t mask = (uint64_t{1} << shift) - 1;
  const uint64_t half = uint64_t{1} << (shift - 1);
  uint64_t q = n >> shift;
  const uint64_t r = n & mask;
  if (r > half || (r == half && (q & 1) != 0)) ++q;
  return q;
}

// Powers of ten 10^-7 .. 10^7, indexed by exponent + 7.
constexpr double kTenTo[] = {1e-7, 1e-6, 1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1e0,
                             1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7};

// The decimal exponent X (10^X <= v < 10^(X+1)) of a value v with
// 2^e <= v < 2^(e+1), -21 <= e <= 21. floor(e x log10(2)) is X or X - 1
// (1233 / 4096 is log10(2) to within 1e-5); one comparison settles it. The
// caller still checks the digits, so a power of ten that is not exact in a
// double cannot make the result wrong.
int DecimalExponent(double v, int e) {
  const int estimate = (e * 1233 + 4096 * 64) / 4096 - 64;
  return estimate + (v >= kTenTo[estimate + 8] ? 1 : 0);
}

char* WriteSlow(float value, char* out) {
  return std::to_chars(out, out + kMaxHeightValueChars, value, std::chars_format::general, 6).ptr;
}

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

}  // namespace

char* FormatHeightValue(float value, char* out) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const uint32_t biased = (bits >> 23) & 0xFFu;
  // Zero, denormals, infinities and NaN, and magnitudes that always print
  // with an exponent (below 2^-20 or from 2^20 on, roughly), take the slow path.
  if (biased < 127 - 20 || biased > 127 + 20) return WriteSlow(value, out);

  const bool negative = (bits >> 31) != 0;
  const uint64_t m = (bits & 0x7FFFFFu) | 0x800000u;
  const int shift = 150 - static_cast<int>(biased);  // value = m / 2^shift
  if (shift < 1) return WriteSlow(value, out);

  const double magnitude = negative ? -static_cast<double>(value) : static_cast<double>(value);
  // X is the exponent of the value once rounded to 6 digits; the fixed form
  // is used for -4 <= X < 6, where the 6 digits are round(value x 10^(5-X)).
  const int x = DecimalExponent(magnitude, static_cast<int>(biased) - 127);
  if (x < -4 || x > 5) return WriteSlow(value, out);
  const uint64_t digits = RoundScaled(m, shift, 5 - x);
  // Rounding up to 10^6 moves the value to the next exponent (999999.5 is
  // "1e+06"); that and an inexact power of ten near a boundary, both rare,
  // are left to the slow path.
  if (digits >= 1000000 || digits < 100000) return WriteSlow(value, out);

  // Six digit characters, two at a time.
  char text[6];
  const uint32_t d = static_cast<uint32_t>(digits);
  std::memcpy(text, kDigitPairs + 2 * (d / 10000), 2);
  std::memcpy(text + 2, kDigitPairs + 2 * (d / 100 % 100), 2);
  std::memcpy(text + 4, kDigitPairs + 2 * (d % 100), 2);
  int significant = 6;
  while (significant > 1 && text[significant - 1] == '0') --significant;

  // The sign without a branch: heights change sign at random.
  char* p = out;
  *p = '-';
  p += negative ? 1 : 0;
  if (x >= 0) {
    // 1 to 6 whole digits, then the point and the rest when any is left.
    const int whole = x + 1;
    std::memcpy(p, text, 6);
    if (significant > whole) {
      std::memmove(p + whole + 1, p + whole, static_cast<size_t>(significant - whole));
      p[whole] = '.';
      return p + significant + 1;
    }
    return p + whole;
  }
  // "0." and -X - 1 zeros (0 to 3) before the digits.
  std::memcpy(p, "0.000", 5);
  const int zeros = -x - 1;
  std::memcpy(p + 2 + zeros, text, 6);
  p += 2 + zeros + significant;
  return p;
}

char* FormatHeightEntries(const float* values, size_t count, char* out) {
  for (size_t i = 0; i < count; ++i) {
    out = FormatHeightValue(values[i], out);
    *out++ = ',';
  }
  return out;
}

}  // namespace duneforge
