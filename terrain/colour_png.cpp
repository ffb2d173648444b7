#include "terrain/colour_png.h"

#include <png.h>

#include <cstring>
#include <new>

namespace terrain {

bool ColourPngSupported() { return true; }

bool EncodeColourPng(const uint8_t* pixels, int32_t width, int32_t height, bool withAlpha,
                     std::vector<uint8_t>& png, std::string& error) {
  if (width <= 0 || height <= 0) {
    error = "cannot write an empty picture";
    return false;
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = withAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  // The first call measures, the second writes.
  png_alloc_size_t size = 0;
  png.clear();
  if (png_image_write_to_memory(&image, nullptr, &size, 0, pixels, 0, nullptr) != 0) {
    try {
      png.resize(size);
    } catch (const std::bad_alloc&) {
      png_image_free(&image);
      error = "not enough memory for the PNG file";
      return false;
    }
  }
  if (png.empty() || png_image_write_to_memory(&image, png.data(), &size, 0, pixels, 0, nullptr) == 0) {
    error = image.message;
    png_image_free(&image);
    return false;
  }
  png.resize(size);
  return true;
}

}  // namespace terrain
