#include "modelfiles/model_reader.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/low_level_file.h"
#include "platform/whole_file.h"

namespace modelfiles {

using platform::FailureReason;
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

bool ModelReader::Fail(const platform::FailureReason& reason) {
  lastFailure_ = reason;
  return false;
}

bool ModelReader::FailSkinSize(int64_t width, uint64_t widthOffset, int64_t height, uint64_t heightOffset) {
  if (width < 0) return FailMalformed("skin width", widthOffset);
  if (height < 0) return FailMalformed("skin height", heightOffset);
  return Fail(FailureReason::TooLarge("skin image of more than 2147483647 bytes"));
}

bool ModelReader::TakeSkinLevels(int32_t width, uint64_t widthOffset, int32_t height, uint64_t heightOffset,
                                 int32_t bytesPerPixel, int32_t levelCount,
                                 const uint8_t** const (&outputs)[kMipLevelCount]) {
  for (int32_t level = 0; level < levelCount; ++level) {
    uint64_t bytes = 0;
    if (!SkinLevelBytes(width, height, bytesPerPixel, level, bytes))
      return FailSkinSize(width, widthOffset, height, heightOffset);
    const uint8_t* image = Take(static_cast<uint32_t>(bytes), "skin image");
    if (image == nullptr) return false;
    if (outputs[level] != nullptr) *outputs[level] = image;
  }
  return true;
}

FailureReason ModelReader::UnsupportedMagic(const uint8_t* magic) {
  char text[32] = "format \"";
  size_t used = std::strlen(text);
  for (uint32_t i = 0; i < 4; ++i) {
    const uint8_t byte = magic[i];
    if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\') {
      text[used++] = static_cast<char>(byte);
    } else {
      std::snprintf(text + used, sizeof text - used, "\\x%02X", byte);
      used += 4;
    }
  }
  text[used++] = '"';
  text[used] = '\0';
  return FailureReason::Unsupported(text);
}

bool ModelReader::CheckLoadSize(int64_t size) {
  if (size < static_cast<int64_t>(kMinimumFileSize)) return Fail(FailureReason::Truncated("header", 0));
  if (size > kMaximumFileSize) {
    char text[48];
    std::snprintf(text, sizeof text, "%lld bytes", static_cast<long long>(size));
    return Fail(FailureReason::TooLarge(text));
  }
  return true;
}

bool ModelReader::AttachLoaded() {
  if (Attach(buffer_, bufferSize_) != 0) return true;
  // Every reader of this library names its refusal; one that does not is
  // reported as refusing the header.
  const FailureReason reason =
      lastFailure_.IsFailure() ? lastFailure_ : FailureReason::Malformed("header", 0);
  Close();
  lastFailure_ = reason;
  return false;
}

int32_t ModelReader::Open(const char* path) {
  if (fd_ >= 0 || buffer_ != nullptr) Close();
  lastFailure_ = FailureReason();
  fd_ = LowLevelFile::Open(path, LowLevelFile::kReadOnly | LowLevelFile::kBinary);
  if (fd_ < 0) {
    lastFailure_ = FailureReason::CannotOpen(errno);
    const int32_t failed = fd_;
    fd_ = -1;
    return failed;
  }
  const int64_t size = LowLevelFile::Seek(fd_, 0, LowLevelFile::kSeekEnd);
  if (size < 0) {
    lastFailure_ = FailureReason::InputOutput("cannot seek", errno);
    Close();
    return -1;
  }
  if (!CheckLoadSize(size)) {
    Close();
    return -1;
  }
  if (LowLevelFile::Seek(fd_, 0, LowLevelFile::kSeekSet) != 0) {
    lastFailure_ = FailureReason::InputOutput("cannot seek", errno);
    Close();
    return -1;
  }
  // The first byte is read before a buffer of the claimed size is taken: a
  // directory claims an end of 2^31 - 1 on some systems and fails its first
  // read with the system's own reason.
  uint8_t first = 0;
  const int64_t probed = platform::ReadFully(fd_, &first, 1);
  if (probed != 1) {
    lastFailure_ =
        probed < 0 ? FailureReason::InputOutput("cannot read", errno) : FailureReason::Truncated("file", 0);
    Close();
    return -1;
  }
  // An allocation failure closes the file instead of escaping as an exception.
  buffer_ = new (std::nothrow) uint8_t[static_cast<size_t>(size)];
  if (buffer_ == nullptr) {
    lastFailure_ = FailureReason::TooLarge("not enough memory to hold it");
    Close();
    return -1;
  }
  bufferSize_ = static_cast<uint32_t>(size);
  buffer_[0] = first;
  const int64_t loaded = platform::ReadFully(fd_, buffer_ + 1, bufferSize_ - 1);
  if (loaded != bufferSize_ - 1) {
    // A file that shrank while it was read ends early without an error.
    lastFailure_ = loaded < 0 ? FailureReason::InputOutput("cannot read", errno)
                              : FailureReason::Truncated("file", static_cast<uint64_t>(loaded) + 1);
    Close();
    return -1;
  }
  if (!AttachLoaded()) return -1;
  return fd_;
}

bool ModelReader::OpenBytes(const uint8_t* bytes, size_t size) {
  if (fd_ >= 0 || buffer_ != nullptr) Close();
  lastFailure_ = FailureReason();
  // size_t may be wider than the sizes a reader accepts, or as narrow as 32 bits.
  const uint64_t wide = size;
  const int64_t claimed = wide > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(wide);
  if (!CheckLoadSize(bytes != nullptr ? claimed : 0)) return false;
  buffer_ = new (std::nothrow) uint8_t[size];
  if (buffer_ == nullptr) return Fail(FailureReason::TooLarge("not enough memory to hold it"));
  std::memcpy(buffer_, bytes, size);
  bufferSize_ = static_cast<uint32_t>(size);
  return AttachLoaded();
}

const uint8_t* ModelReader::Take(uint32_t count, const char* what) {
  if (count > readableSize_ - cursor_) {
    if (buffer_ != nullptr) lastFailure_ = FailureReason::Truncated(what, cursor_);
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

bool ModelReader::SkipRecords(int64_t count, uint32_t recordSize, const char* what, const char* countField,
                              uint64_t countOffset) {
  if (count < 0) return FailMalformed(countField, countOffset);
  const uint64_t bytes = static_cast<uint64_t>(count) * recordSize;
  if (bytes > Remaining()) {
    // recordSize is not 0 here: a run of empty records always fits.
    const uint64_t fitting = Remaining() / recordSize;
    if (buffer_ != nullptr) lastFailure_ = FailureReason::Truncated(what, cursor_ + fitting * recordSize);
    cursor_ = readableSize_;
    return false;
  }
  cursor_ += static_cast<uint32_t>(bytes);
  return true;
}

}  // namespace modelfiles
