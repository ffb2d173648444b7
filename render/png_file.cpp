// PNG pictures of the tools' images.
#include <new>
#include <vector>

#include "noisemap/error.h"
#include "platform/file_replacement.h"
#include "render/terrain_picture.h"
#include "terrain/colour_png.h"
#include "terrain/image_bytes.h"

namespace render {

bool PngSupported() { return terrain::ColourPngSupported(); }

void WritePng(const noise::utils::ImageGrid& image, const std::string& path, bool withAlpha) {
  if (!PngSupported()) {
    throw noise::utils::InvalidParamError("cannot write " + path + ": this build has no PNG support");
  }
  const int width = image.GetWidth();
  const int height = image.GetHeight();
  if (width <= 0 || height <= 0) throw noise::utils::InvalidParamError("cannot write an empty picture");
  std::vector<uint8_t> rgb;
  try {
    // PNG rows run from the top, the north; image row 0 is the bottom.
    rgb = terrain::ImageBytes(image, withAlpha ? terrain::ChannelOrder::kRgba : terrain::ChannelOrder::kRgb,
                              terrain::RowOrder::kNorthFirst);
  } catch (const std::bad_alloc&) {
    throw noise::utils::OutOfMemoryError("not enough memory for the PNG rows");
  }
  // The picture is made in memory and replaces the file whole, so a file
  // that cannot be written keeps what it held.
  std::vector<uint8_t> bytes;
  const terrain::TerrainResult encoded =
      terrain::EncodeColourPng(rgb.data(), width, height, withAlpha, bytes);
  if (!encoded) throw noise::utils::FileError(encoded.WithPath(path, "cannot write").Text());
  platform::FailureReason failure;
  if (!platform::WriteWholeFile(path.c_str(), bytes, failure)) {
    throw noise::utils::FileError(path + ": " + failure.Text());
  }
}

}  // namespace render
