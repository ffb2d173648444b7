// Builds expected file bytes in tests, independently of the code under test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// Appends little-endian integers, floats, raw bytes and fixed-size text
// fields to a byte vector. Golden bytes come from here, never from the
// writer being tested.
class ByteBuilder {
 public:
  ByteBuilder& U8(uint8_t v);
  ByteBuilder& U16(uint16_t v);
  ByteBuilder& U32(uint32_t v);
  ByteBuilder& I16(int16_t v) { return U16(static_cast<uint16_t>(v)); }
  ByteBuilder& I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
  ByteBuilder& F32(float v);
  // `count` copies of one byte.
  ByteBuilder& Fill(uint8_t v, size_t count);
  ByteBuilder& Bytes(const std::vector<uint8_t>& bytes);
  // Text padded with zeros (or cut) to exactly `size` bytes.
  ByteBuilder& Text(const std::string& text, size_t size);
  // Overwrites 4 bytes at `offset` (which must lie inside) with v.
  ByteBuilder& PatchU32(size_t offset, uint32_t v);

  const std::vector<uint8_t>& Data() const { return bytes_; }
  size_t Size() const { return bytes_.size(); }

 private:
  std::vector<uint8_t> bytes_;
};

// The whole content of a file; an empty vector when it cannot be read.
std::vector<uint8_t> ReadFileBytes(const std::string& path);
// Writes bytes to a file, replacing it; false on failure.
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
// Reads a little-endian value at `offset` of `bytes`; the caller keeps it inside.
uint32_t LoadU32(const std::vector<uint8_t>& bytes, size_t offset);
uint16_t LoadU16(const std::vector<uint8_t>& bytes, size_t offset);

}  // namespace testsupport
