#include "modelfiles/mdl5r.h"

#include "modelfiles/image_size.h"
#include "modelfiles/legacy_layout.h"
#include "modelfiles/skin_format.h"
#include "platform/little_endian.h"

namespace modelfiles {

using platform::LoadI32;

MDL5R::MDL5R() : MDL5R(kFormatMdl5) {}

MDL5R::MDL5R(int32_t formatCode) : MDL4R(formatCode) {}

int32_t MDL5R::Attach(const uint8_t* buffer, uint32_t size) {
  return AttachFormat(buffer, size, "MDL5", nullptr, kHeaderSize);
}

int32_t MDL5R::BytesPerPixelOfType(uint8_t type) const { return kMdl5BytesPerPixel[type & kSkinFormatMask]; }

bool MDL5R::ReadSkin(uint8_t* type, int32_t* width, int32_t* height, int32_t* bytesPerPixel,
                     uint8_t* mipFlag) {
  if (!TakeSkinRecord(legacy::kSizedSkinSize, "skin", type)) return false;
  ReportSkin(LoadI32(skin_, legacy::kSizedSkinWidth), LoadI32(skin_, legacy::kSizedSkinHeight), width, height,
             bytesPerPixel, mipFlag);
  return true;
}

bool MDL5R::TakeSkinImage(const uint8_t** level0, const uint8_t** level1, const uint8_t** level2,
                          const uint8_t** level3) {
  if (skin_ == nullptr) return false;
  return TakeSkinLevels(LoadI32(skin_, legacy::kSizedSkinWidth), OffsetOf(skin_) + legacy::kSizedSkinWidth,
                        LoadI32(skin_, legacy::kSizedSkinHeight), OffsetOf(skin_) + legacy::kSizedSkinHeight,
                        bytesPerPixel_, mipFlag_ != 0 ? kMipLevelCount : 1, {level0, level1, level2, level3});
}

}  // namespace modelfiles
