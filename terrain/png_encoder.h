// The one PNG writer of the toolkit: rows of samples in memory become the
// bytes of a PNG file, through libpng, with the layout each caller asks for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "terrain/terrain_result.h"

namespace terrain {

// A text chunk of a PNG picture: a keyword of 1 to 79 printable Latin-1
// characters and its text.
struct PictureText {
  std::string keyword;
  std::string text;
};

// What the file says of its samples, and how they are packed.
struct PngLayout {
  // The filter mask that lets every row take the Sub filter alone.
  static constexpr int kSubFilterOnly = 0x10;

  int32_t width = 0;
  int32_t height = 0;
  int bitDepth = 8;  // 8, or 16 with each sample's most significant byte first
  int channels = 3;  // 1 grey, 3 red green blue, 4 red green blue alpha
  // zlib's compression level, and the filters libpng may choose from (a
  // PNG_FILTER_* mask); -1 leaves each to libpng.
  int compressionLevel = -1;
  int filters = -1;
  bool sRGB = false;               // an sRGB chunk with the perceptual intent
  std::vector<PictureText> texts;  // uncompressed text chunks before the data
};

// Whether this build writes PNG pictures.
bool PngEncoderSupported();

// Encodes `samples`, layout.height rows from the top of layout.width pixels
// each, as the bytes of a PNG file in `png`. A failure when the size is not
// positive (kInvalidArgument), memory runs out (kTooLarge), libpng refuses
// the layout or texts (kInvalidArgument, in libpng's words) or the build has
// no PNG support (kUnsupported).
TerrainResult EncodePng(const PngLayout& layout, const uint8_t* samples, std::vector<uint8_t>& png);

}  // namespace terrain
