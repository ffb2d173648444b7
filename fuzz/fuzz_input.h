// Helpers shared by the fuzz targets: a reader of the fuzzer's bytes as
// typed values, a check of what a reader promises, and the per-process
// scratch files that the targets which write files use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace fuzzing {

// Hands out the input bytes as little-endian values, front to back. Once the
// bytes run out every value reads as zero, so a target never needs to check
// the length itself and a short input still means a well-defined run.
class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Empty() const { return used_ >= size_; }
  size_t Remaining() const { return size_ - used_; }

  uint8_t U8() {
    if (used_ >= size_) return 0;
    return data_[used_++];
  }
  uint16_t U16() { return static_cast<uint16_t>(U8() | (U8() << 8)); }
  uint32_t U32() { return static_cast<uint32_t>(U16()) | (static_cast<uint32_t>(U16()) << 16); }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  bool Bool() { return (U8() & 1u) != 0; }
  // A value in 0 .. limit - 1 (limit >= 1) from one byte.
  uint32_t Below(uint32_t limit) { return U8() % limit; }
  // Up to `maximum` bytes as a string, its length taken from one byte.
  std::string Text(size_t maximum) {
    const size_t length = U8() % (maximum + 1);
    std::string text;
    for (size_t i = 0; i < length && !Empty(); ++i) text.push_back(static_cast<char>(U8()));
    return text;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t used_ = 0;
};

// Ends the process, as a crash would, when a reader broke a promise its
// header makes about what it returns: the fuzzer keeps the input.
inline void Require(bool condition, const char* promise) {
  if (condition) return;
  std::fprintf(stderr, "broken promise: %s\n", promise);
  std::abort();
}

// A file name unique to this process in the system's temporary folder, for
// targets whose code under test writes files by name.
const std::string& ScratchPath(const char* suffix);

}  // namespace fuzzing
