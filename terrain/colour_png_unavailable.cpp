// Builds without libpng: colour PNG pictures are refused with a clear message.
#include "terrain/colour_png.h"

namespace terrain {

bool ColourPngSupported() { return false; }

bool EncodeColourPng(const uint8_t*, int32_t, int32_t, bool, std::vector<uint8_t>&, std::string& error) {
  error = "this build has no PNG support";
  return false;
}

}  // namespace terrain
