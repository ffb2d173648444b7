// Fuzz target of the greyscale PNG reader: any bytes as a picture file, read
// as terrainconvert reads a .png input. libpng refuses a chunk whose checksum
// is wrong before anything else looks at it, so the same bytes are read a
// second time with every chunk's checksum made right: then a changed header,
// palette or row reaches the reader's own size checks and the decoder. A
// picture that reads must hold width x height samples, at least one.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "terrain/grey_png.h"
#include "tests/support/png_chunks.h"

namespace {

constexpr size_t kSignatureSize = 8;
// Length, type and checksum around a chunk's data.
constexpr size_t kChunkFrame = 12;

uint32_t LoadBig32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) << 24 | static_cast<uint32_t>(at[1]) << 16 |
         static_cast<uint32_t>(at[2]) << 8 | at[3];
}

// Rewrites the checksum of every whole chunk; false when none changed.
bool FixChecksums(std::vector<uint8_t>& bytes) {
  bool changed = false;
  size_t at = kSignatureSize;
  while (bytes.size() - at >= kChunkFrame) {
    const uint32_t length = LoadBig32(bytes.data() + at);
    if (length > bytes.size() - at - kChunkFrame) break;
    const uint32_t crc = testsupport::Crc32(bytes.data() + at + 4, length + 4u);
    uint8_t* stored = bytes.data() + at + 8 + length;
    if (LoadBig32(stored) != crc) {
      for (int i = 0; i < 4; ++i) stored[i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
      changed = true;
    }
    at += kChunkFrame + length;
  }
  return changed;
}

void Read(const std::vector<uint8_t>& bytes) {
  terrain::GreyPicture picture;
  const terrain::TerrainResult read = terrain::ReadGreyPng(bytes, picture);
  if (read) {
    fuzzing::Require(picture.width > 0 && picture.height > 0, "a picture has a size");
    fuzzing::Require(picture.samples.size() ==
                         static_cast<uint64_t>(picture.width) * static_cast<uint64_t>(picture.height),
                     "a picture holds width x height samples");
  } else {
    fuzzing::Require(!read.Description().empty(), "a refused picture has a reason");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  Read(bytes);
  if (bytes.size() > kSignatureSize && FixChecksums(bytes)) Read(bytes);
  return 0;
}
