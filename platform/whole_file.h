// Reading a whole file into memory: the one read loop of the toolkit.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/failure_reason.h"

namespace platform {

// Files larger than this are refused: every format here addresses its bytes
// with 32-bit offsets.
constexpr uint64_t kLargestWholeFile = 0x7FFFFFFF;

// Reads from the open descriptor `fd` into `buffer` until `size` bytes have
// arrived or the file ends. A read may deliver fewer bytes than asked, so it
// loops; only the end of the file or an error stops it short. Returns the
// bytes read, or -1 when a read failed (errno tells why).
int64_t ReadFully(int fd, uint8_t* buffer, uint32_t size);

// Cuts `bytes` of a file read whole to what a text-mode read of the file
// delivers before its end: on Windows the bytes before the first Ctrl-Z
// (0x1A); elsewhere all of them. Line ends stay as they are.
void KeepTextModeBytes(std::vector<uint8_t>& bytes);

// Reads the file at `path` whole into `bytes` through LowLevelFile, so the
// fault seam reaches it. False with the reason when it cannot be opened or
// read, holds more than `largest` bytes, or cannot be held in memory; `bytes`
// is then empty. Nothing throws.
[[nodiscard]] bool ReadWholeFile(const char* path, std::vector<uint8_t>& bytes, FailureReason& reason,
                                 uint64_t largest = kLargestWholeFile);

}  // namespace platform
