// Command-line values shared by the terrain tools.
#pragma once

#include <cstdint>

namespace tools {

// Parses "AxB" (or "AXB") with two positive integers that fit in 32 bits,
// such as a grid size "512x256" or a tile layout "4x2". False, with the
// outputs unchanged, for anything else.
bool ParseGridPair(const char* text, int32_t& first, int32_t& second);

// Parses the whole of `text` as a finite number. False, with `value`
// unchanged, for anything else (also an empty text or trailing characters).
bool ParseFiniteNumber(const char* text, double& value);

}  // namespace tools
