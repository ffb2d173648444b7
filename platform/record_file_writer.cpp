#include "platform/record_file_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

#include "platform/low_level_file.h"

namespace platform {

RecordFileWriter::RecordFileWriter(uint32_t blockBytes) : blockBytes_(blockBytes) {}

// The file stays open, as a file whose close never came, but what was
// appended to it is written.
RecordFileWriter::~RecordFileWriter() {
  if (open_ && !inMemory_) (void)Flush();
}

int RecordFileWriter::Open(const char* path) {
  // A file still open here is closed as its owner left it.
  (void)Close();
  failure_ = FailureReason();
  fd_ = LowLevelFile::Open(
      path,
      LowLevelFile::kWriteOnly | LowLevelFile::kCreate | LowLevelFile::kTruncate | LowLevelFile::kBinary,
      LowLevelFile::kPermRead | LowLevelFile::kPermWrite);
  if (fd_ < 0) {
    failure_ = FailureReason::CannotOpen(errno);
    const int result = fd_;
    fd_ = -1;
    return result;
  }
  Start(fd_, true);
  return fd_;
}

int RecordFileWriter::OpenOn(int fd) {
  (void)Close();
  failure_ = FailureReason();
  if (fd < 0) {
    failure_ = FailureReason::CannotOpen(EBADF);
    return -1;
  }
  Start(fd, false);
  return fd_;
}

void RecordFileWriter::Start(int fd, bool owned) {
  fd_ = fd;
  ownsFd_ = owned;
  // Without room for a block every append goes straight to the file.
  if (!block_ && blockBytes_ > 0) block_.reset(new (std::nothrow) uint8_t[blockBytes_]);
  open_ = true;
  inMemory_ = false;
  failed_ = false;
  lost_ = false;
  blockStart_ = 0;
  cursor_ = block_ ? block_.get() : nullptr;
  limit_ = block_ ? block_.get() + blockBytes_ : nullptr;
  memory_.clear();
}

void RecordFileWriter::OpenInMemory() {
  (void)Close();
  failure_ = FailureReason();
  open_ = true;
  inMemory_ = true;
  failed_ = false;
  lost_ = false;
  blockStart_ = 0;
  memory_.clear();
}

void RecordFileWriter::Fail(const FailureReason& reason) {
  if (!failed_) failure_ = reason;
  failed_ = true;
  cursor_ = nullptr;
  limit_ = nullptr;
}

bool RecordFileWriter::AppendSlowly(const void* data, uint64_t size) {
  if (!open_ || failed_) return false;
  if (size == 0) return true;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  if (inMemory_) {
    try {
      memory_.insert(memory_.end(), bytes, bytes + size);
    } catch (const std::exception&) {
      Fail(FailureReason::TooLarge("not enough memory for the file's bytes"));
      return false;
    }
    blockStart_ = static_cast<int64_t>(memory_.size());
    return true;
  }
  while (size > 0) {
    // Data that would fill a whole empty block goes out as it is.
    if (Buffered() == 0 && (cursor_ == nullptr || size >= blockBytes_)) return WriteThrough(bytes, size);
    const uint32_t take =
        static_cast<uint32_t>(std::min<uint64_t>(size, static_cast<uint64_t>(limit_ - cursor_)));
    std::memcpy(cursor_, bytes, take);
    cursor_ += take;
    bytes += take;
    size -= take;
    if (cursor_ == limit_ && !Flush()) return false;
  }
  return true;
}

bool RecordFileWriter::AppendWordSlowly(uint32_t word) { return AppendSlowly(&word, sizeof word); }

bool RecordFileWriter::AppendZeros(uint64_t count) {
  static const uint8_t kZeros[4096] = {};
  while (count > 0) {
    const uint64_t take = std::min<uint64_t>(count, sizeof kZeros);
    if (!Append(kZeros, take)) return false;
    count -= take;
  }
  return open_ && !failed_;
}

bool RecordFileWriter::Flush() {
  if (!open_ || failed_) return false;
  const uint32_t buffered = Buffered();
  if (buffered == 0) return true;
  cursor_ = block_.get();
  return WriteThrough(block_.get(), buffered);
}

bool RecordFileWriter::WriteThrough(const uint8_t* data, uint64_t size) {
  while (size > 0) {
    const uint32_t chunk = static_cast<uint32_t>(std::min<uint64_t>(size, LowLevelFile::kLargestWrite));
    const int32_t put = LowLevelFile::Write(fd_, data, chunk);
    if (put > 0) blockStart_ += put;
    if (put != static_cast<int32_t>(chunk)) {
      Fail(WriteFailure("cannot write", put, chunk));
      return false;
    }
    data += chunk;
    size -= chunk;
  }
  return true;
}

bool RecordFileWriter::Rewrite(int64_t position, const void* data, uint32_t size) {
  if (!open_ || lost_) return false;
  if (position < 0 || position > Position() || size > Position() - position) return false;
  if (size == 0) return true;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  if (inMemory_) {
    std::memcpy(memory_.data() + position, bytes, size);
    return true;
  }
  // Bytes at blockStart_ or later are buffered: the record is in the block.
  if (position >= blockStart_) {
    std::memcpy(block_.get() + (position - blockStart_), bytes, size);
    return true;
  }
  // Everything before the record goes out first; a file that is no longer
  // whole has nothing buffered.
  if (!failed_ && !Flush()) return false;
  return RewriteInFile(position, bytes, size);
}

FailureReason RecordFileWriter::WriteFailure(const char* action, int32_t put, uint32_t wanted) {
  if (put < 0) return FailureReason::InputOutput(action, errno);
  // A short write sets no error of its own: the device took what it could.
  char text[FailureReason::kDetailSize];
  std::snprintf(text, sizeof text, "%s: the file took %d of %u bytes", action, static_cast<int>(put),
                static_cast<unsigned>(wanted));
  return FailureReason::InputOutput(text, 0);
}

bool RecordFileWriter::RewriteInFile(int64_t position, const uint8_t* data, uint32_t size) {
  const int64_t end = blockStart_;
  FailureReason reason;
  // A seek that fails writes nothing: the bytes would land at the end.
  bool whole = LowLevelFile::Seek(fd_, position, LowLevelFile::kSeekSet) == position;
  if (!whole) reason = FailureReason::InputOutput("cannot seek to a record", errno);
  if (whole) {
    const int32_t put = LowLevelFile::Write(fd_, data, size);
    whole = put == static_cast<int32_t>(size);
    if (!whole) reason = WriteFailure("cannot rewrite a record", put, size);
  }
  // Once the way back to the end is lost, the next record would land over
  // earlier data.
  if (LowLevelFile::Seek(fd_, end, LowLevelFile::kSeekSet) != end) {
    if (whole) reason = FailureReason::InputOutput("cannot seek back to the end of the data", errno);
    lost_ = true;
  }
  if (!whole || lost_) Fail(reason);
  return whole && !lost_;
}

bool RecordFileWriter::Close(const void* header, uint32_t headerSize) {
  if (!open_) return true;
  bool whole = Flush() && !failed_;
  if (inMemory_) {
    // As on disk, a header longer than the data extends it.
    if (header != nullptr && headerSize > 0) {
      try {
        if (memory_.size() < headerSize) memory_.resize(headerSize);
        std::memcpy(memory_.data(), header, headerSize);
      } catch (const std::exception&) {
        if (whole) failure_ = FailureReason::TooLarge("not enough memory for the header");
        whole = false;
      }
    }
  } else {
    // The header goes to its absolute offset also when the file is not
    // whole, so that it tells what the records were meant to be.
    if (header != nullptr) {
      if (LowLevelFile::Seek(fd_, 0, LowLevelFile::kSeekSet) != 0) {
        if (whole) failure_ = FailureReason::InputOutput("cannot seek to the header", errno);
        whole = false;
      } else if (headerSize > 0) {
        const int32_t put = LowLevelFile::Write(fd_, header, headerSize);
        if (put != static_cast<int32_t>(headerSize)) {
          if (whole) failure_ = WriteFailure("cannot write the header", put, headerSize);
          whole = false;
        }
      }
    }
    if (ownsFd_ && LowLevelFile::Close(fd_) != 0) {
      if (whole) failure_ = FailureReason::InputOutput("cannot close", errno);
      whole = false;
    }
  }
  fd_ = -1;
  open_ = false;
  inMemory_ = false;
  failed_ = false;
  lost_ = false;
  blockStart_ = 0;
  cursor_ = nullptr;
  limit_ = nullptr;
  return whole;
}

}  // namespace platform
