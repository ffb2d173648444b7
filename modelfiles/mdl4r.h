// Reader of MDL4 model files.
#pragma once

#include "modelfiles/mdl3r.h"

namespace modelfiles {

// Reads MDL4 files: the MDL3 layout with 36-byte frame records of type 2
// (16-bit bounding box) and 8-byte frame vertices (16-bit position, normal
// index byte at 6).
class MDL4R : public MDL3R {
 public:
  MDL4R();

  [[nodiscard]] bool SkipFrameData() override;
  [[nodiscard]] bool ReadFrame(char (*name)[kNameSize], uint16_t (*minimum)[3], uint16_t (*maximum)[3],
                               float (*scale)[3], float (*translation)[3]) override;
  [[nodiscard]] bool ReadFrameVertex(uint16_t (*position)[3], int32_t* normalIndex) override;
  [[nodiscard]] bool TakeFrameVertex() override;

 protected:
  explicit MDL4R(int32_t formatCode);
  int32_t Attach(const uint8_t* buffer, uint32_t size) override;
};

}  // namespace modelfiles
