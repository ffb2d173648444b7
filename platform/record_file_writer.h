// Front-to-back writing of a file of records, with rewrites in place.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/failure_reason.h"

namespace platform {

// Writes a file of records from front to back through a block buffer, and
// rewrites a record in place once its final values are known: inside the
// buffer while the record is still there, else by writing the buffer,
// seeking to the record, writing it and seeking back. The file goes through
// LowLevelFile, so the fault seam reaches every write; a file kept in memory
// instead takes the same calls and ends up with the same bytes.
//
// A write that comes up short and a rewrite that fails leave the file not
// whole: from then on every append is refused and Close reports false. A
// record already in the file can still be rewritten, at its absolute offset,
// so that its header tells what it was meant to hold, unless the way back to
// the end of the data was lost: then rewrites are refused too. The header
// handed to Close is written in every case. Each failure leaves its reason,
// with the system's text, in LastFailure(). Nothing throws.
// The writer owns the descriptor; destroying it writes the buffer but leaves
// the file open, as a file whose close never came. Not thread-safe.
class RecordFileWriter {
 public:
  // Bytes gathered before they go to the file in one write.
  static constexpr uint32_t kDefaultBlockBytes = 256 * 1024;

  explicit RecordFileWriter(uint32_t blockBytes = kDefaultBlockBytes);
  ~RecordFileWriter();
  RecordFileWriter(const RecordFileWriter&) = delete;
  RecordFileWriter& operator=(const RecordFileWriter&) = delete;

  // Creates or truncates `path` for writing (owner read and write for a new
  // file). Returns the descriptor, or a negative value when the file cannot
  // be opened. The writer must be closed.
  [[nodiscard]] int Open(const char* path);
  // Writes into `fd`, an empty file open for writing at offset 0 that the
  // caller keeps: Close writes everything and the header but leaves the
  // descriptor open for its owner (a FileReplacement, say) to finish.
  // Returns `fd`, or -1 for a negative descriptor. The writer must be closed.
  [[nodiscard]] int OpenOn(int fd);
  // Starts an empty file in memory; its bytes are read with MemoryBytes().
  // The writer must be closed.
  void OpenInMemory();
  bool IsOpen() const { return open_; }
  // The descriptor of the open file; -1 when closed or in memory.
  int Descriptor() const { return fd_; }
  // The end of the data appended so far, buffered bytes included: the
  // position at which the next record starts.
  int64_t Position() const { return blockStart_ + static_cast<int64_t>(Buffered()); }

  // Appends `size` bytes; a full buffer goes to the file as one block. False
  // when the writer is closed or no longer whole, or a block came up short.
  // Bytes that fit in the block's free room are copied there at once: the
  // cost of a 4-byte record is a copy, not a call.
  [[nodiscard]] bool Append(const void* data, uint64_t size) {
    if (size != 0 && size < static_cast<uint64_t>(limit_ - cursor_)) {
      std::memcpy(cursor_, data, static_cast<size_t>(size));
      cursor_ += size;
      return true;
    }
    return AppendSlowly(data, size);
  }
  // Appends the four bytes of `word` as they lie in memory, as Append. A
  // record built in a register goes in without ever needing an address.
  [[nodiscard]] bool AppendWord(uint32_t word) {
    if (sizeof word < static_cast<uint64_t>(limit_ - cursor_)) {
      std::memcpy(cursor_, &word, sizeof word);
      cursor_ += sizeof word;
      return true;
    }
    return AppendWordSlowly(word);
  }
  // Appends `count` zero bytes, as Append.
  [[nodiscard]] bool AppendZeros(uint64_t count);
  // Writes what is buffered. True when every byte appended so far is in the
  // file and the file is whole.
  [[nodiscard]] bool Flush();
  // Rewrites `size` bytes at `position`, which must lie within the data
  // that is buffered or in the file. True when the bytes are in place; a
  // failed seek or short write leaves the file not whole.
  [[nodiscard]] bool Rewrite(int64_t position, const void* data, uint32_t size);
  // Writes the buffer, rewrites `headerSize` bytes of `header` at offset 0
  // (none when null) and closes the file. True when the file is whole: every
  // write before and now complete and the file closed properly. True with no
  // file open.
  [[nodiscard]] bool Close(const void* header = nullptr, uint32_t headerSize = 0);

  // Why the first failure of the file since it was opened happened (a
  // later refusal of a file that is no longer whole keeps it); none while
  // the file is whole. Close keeps the reason of a file that was not whole.
  const FailureReason& LastFailure() const { return failure_; }

  // The bytes of the file kept in memory, also after Close; empty for a file
  // on disk.
  const std::vector<uint8_t>& MemoryBytes() const { return memory_; }

 private:
  // Append for everything that does not fit strictly inside the block's
  // free room, and for a file that is closed, in memory or no longer whole.
  bool AppendSlowly(const void* data, uint64_t size);
  bool AppendWordSlowly(uint32_t word);
  // Bytes in the block that are not yet written.
  uint32_t Buffered() const { return cursor_ == nullptr ? 0 : static_cast<uint32_t>(cursor_ - block_.get()); }
  // The file is not whole: drops the block and stops appends. The first
  // reason is kept.
  void Fail(const FailureReason& reason);
  // A write call that took `put` of `wanted` bytes: its reason.
  static FailureReason WriteFailure(const char* action, int32_t put, uint32_t wanted);
  // Writes `size` bytes straight to the file, at most one write per chunk.
  bool WriteThrough(const uint8_t* data, uint64_t size);
  // Writes `size` bytes at `position` of the file and returns to the end.
  bool RewriteInFile(int64_t position, const uint8_t* data, uint32_t size);
  // Starts writing into the open descriptor `fd`.
  void Start(int fd, bool owned);

  uint32_t blockBytes_;
  std::unique_ptr<uint8_t[]> block_;
  // Where the next appended byte goes in the block, and the block's end.
  // Both are null whenever appends take the slow way: the writer is
  // closed, in memory, not whole, or has no block. Nothing is buffered then.
  uint8_t* cursor_ = nullptr;
  uint8_t* limit_ = nullptr;
  // File offset of the first buffered byte: everything before it is written.
  int64_t blockStart_ = 0;
  int fd_ = -1;
  // Close closes the descriptor: false for one opened with OpenOn.
  bool ownsFd_ = true;
  bool open_ = false;
  bool inMemory_ = false;
  // A write or rewrite failed: no more appends.
  bool failed_ = false;
  // The seek back to the end of the data failed: no more rewrites either.
  bool lost_ = false;
  std::vector<uint8_t> memory_;
  FailureReason failure_;
};

}  // namespace platform
