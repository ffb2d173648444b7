// Builds without libpng: greyscale PNG pictures are refused with a clear
// message.
#include "terrain/grey_png.h"

namespace terrain {

bool GreyPngSupported() { return false; }

bool ReadGreyPng(const std::vector<uint8_t>&, GreyPicture&, std::string& error) {
  error = "this build has no PNG support";
  return false;
}

bool WriteGreyPng(const GreyPicture&, const std::string& path, std::string& error) {
  error = "cannot write " + path + ": this build has no PNG support";
  return false;
}

}  // namespace terrain
