// The layout of the uncompressed 24-bit BMP files the toolkit writes and reads.
#pragma once

#include <cstdint>

namespace noise {
namespace utils {
namespace bmp {

// The file header (14 bytes) and the information header (40 bytes), then the
// pixel rows. Fields are little-endian, named by their byte offset from the
// start of the file.
constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kHeaderSize = kFileHeaderSize + kInfoHeaderSize;

constexpr uint32_t kMagic = 0;          // the two characters "BM"
constexpr uint32_t kFileSize = 2;       // u32: header and pixel rows
constexpr uint32_t kReserved1 = 6;      // u16: 0
constexpr uint32_t kReserved2 = 8;      // u16: 0
constexpr uint32_t kPixelOffset = 10;   // u32: where the pixel rows start
constexpr uint32_t kInfoSize = 14;      // u32: size of the information header
constexpr uint32_t kWidth = 18;         // i32: pixels per row
constexpr uint32_t kHeight = 22;        // i32: rows; positive when they run from the bottom up
constexpr uint32_t kPlanes = 26;        // u16: 1
constexpr uint32_t kBitsPerPixel = 28;  // u16: 24
constexpr uint32_t kCompression = 30;   // u32: 0, none
constexpr uint32_t kImageSize = 34;     // u32: bytes of the pixel rows
constexpr uint32_t kXPixelsPerMetre = 38;
constexpr uint32_t kYPixelsPerMetre = 42;
constexpr uint32_t kColorsUsed = 46;  // u32: 0, no colour table
constexpr uint32_t kImportantColors = 50;

// The resolution written into every file: 72 pixels per inch.
constexpr uint32_t kPixelsPerMetre = 2834;

// Each row holds blue, green and red per pixel and is padded with zeros to a
// multiple of 4 bytes.
constexpr uint64_t RowSize(uint64_t width) { return (width * 3 + 3) & ~static_cast<uint64_t>(3); }

}  // namespace bmp
}  // namespace utils
}  // namespace noise
