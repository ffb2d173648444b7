#include "terrain/bmp_image.h"

#include <algorithm>
#include <cstddef>
#include <new>

#include "noisemap/bmp_layout.h"
#include "platform/little_endian.h"
#include "platform/whole_file.h"
#include "terrain/image_bytes.h"

namespace terrain {

namespace bmp = noise::utils::bmp;

namespace {

// Larger pictures are refused rather than allocated.
constexpr int32_t kLargestSide = 32767;

}  // namespace

BmpImage PictureOfImage(const noise::utils::ImageGrid& image) {
  BmpImage picture;
  picture.width = image.GetWidth();
  picture.height = image.GetHeight();
  picture.pixels = ImageBytes(image, ChannelOrder::kBgr, RowOrder::kNorthFirst);
  return picture;
}

bool ReadBmp24(const std::string& path, BmpImage& image, std::string& error) {
  using platform::LoadI32;
  using platform::LoadU16;
  using platform::LoadU32;
  image = BmpImage{};
  std::vector<uint8_t> bytes;
  platform::FailureReason reason;
  if (!platform::ReadWholeFile(path.c_str(), bytes, reason)) {
    error = reason.Text();
    return false;
  }
  if (bytes.size() < bmp::kHeaderSize || bytes[bmp::kMagic] != 'B' || bytes[bmp::kMagic + 1] != 'M') {
    error = "not a BMP picture";
    return false;
  }
  const uint32_t infoSize = LoadU32(bytes.data(), bmp::kInfoSize);
  const int32_t width = LoadI32(bytes.data(), bmp::kWidth);
  const int32_t storedHeight = LoadI32(bytes.data(), bmp::kHeight);
  if (infoSize < bmp::kInfoHeaderSize || LoadU16(bytes.data(), bmp::kPlanes) != 1 ||
      LoadU16(bytes.data(), bmp::kBitsPerPixel) != 24 || LoadU32(bytes.data(), bmp::kCompression) != 0) {
    error = "only uncompressed 24-bit BMP pictures are supported";
    return false;
  }
  const bool topDown = storedHeight < 0;
  const int64_t height = topDown ? -static_cast<int64_t>(storedHeight) : storedHeight;
  if (width <= 0 || height <= 0 || width > kLargestSide || height > kLargestSide) {
    error = "picture size " + std::to_string(width) + " x " + std::to_string(height) + " is not supported";
    return false;
  }
  const uint64_t rowBytes = bmp::RowSize(static_cast<uint64_t>(width));
  const uint64_t offset = LoadU32(bytes.data(), bmp::kPixelOffset);
  if (offset > bytes.size() || rowBytes * static_cast<uint64_t>(height) > bytes.size() - offset) {
    error = "truncated: the pixel rows do not fit in the file";
    return false;
  }
  try {
    image.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  } catch (const std::bad_alloc&) {
    error = "not enough memory for the picture";
    return false;
  }
  image.width = width;
  image.height = static_cast<int32_t>(height);
  for (int64_t y = 0; y < height; ++y) {
    const int64_t stored = topDown ? y : height - 1 - y;
    const uint8_t* row = bytes.data() + offset + static_cast<uint64_t>(stored) * rowBytes;
    std::copy(row, row + static_cast<size_t>(width) * 3,
              image.pixels.begin() + static_cast<std::ptrdiff_t>(y * width * 3));
  }
  return true;
}

}  // namespace terrain
