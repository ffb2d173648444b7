#include "support/byte_builder.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testsupport {

ByteBuilder& ByteBuilder::U8(uint8_t v) {
  bytes_.push_back(v);
  return *this;
}

ByteBuilder& ByteBuilder::U16(uint16_t v) {
  bytes_.push_back(static_cast<uint8_t>(v & 0xFF));
  bytes_.push_back(static_cast<uint8_t>(v >> 8));
  return *this;
}

ByteBuilder& ByteBuilder::U32(uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<uint8_t>(v >> shift));
  return *this;
}

ByteBuilder& ByteBuilder::F32(float v) {
  uint32_t bits;
  static_assert(sizeof bits == sizeof v, "32-bit float expected");
  std::memcpy(&bits, &v, sizeof bits);
  return U32(bits);
}

ByteBuilder& ByteBuilder::Fill(uint8_t v, size_t count) {
  bytes_.insert(bytes_.end(), count, v);
  return *this;
}

ByteBuilder& ByteBuilder::Bytes(const std::vector<uint8_t>& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

ByteBuilder& ByteBuilder::Text(const std::string& text, size_t size) {
  for (size_t i = 0; i < size; ++i) bytes_.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
  return *this;
}

ByteBuilder& ByteBuilder::PatchU32(size_t offset, uint32_t v) {
  if (offset + 4 > bytes_.size()) throw std::out_of_range("PatchU32 outside the bytes");
  for (int i = 0; i < 4; ++i) bytes_[offset + i] = static_cast<uint8_t>(v >> (8 * i));
  return *this;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

uint32_t LoadU32(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<uint32_t>(bytes.at(offset)) | static_cast<uint32_t>(bytes.at(offset + 1)) << 8 |
         static_cast<uint32_t>(bytes.at(offset + 2)) << 16 |
         static_cast<uint32_t>(bytes.at(offset + 3)) << 24;
}

uint16_t LoadU16(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<uint16_t>(bytes.at(offset) | bytes.at(offset + 1) << 8);
}

}  // namespace testsupport
