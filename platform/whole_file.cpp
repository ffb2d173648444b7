#include "platform/whole_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <exception>

#include "platform/low_level_file.h"

namespace platform {

namespace {

// Pieces read once the size the file had at its opening has been read, for
// files that grow or cannot tell their size.
constexpr uint32_t kChunkBytes = 1u << 20;
// The first read is at most this long, so that a file whose size is a lie
// (a directory seeks to 2^31 - 1 or 2^63 - 1 on some systems) fails its
// read before a buffer of that size is taken.
constexpr uint32_t kFirstReadBytes = 1u << 16;

FailureReason TooLargeBytes(const char* prefix, uint64_t size) {
  char text[64];
  std::snprintf(text, sizeof text, "%s%llu bytes", prefix, static_cast<unsigned long long>(size));
  return FailureReason::TooLarge(text);
}

// Reads the file open at `fd` into `bytes`; ReadWholeFile's work without
// the opening and closing. Throws only what growing `bytes` throws.
bool ReadOpenFile(int fd, std::vector<uint8_t>& bytes, FailureReason& reason, uint64_t largest) {
  // The most bytes a vector of this build can hold: 2^31 - 1 where size_t
  // has 32 bits, so a 32-bit process cannot hold a file of 2^31 - 1 bytes
  // and the one byte past it that tells where the file ends.
  const uint64_t holdable = bytes.max_size();
  // The size at opening, when the file can tell it, sizes the reads.
  const int64_t end = LowLevelFile::Seek(fd, 0, LowLevelFile::kSeekEnd);
  const bool sized = end >= 0 && LowLevelFile::Seek(fd, 0, LowLevelFile::kSeekSet) == 0;
  const uint64_t expected = sized ? static_cast<uint64_t>(end) : 0;
  if (sized && (expected > largest || expected >= holdable)) {
    // A directory claims a huge end on some systems; its first read tells
    // what it is.
    uint8_t probe = 0;
    reason = ReadFully(fd, &probe, 1) < 0 ? FailureReason::InputOutput("cannot read", errno)
                                          : TooLargeBytes("", expected);
    return false;
  }
  for (;;) {
    const uint64_t used = bytes.size();
    if (used > largest) {
      reason = TooLargeBytes("more than ", largest);
      return false;
    }
    // One byte past the expected end tells whether the file ended there.
    uint64_t room = expected > used ? expected - used + 1 : kChunkBytes;
    if (used == 0 && room > kFirstReadBytes) room = kFirstReadBytes;
    if (room > holdable - used) {
      if (holdable == used) {
        reason = FailureReason::TooLarge("not enough memory to hold it");
        return false;
      }
      room = holdable - used;
    }
    if (room > kLargestWholeFile + 1) room = kLargestWholeFile + 1;
    bytes.resize(static_cast<size_t>(used + room));
    const int64_t got = ReadFully(fd, bytes.data() + used, static_cast<uint32_t>(room));
    if (got < 0) {
      reason = FailureReason::InputOutput("cannot read", errno);
      return false;
    }
    bytes.resize(static_cast<size_t>(used + static_cast<uint64_t>(got)));
    if (static_cast<uint64_t>(got) < room) break;
  }
  if (bytes.size() > largest) {
    reason = TooLargeBytes("more than ", largest);
    return false;
  }
  return true;
}

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
  bool ok = false;
  try {
    ok = ReadOpenFile(fd, bytes, reason, largest);
  } catch (const std::exception&) {
    // bad_alloc, or length_error past what a vector of this build can hold.
    reason = FailureReason::TooLarge("not enough memory to hold it");
  }
  LowLevelFile::Close(fd);
  if (!ok) {
    bytes.clear();
    bytes.shrink_to_fit();
    return false;
  }
  reason = FailureReason();
  return true;
}

}  // namespace platform
