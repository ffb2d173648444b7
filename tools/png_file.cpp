// PNG pictures through libpng's simplified interface.
#include <png.h>

#include <cstring>
#include <new>
#include <vector>

#include "noisemap/error.h"
#include "platform/file_replacement.h"
#include "tools/terrain_picture.h"

namespace tools {

bool PngSupported() { return true; }

void WritePng(const noise::utils::ImageGrid& image, const std::string& path, bool withAlpha) {
  const int width = image.GetWidth();
  const int height = image.GetHeight();
  if (width <= 0 || height <= 0) throw noise::utils::InvalidParamError("cannot write an empty picture");
  const size_t channels = withAlpha ? 4 : 3;
  std::vector<uint8_t> rgb;
  try {
    rgb.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * channels);
  } catch (const std::bad_alloc&) {
    throw noise::utils::OutOfMemoryError("not enough memory for the PNG rows");
  }
  // PNG rows run from the top; image row 0 is the bottom of the picture.
  for (int y = 0; y < height; ++y) {
    const noise::utils::PixelColor* source = image.RowData(height - 1 - y);
    uint8_t* out = rgb.data() + static_cast<size_t>(y) * static_cast<size_t>(width) * channels;
    for (int x = 0; x < width; ++x, out += channels) {
      out[0] = source[x].red;
      out[1] = source[x].green;
      out[2] = source[x].blue;
      if (withAlpha) out[3] = source[x].alpha;
    }
  }
  // The picture is made in memory and replaces the file whole, so a file
  // that cannot be written keeps what it held.
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(width);
  png.height = static_cast<png_uint_32>(height);
  png.format = withAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  std::vector<uint8_t> bytes;
  if (png_image_write_to_memory(&png, nullptr, &size, 0, rgb.data(), 0, nullptr) != 0) {
    try {
      bytes.resize(size);
    } catch (const std::bad_alloc&) {
      png_image_free(&png);
      throw noise::utils::OutOfMemoryError("not enough memory for the PNG file");
    }
  }
  if (bytes.empty() || png_image_write_to_memory(&png, bytes.data(), &size, 0, rgb.data(), 0, nullptr) == 0) {
    const std::string reason = png.message;
    png_image_free(&png);
    throw noise::utils::FileError("cannot write " + path + ": " + reason);
  }
  bytes.resize(size);
  platform::FailureReason failure;
  if (!platform::WriteWholeFile(path.c_str(), bytes, failure)) {
    throw noise::utils::FileError(path + ": " + failure.Text());
  }
}

}  // namespace tools
