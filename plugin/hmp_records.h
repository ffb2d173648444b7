// The records of an HMP terrain file, each the byte-exact image of its bytes in
// the file: little-endian integers, IEEE 754 binary32 floats, no padding.
#pragma once

#include <cstddef>
#include <cstdint>

namespace loamwriter {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "HMP records are written as they lie in memory");

// The file header at offset 0, written with zero counts when the file opens and
// rewritten with the final counts when it closes. A packed coordinate p
// (0..65535) stands for offset + p x scale on its axis.
struct HmpHeader {
  char magic[4];  // "HMP7" or "HMP5", no terminator
  int32_t version;
  float scale[3];   // x, y, z
  float offset[3];  // x, y, z
  int32_t unused32;
  float param1;
  float param2;
  float param0;
  int32_t numSkins;  // skins begun
  int32_t unused52;
  int32_t unused56;
  int32_t numVertices;  // vertices of the first frame
  int32_t unused64;
  int32_t numFrames;  // frames begun
  int32_t unused72;
  int32_t unused76;
  int32_t unused80;
};

// Precedes the pixel data of one skin; width and height are patched in once
// the image is written.
struct HmpSkinHeader {
  int32_t type;  // 8-bit skin type code, zero-extended
  int32_t width;
  int32_t height;
};

// A corner of a frame's bounding box in packed coordinates.
struct HmpBoundVertex {
  uint16_t coordinates[3];  // x, y, z
  uint8_t marker;           // always 255
  uint8_t unused;
};

// Precedes the vertices of one frame.
struct HmpFrameHeader {
  int32_t type;  // always 2
  HmpBoundVertex boundMin;
  HmpBoundVertex boundMax;
  char name[16];  // at most 15 characters, zero-filled; the last byte is always 0
};

// One grid point of a frame: its packed height and the x and y of its normal
// x 127. The grid position follows from the vertex's place in the frame.
struct HmpVertex {
  uint16_t height;
  int8_t normalX;
  int8_t normalY;
};

static_assert(sizeof(HmpHeader) == 84, "HmpHeader size");
static_assert(offsetof(HmpHeader, magic) == 0 && offsetof(HmpHeader, version) == 4, "HmpHeader magic");
static_assert(offsetof(HmpHeader, scale) == 8 && offsetof(HmpHeader, offset) == 20, "HmpHeader axes");
static_assert(offsetof(HmpHeader, unused32) == 32, "HmpHeader 32");
static_assert(offsetof(HmpHeader, param1) == 36 && offsetof(HmpHeader, param2) == 40 &&
                  offsetof(HmpHeader, param0) == 44,
              "HmpHeader parameters");
static_assert(offsetof(HmpHeader, numSkins) == 48 && offsetof(HmpHeader, unused52) == 52 &&
                  offsetof(HmpHeader, unused56) == 56,
              "HmpHeader skins");
static_assert(offsetof(HmpHeader, numVertices) == 60 && offsetof(HmpHeader, unused64) == 64,
              "HmpHeader vertices");
static_assert(offsetof(HmpHeader, numFrames) == 68 && offsetof(HmpHeader, unused72) == 72 &&
                  offsetof(HmpHeader, unused76) == 76 && offsetof(HmpHeader, unused80) == 80,
              "HmpHeader frames");

static_assert(sizeof(HmpSkinHeader) == 12, "HmpSkinHeader size");
static_assert(offsetof(HmpSkinHeader, type) == 0 && offsetof(HmpSkinHeader, width) == 4 &&
                  offsetof(HmpSkinHeader, height) == 8,
              "HmpSkinHeader fields");

static_assert(sizeof(HmpBoundVertex) == 8, "HmpBoundVertex size");
static_assert(offsetof(HmpBoundVertex, coordinates) == 0 && offsetof(HmpBoundVertex, marker) == 6 &&
                  offsetof(HmpBoundVertex, unused) == 7,
              "HmpBoundVertex fields");

static_assert(sizeof(HmpFrameHeader) == 36, "HmpFrameHeader size");
static_assert(offsetof(HmpFrameHeader, type) == 0 && offsetof(HmpFrameHeader, boundMin) == 4 &&
                  offsetof(HmpFrameHeader, boundMax) == 12 && offsetof(HmpFrameHeader, name) == 20,
              "HmpFrameHeader fields");

static_assert(sizeof(HmpVertex) == 4, "HmpVertex size");
static_assert(offsetof(HmpVertex, height) == 0 && offsetof(HmpVertex, normalX) == 2 &&
                  offsetof(HmpVertex, normalY) == 3,
              "HmpVertex fields");

// Frame names keep at most this many characters.
constexpr size_t kHmpFrameNameLength = 15;
// The skin type code whose level 0 has one byte per pixel whatever the skin's
// bytes per pixel.
constexpr uint8_t kHmpSkinTypeOneBytePerPixel = 6;
// Bit of the skin type code that announces three mip levels after level 0.
constexpr uint8_t kHmpSkinTypeMipmapBit = 8;
// The largest skin type code: a pixel format in bits 0 to 2 and the mip bit.
constexpr int32_t kHmpLargestSkinType = 15;
// Bits 0 to 2 of a skin type code name the pixel format.
constexpr uint8_t kHmpSkinFormatMask = 0x07;
// The formats the exports write, each with the mip bit or without.
constexpr uint8_t kHmpSkinFormat565 = 2;
constexpr uint8_t kHmpSkinFormat4444 = 3;
constexpr uint8_t kHmpSkinFormat888 = 4;
constexpr uint8_t kHmpSkinFormat8888 = 5;
// Bytes per pixel of each pixel format; 0 where a reader cannot size the
// data (1 and 7). Format 6 stores one byte per pixel
// (kHmpSkinTypeOneBytePerPixel).
constexpr int32_t kHmpSkinBytesPerPixel[8] = {1, 0, 2, 2, 3, 4, 1, 0};

}  // namespace loamwriter
