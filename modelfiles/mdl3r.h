// Reader of MDL3 model files.
#pragma once

#include "modelfiles/mdl2r.h"

namespace modelfiles {

// Reads MDL3 files: the IDPO layout with its own texture coordinate count
// (header offset 72), 4-byte texture coordinates (16-bit s and t) and
// 12-byte triangles (16-bit vertex and texture coordinate indices).
class MDL3R : public MDL2R {
 public:
  MDL3R();

  [[nodiscard]] bool SkipTexCoords() override;
  [[nodiscard]] bool SkipTriangles() override;
  [[nodiscard]] bool ReadTexCoord(int16_t* s, int16_t* t) override;
  [[nodiscard]] bool ReadTriangle(int32_t (*vertices)[3], int32_t (*texCoords)[3]) override;

 protected:
  explicit MDL3R(int32_t formatCode);
  int32_t Attach(const uint8_t* buffer, uint32_t size) override;
};

}  // namespace modelfiles
