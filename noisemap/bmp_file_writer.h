// Stores an ImageGrid as an uncompressed 24-bit BMP file.
#pragma once

#include <string>

#include "noisemap/image_grid.h"

namespace noise {
namespace utils {

// Writes the source image in the layout of noisemap/bmp_layout.h, bottom row first (image row 0 is the bottom
// of the picture), three bytes blue, green, red per pixel, each row padded with zeros to a multiple of 4
// bytes; the alpha channel is dropped. The image belongs to the caller; the file is open only during
// WriteFile.
class BmpFileWriter {
 public:
  BmpFileWriter() = default;

  void SetFileName(const std::string& fileName) { destFilename_ = fileName; }
  void SetSourceImage(const ImageGrid& image) { sourceImage_ = &image; }
  const std::string& GetFileName() const { return destFilename_; }

  // Writes the file, replacing an existing one whole: the bytes go to a
  // temporary file beside it, which takes the name only once it is
  // complete (a FIFO or device is written in place). Throws
  // noise::ExceptionInvalidParam without a source image,
  // noise::ExceptionOutOfMemory when the row buffer cannot be had, and
  // noise::ExceptionUnknown when the file cannot be created, written or
  // closed; in every case a file that was there keeps its bytes and no
  // partial file is left.
  void WriteFile();

 private:
  std::string destFilename_;
  const ImageGrid* sourceImage_ = nullptr;
};

}  // namespace utils
}  // namespace noise
