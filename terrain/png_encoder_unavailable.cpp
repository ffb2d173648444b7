// Builds without libpng: PNG pictures are refused with a clear message.
#include "terrain/png_encoder.h"

namespace terrain {

bool PngEncoderSupported() { return false; }

bool EncodePng(const PngLayout&, const uint8_t*, std::vector<uint8_t>& png, std::string& error) {
  png.clear();
  error = "this build has no PNG support";
  return false;
}

}  // namespace terrain
