#include "modelfiles/idp2r.h"

#include "modelfiles/legacy_layout.h"
#include "platform/little_endian.h"

namespace modelfiles {

using platform::LoadF32;

namespace {

// What ReadSkin reports for a name record.
constexpr uint8_t kNameSkinType = 7;

}  // namespace

IDP2R::IDP2R() : MDL3R(kFormatIdp2) {
  counts_ = {idp2::kHeaderSkinCount, idp2::kHeaderVertexCount, idp2::kHeaderTriangleCount,
             idp2::kHeaderFrameCount, idp2::kHeaderTexCoordCount};
}

int32_t IDP2R::Attach(const uint8_t* buffer, uint32_t size) {
  return AttachFormat(buffer, size, "IDP2", nullptr, kHeaderSize);
}

bool IDP2R::SkipSkinData() { return true; }

bool IDP2R::ReadSkin(uint8_t* type, int32_t* width, int32_t* height, int32_t* bytesPerPixel,
                     uint8_t* mipFlag) {
  if (!CountAllowsRecord(SkinCount(), "skin count", counts_.skins)) return false;
  const uint8_t* record = Take(kSkinNameSize, "skin name");
  if (record == nullptr) return false;
  skin_ = record;
  bytesPerPixel_ = 0;
  mipFlag_ = 0;
  if (type != nullptr) *type = kNameSkinType;
  ReportSkin(static_cast<int32_t>(kSkinNameSize), 0, width, height, bytesPerPixel, mipFlag);
  return true;
}

bool IDP2R::TakeSkinImage(const uint8_t** level0, const uint8_t**, const uint8_t**, const uint8_t**) {
  if (skin_ == nullptr) return false;
  if (level0 != nullptr) *level0 = skin_;
  return true;
}

bool IDP2R::ReadFrame(char (*name)[kNameSize], uint16_t (*minimum)[3], uint16_t (*maximum)[3],
                      float (*scale)[3], float (*translation)[3]) {
  const uint8_t* record = TakeFrameRecord(idp2::kFrameSize, "frame");
  if (record == nullptr) return false;
  for (uint32_t i = 0; i < 3; ++i) {
    if (scale != nullptr) (*scale)[i] = LoadF32(record, idp2::kFrameScale + 4 * i);
    if (translation != nullptr) (*translation)[i] = LoadF32(record, idp2::kFrameTranslation + 4 * i);
    if (minimum != nullptr) (*minimum)[i] = 0;
    if (maximum != nullptr) (*maximum)[i] = 255;
  }
  CopyFrameName(record, idp2::kFrameName, name);
  return true;
}

}  // namespace modelfiles
