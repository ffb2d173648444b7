// Picks the pixels of a skin's reduced levels from an engine bitmap.
#pragma once

#include <cstdint>

namespace loamwriter {

// Copies `count` pixels of `bytesPerPixel` bytes into `destination`:
// destination pixel q is level-0 pixel q x step, where level 0 lists the
// bitmap's rows from the last (row height - 1) to the first, each from
// column 0 up. Step 1 with width x height pixels builds level 0 itself; steps
// 4, 16 and 64 build the half, quarter and eighth size levels (columns 0, s,
// 2s, ... of every row when the width is a multiple of s). `pixels` holds
// height rows of width x bytesPerPixel bytes without gaps. Returns false, and
// copies nothing, when a pick would fall outside the bitmap or an argument is
// negative or null where bytes are needed.
bool MipSampler(int32_t width, int32_t height, int32_t bytesPerPixel, const uint8_t* pixels, int32_t step,
                uint8_t* destination, int64_t count);

}  // namespace loamwriter
