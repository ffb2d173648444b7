// Builds without libpng: greyscale PNG pictures are refused with a clear
// message.
#include "terrain/grey_png.h"

namespace terrain {

bool GreyPngSupported() { return false; }

TerrainResult ReadGreyPng(const std::vector<uint8_t>&, GreyPicture&) {
  return TerrainResult(TerrainResult::Kind::kUnsupported, "this build has no PNG support");
}

TerrainResult WriteGreyPng(const GreyPicture&, const std::string& path) {
  return TerrainResult(TerrainResult::Kind::kUnsupported, "this build has no PNG support")
      .WithPath(path, "cannot write");
}

}  // namespace terrain
