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

  // Writes the file, replacing an existing one. Throws
  // noise::ExceptionInvalidParam without a source image,
  // noise::ExceptionOutOfMemory when the row buffer cannot be had (nothing is
  // written then), and noise::ExceptionUnknown when the file cannot be opened
  // (no file is made), written or closed (what was written stays).
  void WriteFile();

 private:
  std::string destFilename_;
  const ImageGrid* sourceImage_ = nullptr;
};

}  // namespace utils
}  // namespace noise
