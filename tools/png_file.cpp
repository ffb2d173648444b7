// PNG pictures of the tools' images.
#include <new>
#include <vector>

#include "noisemap/error.h"
#include "platform/file_replacement.h"
#include "terrain/colour_png.h"
#include "tools/terrain_picture.h"

namespace tools {

bool PngSupported() { return terrain::ColourPngSupported(); }

void WritePng(const noise::utils::ImageGrid& image, const std::string& path, bool withAlpha) {
  if (!PngSupported()) {
    throw noise::utils::InvalidParamError("cannot write " + path + ": this build has no PNG support");
  }
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
  std::vector<uint8_t> bytes;
  std::string error;
  if (!terrain::EncodeColourPng(rgb.data(), width, height, withAlpha, bytes, error)) {
    throw noise::utils::FileError("cannot write " + path + ": " + error);
  }
  platform::FailureReason failure;
  if (!platform::WriteWholeFile(path.c_str(), bytes, failure)) {
    throw noise::utils::FileError(path + ": " + failure.Text());
  }
}

}  // namespace tools
