// Greyscale PNG pictures as grids of 16-bit samples, through libpng.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "terrain/png_encoder.h"

namespace terrain {

// Whether this build reads and writes greyscale PNG pictures.
bool GreyPngSupported();

// A greyscale picture: width x height samples, row by row from the top, and
// the text chunks it carries.
struct GreyPicture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint16_t> samples;
  std::vector<PictureText> texts;
};

// Reads a greyscale PNG picture (with or without alpha, which is dropped) of
// any bit depth from its bytes. Samples of 16 bits are kept as they are;
// samples of fewer bits are widened so that the brightest becomes 65535
// (8-bit v becomes v x 257). No gamma or other transformation is applied.
// A failure for a colour picture or one of another layout (kUnsupported), a
// picture whose data is damaged or ends early or that declares more pixels
// than its data can hold (kMalformed), no memory for it (kTooLarge), or a
// build without PNG support (kUnsupported). The picture's uncompressed
// text chunks (tEXt), before and after its data, come in `texts`.
TerrainResult ReadGreyPng(const std::vector<uint8_t>& bytes, GreyPicture& picture);

// Writes `picture` to `path` as a 16-bit greyscale PNG with no gamma or
// colour information, its texts as uncompressed text chunks before the
// data, replacing the file whole. A failure naming `path` when it cannot
// ("cannot write PATH: ..." where the picture cannot be encoded); a file that
// was there then keeps its bytes.
TerrainResult WriteGreyPng(const GreyPicture& picture, const std::string& path);

}  // namespace terrain
