#include "noisemap/bmp_file_writer.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

#include "noisemap/error.h"
#include "platform/low_level_file.h"

namespace noise {
namespace utils {
namespace {

using platform::LowLevelFile;

void Store16(uint8_t* at, uint16_t v) {
  at[0] = static_cast<uint8_t>(v);
  at[1] = static_cast<uint8_t>(v >> 8);
}

void Store32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Closes the descriptor on every path out of WriteFile.
class OpenFile {
 public:
  explicit OpenFile(int fd) : fd_(fd) {}
  ~OpenFile() {
    if (fd_ >= 0) LowLevelFile::Close(fd_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  int Get() const { return fd_; }
  // Closes now; false when the close failed.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return LowLevelFile::Close(fd) == 0;
  }

 private:
  int fd_;
};

void WriteAll(const OpenFile& file, const uint8_t* data, uint32_t size, const std::string& name) {
  if (size == 0) return;
  if (LowLevelFile::Write(file.Get(), data, size) != static_cast<int32_t>(size)) {
    throw FileError("cannot write " + name);
  }
}

}  // namespace

void BmpFileWriter::WriteFile() {
  if (m_pSourceImage == nullptr) throw InvalidParamError("no image to write to " + m_destFilename);
  const ImageGrid& image = *m_pSourceImage;
  const int width = image.GetWidth();
  const int height = image.GetHeight();

  // At most 32767 pixels a side: a row is at most 98304 bytes and the whole
  // file about 3.2 GB, which still fits the format's 32-bit size field; the
  // check keeps it so should the limits ever change.
  const uint64_t rowSize = (static_cast<uint64_t>(width) * 3 + 3) & ~static_cast<uint64_t>(3);
  const uint64_t dataSize = rowSize * static_cast<uint64_t>(height);
  if (dataSize + kBmpHeaderSize > UINT32_MAX) {
    throw InvalidParamError("an image of " + std::to_string(width) + " x " + std::to_string(height) +
                            " is too large for a BMP file");
  }

  std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[rowSize == 0 ? 1 : rowSize]);
  if (!row) throw OutOfMemoryError("cannot allocate a row of " + std::to_string(rowSize) + " bytes");

  OpenFile file(LowLevelFile::Open(
      m_destFilename.c_str(), LowLevelFile::kWriteOnly | LowLevelFile::kCreate | LowLevelFile::kTruncate | LowLevelFile::kBinary,
      LowLevelFile::kPermRead | LowLevelFile::kPermWrite));
  if (file.Get() < 0) throw FileError("cannot open " + m_destFilename + " for writing");

  uint8_t header[kBmpHeaderSize] = {};
  header[0] = 'B';
  header[1] = 'M';
  Store32(header + 2, static_cast<uint32_t>(dataSize + kBmpHeaderSize));
  Store16(header + 6, 0);
  Store16(header + 8, 0);
  Store32(header + 10, kBmpHeaderSize);
  Store32(header + 14, 40);
  Store32(header + 18, static_cast<uint32_t>(width));
  Store32(header + 22, static_cast<uint32_t>(height));
  Store16(header + 26, 1);
  Store16(header + 28, 24);
  Store32(header + 30, 0);
  Store32(header + 34, static_cast<uint32_t>(dataSize));
  Store32(header + 38, kBmpPixelsPerMetre);
  Store32(header + 42, kBmpPixelsPerMetre);
  Store32(header + 46, 0);
  Store32(header + 50, 0);
  WriteAll(file, header, kBmpHeaderSize, m_destFilename);

  for (int y = 0; y < height; ++y) {
    uint8_t* out = row.get();
    std::fill(out, out + rowSize, uint8_t{0});
    const PixelColor* pixels = image.RowData(y);
    for (int x = 0; x < width; ++x, out += 3) {
      out[0] = pixels[x].blue;
      out[1] = pixels[x].green;
      out[2] = pixels[x].red;
    }
    WriteAll(file, row.get(), static_cast<uint32_t>(rowSize), m_destFilename);
  }
  if (!file.Close()) throw FileError("cannot finish writing " + m_destFilename);
}

}  // namespace utils
}  // namespace noise
