// Whole-file reads for the tools.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

// Files larger than this are refused: every format here addresses its bytes
// with 32-bit offsets.
constexpr uint64_t kLargestFileBytes = 0x7FFFFFFF;

// Reads the file at `path` whole into `bytes` through the platform's
// low-level files. False with a one-line reason in `error` when it cannot be
// opened or read, or is larger than kLargestFileBytes; `bytes` is then empty.
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);

}  // namespace tools
