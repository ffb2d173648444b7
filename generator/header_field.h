// The header fields of the command file as the studio describes them: what
// each holds and the range the generator keeps it to.
#pragma once

#include <array>
#include <cstdint>

#include "generator/command_settings.h"

namespace duneforge {

// The largest side of a tile that the height grid holds: tileWidth and
// tileHeight lie in 1 .. 32767 wherever the file makes tiles.
constexpr int32_t kLargestTileSide = 32767;

// What a header field holds.
enum class HeaderUse {
  kHandle,    // a window handle the generator only passes on
  kRowCount,  // the number of module rows that follow the header
  kInteger,   // a whole number
  kNumber,    // a single-precision number
  kFlag,      // zero for no, anything else for yes
};

// One header field, in file order: its name (as ForEachHeaderField gives
// it), a short label, what it holds and the range the generator holds it
// to (both ends included; an end without `hasLower` or `hasUpper` is the
// field type's own). `outside` says what the generator does with a value
// outside the range, or is empty where the field has none.
struct HeaderField {
  const char* name;
  const char* label;
  HeaderUse use;
  bool hasLower;
  double lower;
  bool hasUpper;
  double upper;
  const char* outside;

  bool InRange(double value) const { return (!hasLower || value >= lower) && (!hasUpper || value <= upper); }
};

// The twelve header fields in file order.
const std::array<HeaderField, 12>& HeaderFields();

// The field named `name`; a name that is not a header field's is a
// caller's fault.
const HeaderField& HeaderFieldNamed(const char* name);

}  // namespace duneforge
