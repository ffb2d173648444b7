// Builds without libpng: PNG pictures are refused with a clear message.
#include "noisemap/error.h"
#include "tools/terrain_picture.h"

namespace tools {

bool PngSupported() { return false; }

void WritePng(const noise::utils::ImageGrid&, const std::string& path, bool) {
  throw noise::utils::InvalidParamError("cannot write " + path + ": this build has no PNG support");
}

}  // namespace tools
