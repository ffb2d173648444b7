#include "modelfiles/mdl3r.h"

#include "modelfiles/legacy_layout.h"
#include "platform/little_endian.h"

namespace modelfiles {

using platform::LoadI16;
using platform::LoadU16;

namespace {

// Texture coordinate record: 16-bit s and t.
constexpr uint32_t kTexCoordSize = 4;
constexpr uint32_t kTexCoordS = 0;
constexpr uint32_t kTexCoordT = 2;
// Triangle record: three 16-bit vertex indices, three 16-bit texture
// coordinate indices.
constexpr uint32_t kTriangleSize = 12;
constexpr uint32_t kTriangleVertices = 0;
constexpr uint32_t kTriangleTexCoords = 6;
constexpr uint32_t kTriangleIndexWidth = 2;

}  // namespace

MDL3R::MDL3R() : MDL3R(kFormatMdl3) {}

MDL3R::MDL3R(int32_t formatCode) : MDL2R(formatCode) { counts_.texCoords = legacy::kHeaderTexCoordCount; }

int32_t MDL3R::Attach(const uint8_t* buffer, uint32_t size) {
  return AttachFormat(buffer, size, "MDL3", nullptr, kHeaderSize);
}

bool MDL3R::SkipTexCoords() {
  return SkipRecords(TexCoordCount(), kTexCoordSize, "texture coordinate", "texture coordinate count",
                     counts_.texCoords);
}

bool MDL3R::SkipTriangles() {
  return SkipRecords(TriangleCount(), kTriangleSize, "triangle", "triangle count", counts_.triangles);
}

bool MDL3R::ReadTexCoord(int16_t* s, int16_t* t) {
  if (!CountAllowsRecord(TexCoordCount(), "texture coordinate count", counts_.texCoords)) return false;
  const uint8_t* record = Take(kTexCoordSize, "texture coordinate");
  if (record == nullptr) return false;
  texCoord_ = record;
  if (s != nullptr) *s = LoadI16(record, kTexCoordS);
  if (t != nullptr) *t = LoadI16(record, kTexCoordT);
  return true;
}

bool MDL3R::ReadTriangle(int32_t (*vertices)[3], int32_t (*texCoords)[3]) {
  if (!CountAllowsRecord(TriangleCount(), "triangle count", counts_.triangles)) return false;
  const uint8_t* record = Take(kTriangleSize, "triangle");
  if (record == nullptr) return false;
  triangle_ = record;
  int32_t read[3];
  for (uint32_t i = 0; i < 3; ++i) {
    read[i] = LoadU16(record, kTriangleVertices + kTriangleIndexWidth * i);
    if (vertices != nullptr) (*vertices)[i] = read[i];
    if (texCoords != nullptr) (*texCoords)[i] = LoadU16(record, kTriangleTexCoords + kTriangleIndexWidth * i);
  }
  return CheckTriangleVertices(read, record, kTriangleVertices, kTriangleIndexWidth);
}

}  // namespace modelfiles
