#include <cstdint>
#include <limits>
#include <new>
#include <stdexcept>
#include <vector>

#include "platform/branch_hint.h"
#include "plugin/engine_api.h"
#include "plugin/exports.h"
#include "plugin/fixed10.h"
#include "plugin/float_to_int.h"
#include "plugin/hmp7w.h"
#include "plugin/mip_sampler.h"
#include "plugin/terrain_recipe.h"

namespace loamwriter {

HMP7W theWriter;

namespace {

// Pixel formats bmap_lock reports.
constexpr int32_t kFormat565 = 565;
constexpr int32_t kFormat888 = 888;
constexpr int32_t kFormat4444 = 4444;
constexpr int32_t kFormat8888 = 8888;

// The largest level 0 the writer can put into one write.
constexpr int64_t kLargestImageBytes = INT32_MAX;

// The skin type code for a bitmap, or -1 for a format the file cannot carry.
int SkinTypeCode(int32_t format, int32_t flags, int32_t bytesPerPixel) {
  // 565 and 4444 bitmaps announce mip levels only with the high-types flag;
  // 888 and 8888 always do.
  const int mip = (flags & engine::kBitmapFlagHighTypes) != 0 ? kHmpSkinTypeMipmapBit : 0;
  switch (format) {
    case kFormat565:
      return kHmpSkinFormat565 | mip;
    case kFormat4444:
      return kHmpSkinFormat4444 | mip;
    case kFormat888:
      return kHmpSkinFormat888 | kHmpSkinTypeMipmapBit;
    case kFormat8888:
      return (bytesPerPixel == 3 ? kHmpSkinFormat888 : kHmpSkinFormat8888) | kHmpSkinTypeMipmapBit;
    default:
      return -1;
  }
}

// Reads a locked bitmap into `image`. False when the bitmap cannot be taken:
// an unknown format, bytes per pixel that are 0 or negative, a negative size,
// an image too large for the file, no pixel data, or no memory for the copy.
bool TakeBitmap(const EngineApi& api, engine::EngineBitmap* bitmap, int32_t format, SkinLevels& image) {
  image.bytesPerPixel = bitmap->bytesPerPixel;
  const int type = SkinTypeCode(format, bitmap->flags, image.bytesPerPixel);
  if (type < 0 || image.bytesPerPixel <= 0) return false;
  image.type = static_cast<uint8_t>(type);
  image.width = Fixed10ToInt(api.BmapWidth()(bitmap));
  image.height = Fixed10ToInt(api.BmapHeight()(bitmap));
  if (image.width < 0 || image.height < 0) return false;
  const int64_t w = image.width;
  const int64_t h = image.height;
  const int64_t b = image.bytesPerPixel;
  // Checked factor by factor so that the product cannot overflow 64 bits.
  if (w * h > kLargestImageBytes || w * h * b > kLargestImageBytes) return false;
  const uint8_t* pixels = bitmap->pixels;
  if (w * h > 0 && pixels == nullptr) return false;

  // Only the codes with the mip bit announce the reduced levels to readers.
  image.mipmaps = (image.type & kHmpSkinTypeMipmapBit) != 0;
  return PickSkinLevels(pixels, image);
}

}  // namespace
}  // namespace loamwriter

using loamwriter::Fixed10;
using loamwriter::Fixed10ToInt;
using loamwriter::Fixed10ToReal;
using loamwriter::theWriter;

int32_t LIBRARY_CALL WriteHMP(const char* path) {
  return loamwriter::TruthToFixed10(path != nullptr && theWriter.Open(path) >= 0);
}

int32_t LIBRARY_CALL WriteHmpHeader(const engine::Fixed10Vector* params, const engine::Fixed10Vector* min,
                                    const engine::Fixed10Vector* max) {
  if (params == nullptr || min == nullptr || max == nullptr) return loamwriter::kFixed10False;
  const loamwriter::TerrainHeaderValues values{
      {params->x, params->y, params->z}, {min->x, min->y, min->z}, {max->x, max->y, max->z}};
  loamwriter::SetHeaderFromRange(theWriter.header, values);
  return loamwriter::kFixed10True;
}

int32_t LIBRARY_CALL WriteHmpSkin(const engine::EngineNamedRecord* rec, engine::EngineBitmap* bitmap) {
  const loamwriter::EngineApi& api = loamwriter::engineApi;
  const engine::BmapLockFunction lock = api.BmapLock();
  const engine::BmapUnlockFunction unlock = api.BmapUnlock();
  if (rec == nullptr || bitmap == nullptr || lock == nullptr || unlock == nullptr ||
      api.BmapWidth() == nullptr || api.BmapHeight() == nullptr) {
    return loamwriter::kFixed10Refused;
  }

  const int32_t format = Fixed10ToInt(lock(bitmap, 0));
  loamwriter::SkinLevels image;
  if (!loamwriter::TakeBitmap(api, bitmap, format, image)) {
    unlock(bitmap);
    return loamwriter::kFixed10Refused;
  }

  const bool whole = loamwriter::WriteSkinLevels(theWriter, rec->name, image);
  unlock(bitmap);
  return loamwriter::TruthToFixed10(whole);
}

int32_t LIBRARY_CALL WriteSkinEmpty(int32_t width, int32_t height, const engine::EngineNamedRecord* rec) {
  if (rec == nullptr) return loamwriter::kFixed10False;
  const int64_t w = Fixed10ToInt(width);
  const int64_t h = Fixed10ToInt(height);
  if (w < 0 || h < 0 || w * h > loamwriter::kLargestImageBytes) return loamwriter::kFixed10False;
  return loamwriter::TruthToFixed10(
      loamwriter::WriteBlankSkin(theWriter, static_cast<int32_t>(w), static_cast<int32_t>(h), rec->name));
}

int32_t LIBRARY_CALL WriteHmpFrame(const engine::EngineNamedRecord* rec) {
  if (rec == nullptr) return loamwriter::kFixed10False;
  return loamwriter::TruthToFixed10(theWriter.BeginFrame(rec->name));
}

int32_t LIBRARY_CALL WriteHmpVertex(int32_t height, const engine::Fixed10Vector* normal) {
  if (normal == nullptr) return loamwriter::kFixed10False;
  // Heights below the minimum are not clamped: -1.0 with offset 0 and scale
  // 1.0 packs to 65535, and 65536.0 packs to 0. A scale of 0 packs every
  // height to 0: it is replaced by NaN, whose quotient packs to 0 like every
  // quotient outside the 32-bit range.
  const uint16_t packed = loamwriter::TruncateLow16(
      loamwriter::PackedQuotient(height, theWriter.header.scale[2], theWriter.header.offset[2]));
  // The export returns the packed height whatever became of the vertex: a
  // failed block is reported by WriteHmpFrameEnd, and the file is not whole
  // from then on.
  (void)theWriter.AddFrameVertex(packed, Fixed10ToReal(normal->x), Fixed10ToReal(normal->y),
                                 Fixed10ToReal(normal->z));
  return loamwriter::IntToFixed10(packed);
}

int32_t LIBRARY_CALL WriteHmpFrameEnd() { return loamwriter::TruthToFixed10(theWriter.FinishFrame()); }

int32_t LIBRARY_CALL WriteHmpClose() { return loamwriter::TruthToFixed10(theWriter.Close()); }
