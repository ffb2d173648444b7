// The text form of one height value in noise_arr.txt.
#pragma once

#include <cstddef>

namespace duneforge {

// Room FormatHeightValue needs: the longest form is 12 characters
// ("-1.17549e-38", "-0.000123457").
constexpr size_t kMaxHeightValueChars = 16;

// Writes `value` exactly as a default std::ostream writes a float (general
// notation, 6 significant digits, trailing zeros removed: "0.5", "-0.123457",
// "1", "1e-05", "-0", "inf", "-nan") into `out`, which has room for
// kMaxHeightValueChars characters, and returns the end of the text (no
// terminating zero). Values that print without an exponent are formatted by
// exact integer arithmetic on the float's bits; the rest by std::to_chars.
char* FormatHeightValue(float value, char* out);

}  // namespace duneforge
