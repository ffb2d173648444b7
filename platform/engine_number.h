// Real values as the engine's numbers: value x 1024 in a signed 32-bit
// integer. The engine's side and the plug-in's side round alike.
#pragma once

#include <cmath>
#include <cstdint>

#include "platform/engine_layout.h"

namespace platform {

// `value` as an engine number where it fits; NaN gives 0, and values beyond
// the range give its nearest end, where a bare conversion would be
// undefined.
inline engine::EngineNumber SaturateToEngineNumber(double value) {
  if (std::isnan(value)) return 0;
  if (value <= -2147483648.0) return INT32_MIN;
  if (value >= 2147483647.0) return INT32_MAX;
  return static_cast<engine::EngineNumber>(value);
}

// An engine number for `value`: value x 1024 rounded to the nearest integer
// (halves away from zero), NaN as 0, beyond the 32-bit range its nearest end.
inline engine::EngineNumber RoundToFixed10(double value) {
  return SaturateToEngineNumber(std::round(value * 1024.0));
}

}  // namespace platform
