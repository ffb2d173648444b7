// Builds without libpng: PNG pictures are refused with a clear message.
#include "terrain/png_encoder.h"

namespace terrain {

bool PngEncoderSupported() { return false; }

TerrainResult EncodePng(const PngLayout&, const uint8_t*, std::vector<uint8_t>& png) {
  png.clear();
  return TerrainResult(TerrainResult::Kind::kUnsupported, "this build has no PNG support");
}

}  // namespace terrain
