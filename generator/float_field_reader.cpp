#include "generator/float_field_reader.h"

#include <charconv>
#include <cstddef>
#include <limits>
#include <string>
#include <system_error>

#if defined(__GLIBCXX__)
#include <cxxabi.h>
#endif

namespace duneforge {

namespace {

using Traits = std::istream::traits_type;

bool IsDigit(Traits::int_type c) { return c >= '0' && c <= '9'; }

// The characters one number took from the stream, and what they held.
struct NumberText {
  std::string text;
  bool hasMantissaDigit = false;
  bool hasExponent = false;
  bool hasExponentDigit = false;
  bool reachedEnd = false;
};

// Takes the characters of one number from `buffer`, leaving the first one
// that cannot continue it unread.
NumberText TakeNumberText(std::streambuf& buffer) {
  NumberText number;
  Traits::int_type c = buffer.sgetc();
  const auto take = [&] {
    number.text.push_back(Traits::to_char_type(c));
    c = buffer.snextc();
  };
  if (c == '+' || c == '-') take();
  bool hasPoint = false;
  for (;;) {
    if (IsDigit(c)) {
      (number.hasExponent ? number.hasExponentDigit : number.hasMantissaDigit) = true;
      take();
    } else if (c == '.' && !hasPoint && !number.hasExponent) {
      hasPoint = true;
      take();
    } else if ((c == 'e' || c == 'E') && !number.hasExponent && number.hasMantissaDigit) {
      number.hasExponent = true;
      take();
      if (c == '+' || c == '-') take();
    } else {
      break;
    }
  }
  number.reachedEnd = Traits::eq_int_type(c, Traits::eof());
  return number;
}

// The power of ten of the leading nonzero digit of the unsigned number
// `first` .. `last` (digits, at most one '.', then "e" and an exponent with
// at least one digit, or no exponent): 2 for "123.4", -3 for "0.001e0", 38
// for "1e38". Only its sign is used, so magnitudes beyond 10^15 are clamped.
// A number without a nonzero digit counts as negative.
long long LeadingDecimalPower(const char* first, const char* last) {
  constexpr long long kClamp = 1000000000000000LL;
  long long digitsBeforePoint = 0;  // from the leading nonzero digit on
  long long zerosAfterPoint = 0;    // before the leading nonzero digit
  bool seenNonzero = false;
  bool afterPoint = false;
  const char* p = first;
  for (; p != last && *p != 'e' && *p != 'E'; ++p) {
    if (*p == '.') {
      afterPoint = true;
    } else if (!seenNonzero && *p == '0') {
      if (afterPoint && zerosAfterPoint < kClamp) ++zerosAfterPoint;
    } else {
      seenNonzero = true;
      if (!afterPoint && digitsBeforePoint < kClamp) ++digitsBeforePoint;
    }
    if (seenNonzero && afterPoint) break;
  }
  if (!seenNonzero) return -1;
  while (p != last && *p != 'e' && *p != 'E') ++p;
  long long exponent = 0;
  if (p != last) {
    ++p;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    for (; p != last; ++p) {
      if (exponent < kClamp) exponent = exponent * 10 + (*p - '0');
    }
    if (negative) exponent = -exponent;
  }
  const long long position = digitsBeforePoint > 0 ? digitsBeforePoint - 1 : -zerosAfterPoint - 1;
  return exponent + position;
}

// Stores the value of the number `number` took into `value` and returns
// failbit where the stream fails on it: text that is no complete number
// ("-", ".", "1e", "1e+") stores 0, a number too large for a float the
// largest float of its sign; a number too small is a zero of its sign and
// does not fail.
std::ios_base::iostate StoreNumber(const NumberText& number, float& value) {
  if (!number.hasMantissaDigit || (number.hasExponent && !number.hasExponentDigit)) {
    value = 0.0f;
    return std::ios_base::failbit;
  }
  const char* first = number.text.data();
  const char* const last = first + number.text.size();
  const bool negative = *first == '-';
  // std::from_chars takes no '+'; both signs are applied to the magnitude,
  // which rounds the same either way.
  if (*first == '+' || *first == '-') ++first;
  float magnitude = 0.0f;
  const std::from_chars_result result = std::from_chars(first, last, magnitude);
  if (result.ptr != last || (result.ec != std::errc() && result.ec != std::errc::result_out_of_range)) {
    value = 0.0f;
    return std::ios_base::failbit;
  }
  if (result.ec == std::errc()) {
    value = negative ? -magnitude : magnitude;
    return std::ios_base::goodbit;
  }
  // Out of range, `magnitude` untouched: the number rounds to infinity or to
  // zero, told apart by its leading digit's power of ten.
  if (LeadingDecimalPower(first, last) >= 0) {
    value = negative ? std::numeric_limits<float>::lowest() : std::numeric_limits<float>::max();
    return std::ios_base::failbit;
  }
  value = negative ? -0.0f : 0.0f;
  return std::ios_base::goodbit;
}

}  // namespace

std::istream& ReadFloatField(std::istream& in, float& value) {
  const std::istream::sentry ready(in);
  if (!ready) return in;
  std::ios_base::iostate state = std::ios_base::goodbit;
  try {
    const NumberText number = TakeNumberText(*in.rdbuf());
    state |= StoreNumber(number, value);
    if (number.reachedEnd) state |= std::ios_base::eofbit;
  }
#if defined(__GLIBCXX__)
  catch (abi::__forced_unwind&) {
    // Thread cancellation must go on unwinding.
    try {
      in.setstate(std::ios_base::badbit);
    } catch (const std::ios_base::failure&) {
    }
    throw;
  }
#endif
  catch (...) {
    // A failing buffer marks the stream bad. Its exception, not the stream's
    // own, reaches the caller, and only when the caller asked for exceptions
    // on badbit.
    try {
      in.setstate(std::ios_base::badbit);
    } catch (const std::ios_base::failure&) {
    }
    if ((in.exceptions() & std::ios_base::badbit) != 0) throw;
  }
  if (state != std::ios_base::goodbit) in.setstate(state);
  return in;
}

}  // namespace duneforge
