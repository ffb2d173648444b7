#include "generator/height_array_writer.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "generator/height_value_format.h"
#include "noisemap/error.h"

namespace duneforge {

namespace {

// One value and its comma.
constexpr size_t kMaxEntryChars = kMaxHeightValueChars + 1;

std::string Reason(int error) {
  return error != 0 ? std::string(": ") + std::strerror(error) : std::string();
}

}  // namespace

HeightArrayWriter::~HeightArrayWriter() {
  if (file_ != nullptr) std::fclose(file_);
}

bool HeightArrayWriter::Open(const std::string& path) {
  if (file_ != nullptr) return false;
  buffer_.reset(new (std::nothrow) char[kBufferBytes]);
  if (!buffer_) throw noise::utils::OutOfMemoryError("no memory for the output buffer of " + path);
  // Text mode, as the host reads it; only commas and digits are written, so
  // no line ending is ever translated.
  file_ = std::fopen(path.c_str(), "a");
  if (file_ == nullptr) return false;
  // The writer buffers whole blocks itself.
  std::setvbuf(file_, nullptr, _IONBF, 0);
  path_ = path;
  used_ = 0;
  return true;
}

void HeightArrayWriter::Append(const float* values, size_t count) {
  char* const buffer = buffer_.get();
  for (size_t i = 0; i < count; ++i) {
    if (used_ > kBufferBytes - kMaxEntryChars) WriteBuffer();
    char* end = FormatHeightValue(values[i], buffer + used_);
    *end++ = ',';
    used_ = static_cast<size_t>(end - buffer);
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
  errno = 0;
  const size_t put = std::fwrite(bytes, 1, size, file_);
  if (put != size) {
    throw noise::utils::FileError(path_ + ": cannot write the height values" + Reason(errno));
  }
}

void HeightArrayWriter::Close() {
  if (file_ == nullptr) return;
  WriteBuffer();
  errno = 0;
  const bool flushed = std::fflush(file_) == 0 && std::ferror(file_) == 0;
  const int flushError = errno;
  std::FILE* file = file_;
  file_ = nullptr;
  const bool closed = std::fclose(file) == 0;
  if (!flushed || !closed) {
    throw noise::utils::FileError(path_ + ": cannot complete the height array" +
                                  Reason(flushed ? errno : flushError));
  }
}

}  // namespace duneforge
