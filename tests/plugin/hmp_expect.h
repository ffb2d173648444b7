// Expected HMP file bytes for the plug-in tests, built field by field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/byte_builder.h"

namespace hmptest {

// The values of a file header; everything else in it is zero.
struct HeaderValues {
  std::string magic = "HMP7";
  int32_t version = 0;
  float scale[3] = {0, 0, 0};
  float offset[3] = {0, 0, 0};
  float param0 = 0;
  float param1 = 0;
  float param2 = 0;
  int32_t numSkins = 0;
  int32_t numVertices = 0;
  int32_t numFrames = 0;
};

inline void AppendHeader(testsupport::ByteBuilder& out, const HeaderValues& v) {
  out.Text(v.magic, 4).I32(v.version);
  for (float s : v.scale) out.F32(s);
  for (float o : v.offset) out.F32(o);
  out.U32(0).F32(v.param1).F32(v.param2).F32(v.param0);
  out.I32(v.numSkins).U32(0).U32(0).I32(v.numVertices).U32(0).I32(v.numFrames).U32(0).U32(0).U32(0);
}

inline void AppendSkinHeader(testsupport::ByteBuilder& out, int32_t type, int32_t width, int32_t height) {
  out.I32(type).I32(width).I32(height);
}

// Frame header: type 2, bounds (0,0,0,255,0) and (65535 x 3, 255, 0), name
// padded to 16 bytes.
inline void AppendFrameHeader(testsupport::ByteBuilder& out, const std::string& name) {
  out.I32(2);
  out.U16(0).U16(0).U16(0).U8(255).U8(0);
  out.U16(65535).U16(65535).U16(65535).U8(255).U8(0);
  out.Text(name, 16);
}

inline void AppendVertex(testsupport::ByteBuilder& out, uint16_t height, uint8_t nx, uint8_t ny) {
  out.U16(height).U8(nx).U8(ny);
}

// The bytes of `bytes` from `offset` on, `count` of them (fewer at the end).
inline std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t offset, size_t count) {
  if (offset >= bytes.size()) return {};
  const size_t end = bytes.size() - offset < count ? bytes.size() : offset + count;
  return std::vector<uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                              bytes.begin() + static_cast<std::ptrdiff_t>(end));
}

// A little-endian float at `offset`.
inline float LoadF32(const std::vector<uint8_t>& bytes, size_t offset) {
  const uint32_t bits = testsupport::LoadU32(bytes, offset);
  float value;
  static_assert(sizeof value == sizeof bits, "32-bit float");
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace hmptest
