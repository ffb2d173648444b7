// Header layouts of the single-mesh model formats, shared by their readers
// and by the tools that describe them, and the shapes of the body records
// whose layout differs from format to format.
#pragma once

#include <cstdint>

namespace modelfiles {

// The 84-byte header of IDPO, MDL2, MDL3, MDL4, MDL5 and MDL6 files. All
// values are little-endian 32-bit; offsets from the start of the file.
namespace legacy {

constexpr uint32_t kHeaderSize = 84;
constexpr uint32_t kHeaderVersion = 4;
// Three floats each: x, y, z.
constexpr uint32_t kHeaderScale = 8;
constexpr uint32_t kHeaderOrigin = 20;
constexpr uint32_t kHeaderRadius = 32;
constexpr uint32_t kHeaderSkinCount = 48;
constexpr uint32_t kHeaderSkinWidth = 52;
constexpr uint32_t kHeaderSkinHeight = 56;
constexpr uint32_t kHeaderVertexCount = 60;
constexpr uint32_t kHeaderTriangleCount = 64;
constexpr uint32_t kHeaderFrameCount = 68;
// Unused by IDPO and MDL2; MDL3 and later count their texture coordinates
// here.
constexpr uint32_t kHeaderTexCoordCount = 72;
constexpr uint32_t kHeaderFlags = 76;

// The body records whose layout changes from format to format, described
// for the readers: offsets from the start of the record.

// A texture coordinate record: s and t, read as 16-bit values (the low half
// where the field is wider).
struct TexCoordLayout {
  uint32_t size;
  uint32_t s, t;
};

// A triangle record: three vertex indices from `vertices` on and, where the
// format stores them, three texture coordinate indices from `texCoords` on,
// each index `indexWidth` bytes (2 unsigned, or 4 signed).
struct TriangleLayout {
  uint32_t size;
  uint32_t vertices, texCoords, indexWidth;
  bool hasTexCoords;
};

// A frame record: a 32-bit type at 0 that must be `type`, a box of three
// coordinates each at `minimum` and `maximum`, `fieldWidth` bytes per
// coordinate (1, or 2 for 16-bit values), and the name at `name`.
struct FrameLayout {
  uint32_t size;
  int32_t type;
  uint32_t minimum, maximum, fieldWidth;
  uint32_t name;
};

// A frame vertex record: three packed coordinates of `fieldWidth` bytes
// each from 0 on, and the normal index byte at `normal`.
struct FrameVertexLayout {
  uint32_t size;
  uint32_t fieldWidth, normal;
};

// The skin record of MDL5 and MDL6: type, width and height, then the image.
constexpr uint32_t kSizedSkinSize = 12;
constexpr uint32_t kSizedSkinWidth = 4;
constexpr uint32_t kSizedSkinHeight = 8;

}  // namespace legacy

// The 68-byte header of IDP2 files, little-endian 32-bit values.
namespace idp2 {

constexpr uint32_t kHeaderSize = 68;
constexpr uint32_t kHeaderVersion = 4;
constexpr uint32_t kHeaderSkinWidth = 8;
constexpr uint32_t kHeaderSkinHeight = 12;
constexpr uint32_t kHeaderFrameSize = 16;
constexpr uint32_t kHeaderSkinCount = 20;
constexpr uint32_t kHeaderVertexCount = 24;
constexpr uint32_t kHeaderTexCoordCount = 28;
constexpr uint32_t kHeaderTriangleCount = 32;
constexpr uint32_t kHeaderGlCommandCount = 36;
constexpr uint32_t kHeaderFrameCount = 40;
// Six offsets from the start of the file: skins, texture coordinates,
// triangles, frames, GL commands, end.
constexpr uint32_t kHeaderOffsets = 44;
constexpr uint32_t kHeaderOffsetCount = 6;
// A skin record is a zero-padded name of this many bytes.
constexpr uint32_t kSkinNameSize = 64;
// A frame record: scale and translation (three floats each), then the name.
constexpr uint32_t kFrameSize = 40;
constexpr uint32_t kFrameScale = 0;
constexpr uint32_t kFrameTranslation = 12;
constexpr uint32_t kFrameName = 24;

}  // namespace idp2

}  // namespace modelfiles
