#include "generator/height_array_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>

#include "generator/height_value_format.h"
#include "noisemap/error.h"
#include "platform/file_replacement.h"
#include "platform/low_level_file.h"

namespace duneforge {

namespace {

std::string Reason(int error) {
  return error != 0 ? std::string(": ") + std::strerror(error) : std::string();
}

}  // namespace

HeightArrayWriter::~HeightArrayWriter() {
  if (fd_ >= 0 && ownsFd_) platform::LowLevelFile::Close(fd_);
}

bool HeightArrayWriter::Open(const std::string& path) {
  using platform::LowLevelFile;
  if (fd_ >= 0) return false;
  TakeBuffer(path);
  const int fd = LowLevelFile::Open(path.c_str(),
                                    LowLevelFile::kWriteOnly | LowLevelFile::kCreate | LowLevelFile::kAppend,
                                    LowLevelFile::kPermRead | LowLevelFile::kPermWrite);
  if (fd < 0) return false;
  Attach(fd, true, path, LowLevelFile::kSeekEnd);
  return true;
}

void HeightArrayWriter::OpenDescriptor(int fd, const std::string& name) {
  TakeBuffer(name);
  Attach(fd, false, name, platform::LowLevelFile::kSeekCur);
}

void HeightArrayWriter::TakeBuffer(const std::string& name) {
  buffer_.reset(new (std::nothrow) char[kBufferBytes]);
  if (!buffer_) throw noise::utils::OutOfMemoryError("no memory for the output buffer of " + name);
}

void HeightArrayWriter::Attach(int fd, bool owned, const std::string& name, int sizeOrigin) {
  fd_ = fd;
  ownsFd_ = owned;
  path_ = name;
  used_ = 0;
  written_ = 0;
  openedSize_ = platform::LowLevelFile::Seek(fd, 0, sizeOrigin);
}

void HeightArrayWriter::Append(const float* values, size_t count) {
  char* const buffer = buffer_.get();
  while (count > 0) {
    // As many values as surely fit; the buffer goes out when not one does.
    size_t fit = (kBufferBytes - used_) / kMaxHeightEntryChars;
    if (fit == 0) {
      WriteBuffer();
      fit = kBufferBytes / kMaxHeightEntryChars;
    }
    const size_t take = std::min(fit, count);
    used_ = static_cast<size_t>(FormatHeightEntries(values, take, buffer + used_) - buffer);
    values += take;
    count -= take;
  }
}

void HeightArrayWriter::AppendText(const char* text, size_t size) {
  if (size <= kBufferBytes - used_) {
    std::memcpy(buffer_.get() + used_, text, size);
    used_ += size;
    return;
  }
  WriteBuffer();
  WriteAll(text, size);
}

void HeightArrayWriter::WriteBuffer() {
  if (used_ == 0) return;
  WriteAll(buffer_.get(), used_);
  used_ = 0;
}

void HeightArrayWriter::WriteAll(const char* bytes, size_t size) {
  // A write may take fewer bytes than asked, as a device that fills up does;
  // the rest is offered again until the device refuses it outright. What
  // was written counts, also before a failure.
  errno = 0;
  uint64_t written = 0;
  platform::FailureReason reason;
  const bool whole = platform::WriteFully(fd_, bytes, size, reason, &written);
  written_ += static_cast<int64_t>(written);
  if (!whole) throw noise::utils::FileError(path_ + ": cannot write the height values" + Reason(errno));
}

void HeightArrayWriter::TakeBack(int64_t mark) {
  if (mark >= written_) {
    used_ = static_cast<size_t>(mark - written_);
    return;
  }
  used_ = 0;
  errno = 0;
  // The position goes back too, as a file not opened for appending
  // writes where it stands.
  if (openedSize_ < 0 || platform::LowLevelFile::Truncate(fd_, openedSize_ + mark) != 0 ||
      platform::LowLevelFile::Seek(fd_, openedSize_ + mark, platform::LowLevelFile::kSeekSet) < 0) {
    throw noise::utils::FileError(path_ + ": cannot take back the values of a failed tile" + Reason(errno));
  }
  written_ = mark;
}

void HeightArrayWriter::Close() {
  if (fd_ < 0) return;
  WriteBuffer();
  const int fd = fd_;
  fd_ = -1;
  if (!ownsFd_) return;
  errno = 0;
  if (platform::LowLevelFile::Close(fd) != 0) {
    throw noise::utils::FileError(path_ + ": cannot complete the height array" + Reason(errno));
  }
}

}  // namespace duneforge
