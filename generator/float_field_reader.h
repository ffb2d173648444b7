// Reading a float field of the command file the same way on every system.
#pragma once

#include <istream>

namespace duneforge {

// Reads one float from `in` exactly as `in >> value` does with GCC's standard
// library on glibc in the classic "C" locale, but converts the number with
// std::from_chars, so the value does not depend on the C runtime's strtof.
//
// - Leading whitespace is skipped through the stream's sentry (unless
//   std::noskipws is set); a sentry that fails (end of text, a stream that is
//   not good) sets failbit, and eofbit at the end, and leaves `value` alone.
// - The number is taken character by character and ends at the first one
//   that cannot continue it: an optional '+' or '-' first, then digits with
//   at most one '.', then, only once a digit was seen, one 'e' or 'E' with an
//   optional sign and digits. That character stays in the stream; "0x10"
//   reads 0 and leaves "x10", "1.5.3" reads 1.5 and leaves ".3". Nothing else
//   ("inf", "nan", hexadecimal) is taken.
// - eofbit is set when the text ended while the number was being read.
// - The value is the correctly rounded float (ties to even). Text that is no
//   complete number ("-", ".", "1e", "1e+") stores 0 and sets failbit; a
//   number too large for a float stores the largest float of its sign and
//   sets failbit; one too small rounds to a subnormal or to a zero of its
//   sign and succeeds.
// - When the stream buffer throws, badbit is set and `value` is left alone;
//   the exception passes on only when the stream's exceptions() has badbit.
//   Failbit and eofbit throw std::ios_base::failure as the stream's
//   exceptions() asks.
// The number's characters are always the classic ones above, whatever locale
// the stream carries; only the whitespace the sentry skips follows the
// stream's locale.
std::istream& ReadFloatField(std::istream& in, float& value);

}  // namespace duneforge
