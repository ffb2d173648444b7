#include "python/model_arrays_visitor.h"

#include <cstring>

#include "modelfiles/mdl7_layout.h"
#include "terrain/skin_rgba.h"

namespace pybinding {

namespace {

// Skins larger than this many pixels are refused rather than decoded: 2^28
// pixels would be a gigabyte of colour.
constexpr uint64_t kLargestSkinPixels = uint64_t{1} << 28;

}  // namespace

void ModelArraysVisitor::Header(const modelfiles::ModelHeader& header) {
  header_ = header;
  MeshVisitor::Header(header);
}

void ModelArraysVisitor::Skin(const modelfiles::SkinRecord& skin) {
  MeshVisitor::Skin(skin);
  CollectedSkin out;
  out.name = skin.name;
  out.type = skin.type;
  out.width = skin.width;
  out.height = skin.height;
  const uint64_t pixels = static_cast<uint64_t>(skin.width > 0 ? skin.width : 0) *
                          static_cast<uint64_t>(skin.height > 0 ? skin.height : 0);
  if (skin.pixels != nullptr && pixels > 0 && pixels <= kLargestSkinPixels) {
    if (skin.bytesPerPixel == 1 &&
        (skin.type & modelfiles::kSkinFormatMask) != modelfiles::mdl7::kEmbeddedSkinType) {
      out.channels = 1;
      out.pixels.assign(skin.pixels, skin.pixels + pixels);
    } else if (terrain::DecodeSkinRgba(skin.type, skin.bytesPerPixel, skin.width, skin.height, skin.pixels,
                                       out.pixels)) {
      out.channels = 4;
    }
  }
  skins_.push_back(std::move(out));
}

void ModelArraysVisitor::Failure(const modelfiles::WalkFailure& failure) {
  if (!walkReason_.IsFailure()) walkReason_ = failure.reason;
  MeshVisitor::Failure(failure);
}

}  // namespace pybinding
