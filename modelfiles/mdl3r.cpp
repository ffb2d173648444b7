#include "modelfiles/mdl3r.h"

#include "modelfiles/legacy_layout.h"

namespace modelfiles {

namespace {

// Texture coordinate record: 16-bit s and t.
constexpr legacy::TexCoordLayout kTexCoord = {4, 0, 2};
// Triangle record: three 16-bit vertex indices, three 16-bit texture
// coordinate indices.
constexpr legacy::TriangleLayout kTriangle = {12, 0, 6, 2, true};

}  // namespace

MDL3R::MDL3R() : MDL3R(kFormatMdl3) {}

MDL3R::MDL3R(int32_t formatCode) : MDL2R(formatCode) { counts_.texCoords = legacy::kHeaderTexCoordCount; }

int32_t MDL3R::Attach(const uint8_t* buffer, uint32_t size) {
  return AttachFormat(buffer, size, "MDL3", nullptr, kHeaderSize);
}

bool MDL3R::SkipTexCoords() { return SkipTexCoordRun(kTexCoord); }

bool MDL3R::SkipTriangles() { return SkipTriangleRun(kTriangle); }

bool MDL3R::ReadTexCoord(int16_t* s, int16_t* t) { return ReadTexCoordRecord(kTexCoord, s, t); }

bool MDL3R::ReadTriangle(int32_t (*vertices)[3], int32_t (*texCoords)[3]) {
  return ReadTriangleRecord(kTriangle, vertices, texCoords);
}

}  // namespace modelfiles
