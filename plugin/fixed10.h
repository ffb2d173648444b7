// The engine's fixed-point numbers and every conversion between them and the
// plug-in's plain values.
#pragma once

#include <cstdint>

#include "platform/engine_layout.h"

namespace loamwriter {

// An engine number: a signed 32-bit integer holding value x 1024.
using Fixed10 = engine::EngineNumber;

// Results the exports hand back to the engine.
constexpr Fixed10 kFixed10True = 1024;
constexpr Fixed10 kFixed10False = 0;
// An engine bitmap the plug-in cannot take.
constexpr Fixed10 kFixed10Refused = -1024;

static_assert((-1 >> 1) == -1, "right shift of a negative number must be arithmetic");

// A real value: value / 1024, rounded once to a 32-bit float, so 2^24 + 1
// (16384.0009765625) becomes 16384.0f. Scaling by a power of two commutes
// with the rounding, so the value is rounded to a float first and then
// scaled, exactly: two instructions where each terrain vertex takes three.
inline float Fixed10ToReal(Fixed10 value) { return static_cast<float>(value) * 0.0009765625f; }

// An integer value: the integer part, rounded toward negative infinity
// (-1 gives -1, -1025 gives -2).
inline int32_t Fixed10ToInt(Fixed10 value) { return value >> 10; }

// An integer result: the integer shifted left by 10 (1 becomes 1024). Values
// beyond +-2^21 wrap, as the engine's own shift does.
inline Fixed10 IntToFixed10(int32_t value) {
  return static_cast<Fixed10>(static_cast<uint32_t>(value) << 10);
}

// A truth result: 1024 or 0.
inline Fixed10 TruthToFixed10(bool value) { return value ? kFixed10True : kFixed10False; }

}  // namespace loamwriter
