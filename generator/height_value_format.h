// The text form of one height value in noise_arr.txt.
#pragma once

#include <cstddef>

namespace duneforge {

// The longest text of a float, and the room FormatHeightValue needs: 12
// characters. In exponent form a sign, one digit, a point, five more
// digits, "e", the exponent's sign and two digits (a float's exponents run
// from -45 to 38): "-1.17549e-38". In fixed form, used from 0.0001 up to
// below 10^6, a sign, "0.", three zeros and six digits: "-0.000123457".
constexpr size_t kMaxHeightValueChars = 12;

// Writes `value` exactly as a default std::ostream writes a float (general
// notation, 6 significant digits, trailing zeros removed: "0.5", "-0.123457",
// "1", "1e-05", "-0", "inf", "-nan") into `out`, which has room for
// kMaxHeightValueChars characters, and returns the end of the text (no
// terminating zero); it writes nothing past that room, not even scratch.
// Values that print without an exponent are formatted by exact integer
// arithmetic on the float's bits; the rest by std::to_chars.
char* FormatHeightValue(float value, char* out);

// The room one value and its comma take at the longest: 13 bytes.
constexpr size_t kMaxHeightEntryChars = kMaxHeightValueChars + 1;

// Writes `count` values in the height array's form, each followed by one
// comma, into `out`, which has room for `count` x kMaxHeightEntryChars
// characters, and returns the end of the text. Both the writer's buffer and
// the workers' piece texts are made by it.
char* FormatHeightEntries(const float* values, size_t count, char* out);

}  // namespace duneforge
