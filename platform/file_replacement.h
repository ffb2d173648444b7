// Replacing a file whole or not at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/failure_reason.h"

namespace platform {

// Writes the new bytes of a file into a temporary file beside it and moves
// that over the file's name only once every byte is written, flushed to the
// device and the file closed: a failure at any point removes the temporary
// file and leaves a file that was there with its bytes.
//
// Begin hands out the temporary file's descriptor, open for reading and
// writing at offset 0, so that a writer may stream into it and seek back to
// patch its headers; the descriptor stays this object's, and the writer must
// not close it. A name that is a symbolic link has the file it points to
// replaced, beside that file, and the link stays; other hard links to the
// file keep the old bytes. A replaced file keeps its permission bits; a new
// one gets those of any new file of LowLevelFile (read and write under the
// umask). A name that is not a regular file (a FIFO, /dev/stdout, a device)
// is opened and written in place, as there is nothing to replace. Every step
// goes through LowLevelFile and so through the fault seam. Nothing throws.
// Not thread-safe; separate objects may replace files in the same folder at
// once, in one process or several: temporary names never collide.
class FileReplacement {
 public:
  // Links followed from a name before it counts as a loop.
  static constexpr int kLongestLinkChain = 40;

  FileReplacement() = default;
  // Abandons a replacement that was begun and not committed.
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Starts the replacement of `path` (abandoning one still begun). Returns
  // the descriptor to write into, or -1 with the reason in LastFailure().
  [[nodiscard]] int Begin(const char* path);
  // The descriptor Begin returned; -1 when none is begun.
  int Descriptor() const { return fd_; }
  // Whether the name is written in place (not a regular file).
  bool InPlace() const { return inPlace_; }
  // Keeps the target's permission bits, flushes and closes the temporary
  // file, so that only the move is left for Commit: a writer of several
  // files seals every one before it moves any. False with the reason and the
  // temporary file removed. A file written in place is only closed; a sealed
  // replacement stays sealed.
  [[nodiscard]] bool Seal();
  // Seals the replacement unless it is sealed, then moves the temporary
  // file over the target. True when the target now holds the
  // written bytes; false with the reason, the temporary file removed and the
  // target as it was. A file written in place is only closed.
  [[nodiscard]] bool Commit();
  // Closes and removes the temporary file; the target keeps its bytes. What
  // was written in place stays. Nothing to do when none is begun.
  void Abandon();

  // Why Begin or Commit failed last; none after one that succeeded.
  const FailureReason& LastFailure() const { return failure_; }

 private:
  // Follows the links of `path` to the name of the file to replace.
  bool ResolveTarget(const char* path, int& permission);
  // Creates a new temporary file beside the target.
  bool CreateTemporary();
  // Records the reason, abandons, and returns false.
  bool Fail(const FailureReason& reason);

  std::string target_;
  std::string temporary_;
  int fd_ = -1;
  // The target's permission bits to keep; -1 for a new file.
  int permission_ = -1;
  bool inPlace_ = false;
  // Flushed and closed; only the move is left.
  bool sealed_ = false;
  FailureReason failure_;
};

// Writes `size` bytes to the descriptor `fd` from its position, the one
// short-write policy of whole files: a write that takes only part of its
// bytes is followed by one for the rest, until every byte is written or a
// write fails or takes nothing. False with the system's reason then (and
// errno as the failed write left it). `written`, when given, grows by every
// byte written, also where the rest fails.
[[nodiscard]] bool WriteFully(int fd, const void* data, uint64_t size, FailureReason& reason,
                              uint64_t* written = nullptr);

// Replaces the file at `path` with the `size` bytes at `data` through a
// FileReplacement: whole or not at all. False with the reason when it
// cannot; nothing throws.
[[nodiscard]] bool WriteWholeFile(const char* path, const void* data, size_t size, FailureReason& reason);
[[nodiscard]] bool WriteWholeFile(const char* path, const std::vector<uint8_t>& bytes, FailureReason& reason);

}  // namespace platform
