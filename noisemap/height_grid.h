// The grid of heights that the plane builder fills and the renderer reads.
#pragma once

#include "noisemap/grid.h"

namespace noise {
namespace utils {

// A resizable width x height grid of 32-bit floats, rows rounded up to a
// multiple of 4 elements, border value 0.0 when new or reset; sizes 0 to
// 32767 per side. It owns its storage.
class HeightGrid : public Grid<float> {};

}  // namespace utils
}  // namespace noise
