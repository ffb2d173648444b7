#include "noisemap/bmp_file_writer.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

#include "noisemap/bmp_layout.h"
#include "noisemap/error.h"
#include "platform/file_replacement.h"
#include "platform/little_endian.h"

namespace noise {
namespace utils {
namespace {

using platform::StoreU16;
using platform::StoreU32;

void WriteAll(int fd, const uint8_t* data, uint32_t size, const std::string& name) {
  platform::FailureReason reason;
  if (!platform::WriteFully(fd, data, size, reason)) throw FileError("cannot write " + name);
}

}  // namespace

void BmpFileWriter::WriteFile() {
  if (sourceImage_ == nullptr) throw InvalidParamError("no image to write to " + destFilename_);
  const ImageGrid& image = *sourceImage_;
  const int width = image.GetWidth();
  const int height = image.GetHeight();

  // At most 32767 pixels a side: a row is at most 98304 bytes and the whole
  // file about 3.2 GB, which still fits the format's 32-bit size field; the
  // check keeps it so should the limits ever change.
  const uint64_t rowSize = bmp::RowSize(static_cast<uint64_t>(width));
  const uint64_t dataSize = rowSize * static_cast<uint64_t>(height);
  if (dataSize + bmp::kHeaderSize > UINT32_MAX) {
    throw InvalidParamError("an image of " + std::to_string(width) + " x " + std::to_string(height) +
                            " is too large for a BMP file");
  }

  std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[rowSize == 0 ? 1 : rowSize]);
  if (!row) throw OutOfMemoryError("cannot allocate a row of " + std::to_string(rowSize) + " bytes");

  // The picture goes to its name only once it is whole; leaving early
  // removes what was written.
  platform::FileReplacement file;
  const int fd = file.Begin(destFilename_.c_str());
  if (fd < 0) throw FileError("cannot open " + destFilename_ + " for writing");

  uint8_t header[bmp::kHeaderSize] = {};
  header[bmp::kMagic] = 'B';
  header[bmp::kMagic + 1] = 'M';
  StoreU32(header, bmp::kFileSize, static_cast<uint32_t>(dataSize + bmp::kHeaderSize));
  StoreU16(header, bmp::kReserved1, 0);
  StoreU16(header, bmp::kReserved2, 0);
  StoreU32(header, bmp::kPixelOffset, bmp::kHeaderSize);
  StoreU32(header, bmp::kInfoSize, bmp::kInfoHeaderSize);
  StoreU32(header, bmp::kWidth, static_cast<uint32_t>(width));
  StoreU32(header, bmp::kHeight, static_cast<uint32_t>(height));
  StoreU16(header, bmp::kPlanes, 1);
  StoreU16(header, bmp::kBitsPerPixel, 24);
  StoreU32(header, bmp::kCompression, 0);
  StoreU32(header, bmp::kImageSize, static_cast<uint32_t>(dataSize));
  StoreU32(header, bmp::kXPixelsPerMetre, bmp::kPixelsPerMetre);
  StoreU32(header, bmp::kYPixelsPerMetre, bmp::kPixelsPerMetre);
  StoreU32(header, bmp::kColorsUsed, 0);
  StoreU32(header, bmp::kImportantColors, 0);
  WriteAll(fd, header, bmp::kHeaderSize, destFilename_);

  for (int y = 0; y < height; ++y) {
    uint8_t* out = row.get();
    std::fill(out, out + rowSize, uint8_t{0});
    const PixelColor* pixels = image.RowData(y);
    for (int x = 0; x < width; ++x, out += 3) {
      out[0] = pixels[x].blue;
      out[1] = pixels[x].green;
      out[2] = pixels[x].red;
    }
    WriteAll(fd, row.get(), static_cast<uint32_t>(rowSize), destFilename_);
  }
  if (!file.Commit()) throw FileError("cannot finish writing " + destFilename_);
}

}  // namespace utils
}  // namespace noise
