// Reader of MDL5 model files.
#pragma once

#include "modelfiles/mdl4r.h"

namespace modelfiles {

// Reads MDL5 files: the MDL4 layout with 12-byte skin records that carry
// their own width and height, a wider table of skin types (0: 1 byte per
// pixel, 2 and 3: 2, 4: 3, 5: 4, 6: none; 1 and 7 are refused) and, with the
// mip flag, three reduced image levels after level 0.
class MDL5R : public MDL4R {
 public:
  MDL5R();
  [[nodiscard]] bool ReadSkin(uint8_t* type, int32_t* width, int32_t* height, int32_t* bytesPerPixel,
                              uint8_t* mipFlag) override;
  // Level 0 and, with the mip flag, levels 1 to 3; false without a current
  // skin.
  [[nodiscard]] bool TakeSkinImage(const uint8_t** level0, const uint8_t** level1, const uint8_t** level2,
                                   const uint8_t** level3) override;

 protected:
  explicit MDL5R(int32_t formatCode);
  int32_t Attach(const uint8_t* buffer, uint32_t size) override;
  int32_t BytesPerPixelOfType(uint8_t type) const override;
};

}  // namespace modelfiles
