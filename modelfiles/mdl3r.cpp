#include "modelfiles/mdl3r.h"

#include "platform/little_endian.h"

namespace modelfiles {

using platform::LoadI16;
using platform::LoadU16;

namespace {

constexpr uint32_t kTexCoordCount = 72;
constexpr uint32_t kTexCoordSize = 4;
constexpr uint32_t kTriangleSize = 12;

}  // namespace

MDL3R::MDL3R() : MDL3R(kFormatMdl3) {}

MDL3R::MDL3R(int32_t formatCode) : MDL2R(formatCode) {}

int32_t MDL3R::Attach(const uint8_t* buffer, uint32_t size) {
  return AttachFormat(buffer, size, "MDL3", nullptr, kHeaderSize);
}

int32_t MDL3R::TexCoordCount() const { return HeaderField(kTexCoordCount); }

bool MDL3R::SkipTexCoords() { return SkipRecords(TexCoordCount(), kTexCoordSize); }

bool MDL3R::SkipTriangles() { return SkipRecords(TriangleCount(), kTriangleSize); }

bool MDL3R::ReadTexCoord(int16_t* s, int16_t* t) {
  if (TexCoordCount() <= 0) return false;
  const uint8_t* record = Take(kTexCoordSize);
  if (record == nullptr) return false;
  texCoord_ = record;
  if (s != nullptr) *s = LoadI16(record, 0);
  if (t != nullptr) *t = LoadI16(record, 2);
  return true;
}

bool MDL3R::ReadTriangle(int32_t (*vertices)[3], int32_t (*texCoords)[3]) {
  if (TriangleCount() <= 0) return false;
  const uint8_t* record = Take(kTriangleSize);
  if (record == nullptr) return false;
  triangle_ = record;
  const int32_t read[3] = {LoadU16(record, 0), LoadU16(record, 2), LoadU16(record, 4)};
  for (uint32_t i = 0; i < 3; ++i) {
    if (vertices != nullptr) (*vertices)[i] = read[i];
    if (texCoords != nullptr) (*texCoords)[i] = LoadU16(record, 6 + 2 * i);
  }
  return CheckTriangleVertices(read);
}

}  // namespace modelfiles
