#include "modelfiles/model_reader.h"

#include <cstddef>
#include <new>

#include "platform/low_level_file.h"

namespace modelfiles {

using platform::LowLevelFile;

ModelReader::ModelReader(int32_t formatCode) : formatCode_(formatCode) {}

ModelReader::~ModelReader() { CloseFileAndBuffer(); }

void ModelReader::CloseFileAndBuffer() {
  if (fd_ >= 0) {
    LowLevelFile::Close(fd_);
    fd_ = -1;
  }
  delete[] buffer_;
  buffer_ = nullptr;
  bufferSize_ = 0;
  cursor_ = 0;
  readableSize_ = 0;
}

bool ModelReader::Close() {
  CloseFileAndBuffer();
  return true;
}

int32_t ModelReader::Open(const char* path) {
  if (fd_ >= 0 || buffer_ != nullptr) Close();
  fd_ = LowLevelFile::Open(path, LowLevelFile::kReadOnly | LowLevelFile::kBinary);
  if (fd_ < 0) {
    const int32_t failed = fd_;
    fd_ = -1;
    return failed;
  }
  const int64_t size = LowLevelFile::Seek(fd_, 0, LowLevelFile::kSeekEnd);
  if (size < static_cast<int64_t>(kMinimumFileSize) || size > kMaximumFileSize) {
    Close();
    return -1;
  }
  // An allocation failure closes the file instead of escaping as an exception.
  buffer_ = new (std::nothrow) uint8_t[static_cast<size_t>(size)];
  if (buffer_ == nullptr || LowLevelFile::Seek(fd_, 0, LowLevelFile::kSeekSet) != 0) {
    Close();
    return -1;
  }
  bufferSize_ = static_cast<uint32_t>(size);
  // A read may deliver fewer bytes than asked; only the end of the file or an
  // error stops the loop short of the whole file.
  uint32_t loaded = 0;
  while (loaded < bufferSize_) {
    const int32_t got = LowLevelFile::Read(fd_, buffer_ + loaded, bufferSize_ - loaded);
    if (got <= 0) break;
    loaded += static_cast<uint32_t>(got);
  }
  if (loaded != bufferSize_ || Attach(buffer_, bufferSize_) == 0) {
    Close();
    return -1;
  }
  return fd_;
}

const uint8_t* ModelReader::Take(uint32_t count) {
  if (count > readableSize_ - cursor_) {
    cursor_ = readableSize_;
    return nullptr;
  }
  if (buffer_ == nullptr) return nullptr;
  const uint8_t* record = buffer_ + cursor_;
  cursor_ += count;
  return record;
}

bool ModelReader::SeekTo(uint32_t offset) {
  if (offset >= readableSize_) return false;
  cursor_ = offset;
  return true;
}

int32_t ModelReader::SyncFilePosition() {
  if (fd_ >= 0) LowLevelFile::Seek(fd_, cursor_, LowLevelFile::kSeekSet);
  return fd_;
}

bool ModelReader::SyncCursor() {
  if (fd_ < 0) return false;
  const int64_t position = LowLevelFile::Tell(fd_);
  if (position < 0 || position > static_cast<int64_t>(UINT32_MAX)) return false;
  return SeekTo(static_cast<uint32_t>(position));
}

void ModelReader::SetReadableSize(uint32_t size) {
  readableSize_ = size < bufferSize_ ? size : bufferSize_;
  if (cursor_ > readableSize_) cursor_ = readableSize_;
}

void ModelReader::SetCursor(uint32_t offset) { cursor_ = offset < readableSize_ ? offset : readableSize_; }

bool ModelReader::SkipRecords(int64_t count, uint32_t recordSize) {
  if (count < 0) return false;
  const uint64_t bytes = static_cast<uint64_t>(count) * recordSize;
  if (bytes > Remaining()) {
    cursor_ = readableSize_;
    return false;
  }
  cursor_ += static_cast<uint32_t>(bytes);
  return true;
}

}  // namespace modelfiles
