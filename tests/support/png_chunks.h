// PNG pictures built byte by byte, as tests and the fuzz target make them by
// hand: chunks with their length, type, data and CRC-32, and whole pictures
// in stored deflate blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace testsupport {

// The CRC-32 of PNG chunks (and zlib): reflected polynomial 0xEDB88320.
inline uint32_t Crc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

inline void AppendBig32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

// Appends the chunk of `type` (four letters) holding `data` to `png`.
inline void AppendPngChunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
  AppendBig32(png, static_cast<uint32_t>(data.size()));
  std::vector<uint8_t> typed(type, type + 4);
  typed.insert(typed.end(), data.begin(), data.end());
  png.insert(png.end(), typed.begin(), typed.end());
  AppendBig32(png, Crc32(typed.data(), typed.size()));
}

// A PNG picture of `width` x `height` with its filtered rows (each led by
// its filter byte) given whole, in one stored (uncompressed) deflate block.
inline std::vector<uint8_t> StoredPng(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType,
                                      const std::vector<uint8_t>& rows) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<uint8_t> header;
  AppendBig32(header, width);
  AppendBig32(header, height);
  header.insert(header.end(), {depth, colourType, 0, 0, 0});
  AppendPngChunk(png, "IHDR", header);
  const uint16_t length = static_cast<uint16_t>(rows.size());
  std::vector<uint8_t> z = {0x78,
                            0x01,
                            0x01,
                            static_cast<uint8_t>(length & 0xFF),
                            static_cast<uint8_t>(length >> 8),
                            static_cast<uint8_t>(~length & 0xFF),
                            static_cast<uint8_t>((~length >> 8) & 0xFF)};
  z.insert(z.end(), rows.begin(), rows.end());
  uint32_t a = 1, b = 0;  // Adler-32 of the rows
  for (uint8_t byte : rows) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  AppendBig32(z, b << 16 | a);
  AppendPngChunk(png, "IDAT", z);
  AppendPngChunk(png, "IEND", {});
  return png;
}

}  // namespace testsupport
