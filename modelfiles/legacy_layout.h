// Header layouts of the single-mesh model formats, shared by their readers
// and by the tools that describe them.
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

}  // namespace idp2

}  // namespace modelfiles
