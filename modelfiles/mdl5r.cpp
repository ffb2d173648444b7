#include "modelfiles/mdl5r.h"

#include "modelfiles/image_size.h"
#include "modelfiles/skin_format.h"
#include "platform/little_endian.h"

namespace modelfiles {

using platform::LoadI32;

namespace {

// Skin record: type, width, height.
constexpr uint32_t kSkinSize = 12;
constexpr uint32_t kSkinWidth = 4;
constexpr uint32_t kSkinHeight = 8;

}  // namespace

MDL5R::MDL5R() : MDL5R(kFormatMdl5) {}

MDL5R::MDL5R(int32_t formatCode) : MDL4R(formatCode) {}

MDL5R::~MDL5R() { MDL5R::Close(); }

bool MDL5R::Close() {
  MDL4R::Close();
  skin_ = nullptr;
  return true;
}

int32_t MDL5R::Attach(const uint8_t* buffer, uint32_t size) {
  return AttachFormat(buffer, size, "MDL5", nullptr, kHeaderSize);
}

int32_t MDL5R::BytesPerPixelOfType(uint8_t type) const { return kMdl5BytesPerPixel[type & kSkinFormatMask]; }

bool MDL5R::ReadSkin(uint8_t* type, int32_t* width, int32_t* height, int32_t* bytesPerPixel,
                     uint8_t* mipFlag) {
  if (!TakeSkinRecord(kSkinSize, "skin", type, skin_)) return false;
  ReportSkin(LoadI32(skin_, kSkinWidth), LoadI32(skin_, kSkinHeight), width, height, bytesPerPixel, mipFlag);
  return true;
}

bool MDL5R::TakeSkinImage(const uint8_t** level0, const uint8_t** level1, const uint8_t** level2,
                          const uint8_t** level3) {
  if (skin_ == nullptr) return false;
  const int32_t width = LoadI32(skin_, kSkinWidth);
  const int32_t height = LoadI32(skin_, kSkinHeight);
  const uint8_t** outputs[kMipLevelCount] = {level0, level1, level2, level3};
  const int32_t levels = mipFlag_ != 0 ? kMipLevelCount : 1;
  for (int32_t level = 0; level < levels; ++level) {
    uint64_t bytes = 0;
    if (!SkinLevelBytes(width, height, bytesPerPixel_, level, bytes)) {
      return FailSkinSize(width, OffsetOf(skin_) + kSkinWidth, height, OffsetOf(skin_) + kSkinHeight);
    }
    const uint8_t* image = Take(static_cast<uint32_t>(bytes), "skin image");
    if (image == nullptr) return false;
    if (outputs[level] != nullptr) *outputs[level] = image;
  }
  return true;
}

}  // namespace modelfiles
