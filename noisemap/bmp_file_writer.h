// Stores an ImageGrid as an uncompressed 24-bit BMP file.
#pragma once

#include <string>

#include "noisemap/image_grid.h"

namespace noise {
namespace utils {

// Size of the file header plus the information header, where pixel rows start.
constexpr uint32_t kBmpHeaderSize = 54;
// Resolution written into every file, in pixels per metre (72 dots per inch).
constexpr uint32_t kBmpPixelsPerMetre = 2834;

// Writes the source image bottom row first (image row 0 is the bottom of the
// picture), three bytes blue, green, red per pixel, each row padded with
// zeros to a multiple of 4 bytes; the alpha channel is dropped. The image
// belongs to the caller; the file is open only during WriteFile.
class BmpFileWriter {
 public:
  BmpFileWriter() = default;

  void SetFileName(const std::string& fileName) { m_destFilename = fileName; }
  void SetSourceImage(const ImageGrid& image) { m_pSourceImage = &image; }
  const std::string& GetFileName() const { return m_destFilename; }

  // Writes the file, replacing an existing one. Throws
  // noise::ExceptionInvalidParam without a source image,
  // noise::ExceptionOutOfMemory when the row buffer cannot be had (nothing is
  // written then), and noise::ExceptionUnknown when the file cannot be opened
  // (no file is made), written or closed (what was written stays).
  void WriteFile();

 private:
  std::string m_destFilename;
  const ImageGrid* m_pSourceImage = nullptr;
};

}  // namespace utils
}  // namespace noise
