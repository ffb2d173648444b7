#include "tools/file_bytes.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "platform/low_level_file.h"

namespace tools {

namespace {

// Reads in pieces of this size, so that the last short read shows the end.
constexpr uint32_t kChunkBytes = 1u << 20;

}  // namespace

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  using platform::LowLevelFile;
  bytes.clear();
  const int fd = LowLevelFile::Open(path.c_str(), LowLevelFile::kReadOnly | LowLevelFile::kBinary);
  if (fd < 0) {
    error = std::string("cannot open: ") + std::strerror(errno);
    return false;
  }
  bool ok = true;
  try {
    for (;;) {
      const size_t used = bytes.size();
      if (used > kLargestFileBytes) {
        error = "larger than " + std::to_string(kLargestFileBytes) + " bytes";
        ok = false;
        break;
      }
      bytes.resize(used + kChunkBytes);
      const int32_t got = LowLevelFile::Read(fd, bytes.data() + used, kChunkBytes);
      if (got < 0) {
        error = std::string("cannot read: ") + std::strerror(errno);
        ok = false;
        bytes.resize(used);
        break;
      }
      bytes.resize(used + static_cast<size_t>(got));
      if (got == 0) break;
    }
  } catch (const std::bad_alloc&) {
    error = "not enough memory to read it";
    ok = false;
  }
  LowLevelFile::Close(fd);
  if (!ok) {
    bytes.clear();
    bytes.shrink_to_fit();
  }
  return ok;
}

}  // namespace tools
