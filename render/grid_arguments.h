// Command-line values shared by the tools.
#pragma once

#include <cstdint>
#include <string>

namespace render {

// Parses "AxB" (or "AXB") with two positive integers that fit in 32 bits,
// such as a grid size "512x256" or a tile layout "4x2". False, with the
// outputs unchanged, for anything else.
bool ParseGridPair(const char* text, int32_t& first, int32_t& second);

// Parses the whole of `text` as a finite number. False, with `value`
// unchanged, for anything else (also an empty text or trailing characters).
bool ParseFiniteNumber(const char* text, double& value);

// Parses the whole of `text` as a whole number from `minimum` to `maximum`,
// digits only. False, with `value` unchanged, for anything else.
bool ParseWholeNumber(const char* text, long long minimum, long long maximum, long long& value);

// Parses "DX" or "DX,DY", both positive finite numbers; DY is DX when not
// given. False, with the outputs unchanged, for anything else.
bool ParseSpacingPair(const std::string& text, double& x, double& y);

}  // namespace render
