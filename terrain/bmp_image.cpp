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

// The picture in a file's `bytes`, as ReadBmp24 takes it.
TerrainResult ParseBmp24(const std::vector<uint8_t>& bytes, BmpImage& image) {
  using platform::LoadI32;
  using platform::LoadU16;
  using platform::LoadU32;
  using Kind = TerrainResult::Kind;
  if (bytes.size() < bmp::kHeaderSize || bytes[bmp::kMagic] != 'B' || bytes[bmp::kMagic + 1] != 'M') {
    return TerrainResult(Kind::kUnsupported, "not a BMP picture");
  }
  const uint32_t infoSize = LoadU32(bytes.data(), bmp::kInfoSize);
  const int32_t width = LoadI32(bytes.data(), bmp::kWidth);
  const int32_t storedHeight = LoadI32(bytes.data(), bmp::kHeight);
  if (infoSize < bmp::kInfoHeaderSize || LoadU16(bytes.data(), bmp::kPlanes) != 1 ||
      LoadU16(bytes.data(), bmp::kBitsPerPixel) != 24 || LoadU32(bytes.data(), bmp::kCompression) != 0) {
    return TerrainResult(Kind::kUnsupported, "only uncompressed 24-bit BMP pictures are supported");
  }
  const bool topDown = storedHeight < 0;
  const int64_t height = topDown ? -static_cast<int64_t>(storedHeight) : storedHeight;
  if (width <= 0 || height <= 0 || width > kLargestSide || height > kLargestSide) {
    return TerrainResult(Kind::kUnsupported, "picture size " + std::to_string(width) + " x " +
                                                 std::to_string(height) + " is not supported");
  }
  const uint64_t rowBytes = bmp::RowSize(static_cast<uint64_t>(width));
  const uint64_t offset = LoadU32(bytes.data(), bmp::kPixelOffset);
  if (offset > bytes.size() || rowBytes * static_cast<uint64_t>(height) > bytes.size() - offset) {
    return TerrainResult(Kind::kTruncated, "truncated: the pixel rows do not fit in the file");
  }
  try {
    image.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  } catch (const std::bad_alloc&) {
    return TerrainResult(Kind::kTooLarge, "not enough memory for the picture");
  }
  image.width = width;
  image.height = static_cast<int32_t>(height);
  for (int64_t y = 0; y < height; ++y) {
    const int64_t stored = topDown ? y : height - 1 - y;
    const uint8_t* row = bytes.data() + offset + static_cast<uint64_t>(stored) * rowBytes;
    std::copy(row, row + static_cast<size_t>(width) * 3,
              image.pixels.begin() + static_cast<std::ptrdiff_t>(y * width * 3));
  }
  return TerrainResult();
}

}  // namespace

BmpImage PictureOfImage(const noise::utils::ImageGrid& image) {
  BmpImage picture;
  picture.width = image.GetWidth();
  picture.height = image.GetHeight();
  picture.pixels = ImageBytes(image, ChannelOrder::kBgr, RowOrder::kNorthFirst);
  return picture;
}

TerrainResult ReadBmp24(const std::string& path, BmpImage& image) {
  image = BmpImage{};
  std::vector<uint8_t> bytes;
  platform::FailureReason reason;
  if (!platform::ReadWholeFile(path.c_str(), bytes, reason))
    return TerrainResult::FromReason(reason).WithPath(path);
  return ParseBmp24(bytes, image).WithPath(path);
}

}  // namespace terrain
