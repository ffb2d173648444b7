// Little-endian load and store helpers for every file format of the toolkit.
#pragma once

#include <cstdint>
#include <cstring>

namespace platform {

// Every multi-byte value of the toolkit's file formats is little-endian. These helpers
// assemble and split values byte by byte, so no pointer into file bytes is
// ever cast to a wider type and the host's byte order does not matter. The
// caller keeps `offset + width` inside the bytes it passes.

inline uint16_t LoadU16(const uint8_t* bytes, uint32_t offset) {
  return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

inline uint32_t LoadU32(const uint8_t* bytes, uint32_t offset) {
  return static_cast<uint32_t>(bytes[offset]) | (static_cast<uint32_t>(bytes[offset + 1]) << 8) |
         (static_cast<uint32_t>(bytes[offset + 2]) << 16) | (static_cast<uint32_t>(bytes[offset + 3]) << 24);
}

inline int32_t LoadI32(const uint8_t* bytes, uint32_t offset) {
  const uint32_t value = LoadU32(bytes, offset);
  int32_t result;
  std::memcpy(&result, &value, sizeof result);
  return result;
}

inline int16_t LoadI16(const uint8_t* bytes, uint32_t offset) {
  const uint16_t value = LoadU16(bytes, offset);
  int16_t result;
  std::memcpy(&result, &value, sizeof result);
  return result;
}

// A 32-bit value taken as an IEEE single-precision float, bit for bit.
inline float LoadF32(const uint8_t* bytes, uint32_t offset) {
  const uint32_t value = LoadU32(bytes, offset);
  float result;
  std::memcpy(&result, &value, sizeof result);
  return result;
}

inline void StoreU16(uint8_t* bytes, uint32_t offset, uint16_t value) {
  bytes[offset] = static_cast<uint8_t>(value);
  bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

inline void StoreU32(uint8_t* bytes, uint32_t offset, uint32_t value) {
  bytes[offset] = static_cast<uint8_t>(value);
  bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
  bytes[offset + 2] = static_cast<uint8_t>(value >> 16);
  bytes[offset + 3] = static_cast<uint8_t>(value >> 24);
}

inline void StoreI32(uint8_t* bytes, uint32_t offset, int32_t value) {
  uint32_t raw;
  std::memcpy(&raw, &value, sizeof raw);
  StoreU32(bytes, offset, raw);
}

inline void StoreF32(uint8_t* bytes, uint32_t offset, float value) {
  uint32_t raw;
  std::memcpy(&raw, &value, sizeof raw);
  StoreU32(bytes, offset, raw);
}

// Adds to a stored 32-bit counter with wrap-around, as the file's 32-bit
// field would; never signed overflow.
inline void AddU32(uint8_t* bytes, uint32_t offset, uint32_t amount) {
  StoreU32(bytes, offset, LoadU32(bytes, offset) + amount);
}

}  // namespace platform
