#include "platform/whole_file.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <string>

#include "platform/low_level_file.h"

namespace platform {

namespace {

// Pieces read once the size the file had at its opening has been read, for
// files that grow or cannot tell their size.
constexpr uint32_t kChunkBytes = 1u << 20;

}  // namespace

int64_t ReadFully(int fd, uint8_t* buffer, uint32_t size) {
  uint32_t loaded = 0;
  while (loaded < size) {
    const int32_t got = LowLevelFile::Read(fd, buffer + loaded, size - loaded);
    if (got < 0) return -1;
    if (got == 0) break;
    loaded += static_cast<uint32_t>(got);
  }
  return loaded;
}

void KeepTextModeBytes(std::vector<uint8_t>& bytes) {
#if defined(_WIN32)  // a text-mode read ends at the first Ctrl-Z
  bytes.erase(std::find(bytes.begin(), bytes.end(), uint8_t{0x1A}), bytes.end());
#else  // text and binary reads deliver the same bytes
  (void)bytes;
#endif
}

bool ReadWholeFile(const char* path, std::vector<uint8_t>& bytes, FailureReason& reason, uint64_t largest) {
  bytes.clear();
  const int fd = LowLevelFile::Open(path, LowLevelFile::kReadOnly | LowLevelFile::kBinary);
  if (fd < 0) {
    reason = FailureReason::CannotOpen(errno);
    return false;
  }
  // The size at opening, when the file can tell it, sizes the first read.
  const int64_t end = LowLevelFile::Seek(fd, 0, LowLevelFile::kSeekEnd);
  const bool rewound = end >= 0 && LowLevelFile::Seek(fd, 0, LowLevelFile::kSeekSet) == 0;
  uint64_t want = rewound ? static_cast<uint64_t>(end) : kChunkBytes;
  bool ok = true;
  if (rewound && want > largest) {
    // A directory seeks to a huge end on some systems; its first read tells
    // what it is.
    uint8_t probe = 0;
    reason = ReadFully(fd, &probe, 1) < 0
                 ? FailureReason::InputOutput("cannot read", errno)
                 : FailureReason::TooLarge((std::to_string(want) + " bytes").c_str());
    LowLevelFile::Close(fd);
    return false;
  }
  try {
    for (;;) {
      const size_t used = bytes.size();
      if (used > largest) {
        reason = FailureReason::TooLarge(("more than " + std::to_string(largest) + " bytes").c_str());
        ok = false;
        break;
      }
      // One byte past the size tells whether the file ended where it said.
      const uint64_t room = (want > kLargestWholeFile ? kLargestWholeFile : want) + 1;
      bytes.resize(used + static_cast<size_t>(room));
      const int64_t got = ReadFully(fd, bytes.data() + used, static_cast<uint32_t>(room));
      if (got < 0) {
        reason = FailureReason::InputOutput("cannot read", errno);
        ok = false;
        break;
      }
      bytes.resize(used + static_cast<size_t>(got));
      if (static_cast<uint64_t>(got) < room) break;
      want = kChunkBytes;
    }
  } catch (const std::bad_alloc&) {
    reason = FailureReason::TooLarge("not enough memory to hold it");
    ok = false;
  }
  LowLevelFile::Close(fd);
  if (ok && bytes.size() > largest) {
    reason = FailureReason::TooLarge(("more than " + std::to_string(largest) + " bytes").c_str());
    ok = false;
  }
  if (!ok) {
    bytes.clear();
    bytes.shrink_to_fit();
    return false;
  }
  reason = FailureReason();
  return true;
}

}  // namespace platform
