// Reader of IDP2 model files.
#pragma once

#include "modelfiles/mdl3r.h"

namespace modelfiles {

// Reads IDP2 files: a 68-byte header, then 64-byte skin names (no image
// data), 4-byte texture coordinates, 12-byte triangles and frames of a
// 40-byte record (scale, translation, name) plus 4 bytes per vertex. The
// body is read in that order right after the header; the offsets in the
// header are not used, and whatever follows the frames (GL commands, for
// instance) is never read.
class IDP2R : public MDL3R {
 public:
  static constexpr uint32_t kHeaderSize = idp2::kHeaderSize;
  static constexpr uint32_t kSkinNameSize = idp2::kSkinNameSize;

  IDP2R();

  // True: skins carry no image data.
  [[nodiscard]] bool SkipSkinData() override;
  // Takes a 64-byte name record and reports type 7, width 64, height 0,
  // bytes per pixel 0 and mip flag 0.
  [[nodiscard]] bool ReadSkin(uint8_t* type, int32_t* width, int32_t* height, int32_t* bytesPerPixel,
                              uint8_t* mipFlag) override;
  // Level 0 is the current 64-byte skin name, which need not end in a zero
  // byte; false without one.
  [[nodiscard]] bool TakeSkinImage(const uint8_t** level0, const uint8_t** level1, const uint8_t** level2,
                                   const uint8_t** level3) override;
  // Reports the box as (0, 0, 0) to (255, 255, 255), with scale and
  // translation.
  [[nodiscard]] bool ReadFrame(char (*name)[kNameSize], uint16_t (*minimum)[3], uint16_t (*maximum)[3],
                               float (*scale)[3], float (*translation)[3]) override;

 protected:
  int32_t Attach(const uint8_t* buffer, uint32_t size) override;
};

}  // namespace modelfiles
