// Byte sizes of skin image levels, formed without overflow.
#pragma once

#include <cstdint>

namespace modelfiles {

// Skins of the model formats carry level 0 and, with the mip flag, three
// reduced levels of half, a quarter and an eighth the width and height.
constexpr int32_t kMipLevelCount = 4;

// width x height x bytesPerPixel of mip level `level` (0 to 3), the width and
// height halved `level` times, truncating. False for a negative input or a
// size above 0x7FFFFFFF bytes, which no loaded file can hold; `bytes` is
// then left as it was. A 16384 x 16384 skin of 4 bytes per pixel is 1 GiB and
// still passes; the caller's bounds check then refuses it.
inline bool SkinLevelBytes(int64_t width, int64_t height, int64_t bytesPerPixel, int32_t level,
                           uint64_t& bytes) {
  if (width < 0 || height < 0 || bytesPerPixel < 0 || level < 0 || level >= kMipLevelCount) return false;
  width >>= level;
  height >>= level;
  constexpr uint64_t kLimit = 0x7FFFFFFF;
  // Both factors are below 2^31, so the first product fits in 64 bits.
  const uint64_t area = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (bytesPerPixel != 0 && area > kLimit) return false;
  const uint64_t size = area * static_cast<uint64_t>(bytesPerPixel);
  if (size > kLimit) return false;
  bytes = size;
  return true;
}

}  // namespace modelfiles
