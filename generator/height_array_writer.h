// Appends height values to the height array file, noise_arr.txt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace duneforge {

// The name of the height array file, in the working directory.
constexpr const char* kHeightArrayFileName = "noise_arr.txt";

// Writes values, each followed by one comma and nothing else, to the end of
// a file, through a buffer of kBufferBytes that goes out in whole blocks, by
// way of platform::LowLevelFile (so its fault seam reaches the file). Every
// write is checked: a write that fails, or that the device cuts short and
// then refuses to finish, or a failed close throws noise::ExceptionUnknown
// naming the file, so a full device is never reported as a complete array.
// The writer owns the open file; destroying it closes the file without
// further checks.
class HeightArrayWriter {
 public:
  static constexpr size_t kBufferBytes = 64 * 1024;

  HeightArrayWriter() = default;
  ~HeightArrayWriter();
  HeightArrayWriter(const HeightArrayWriter&) = delete;
  HeightArrayWriter& operator=(const HeightArrayWriter&) = delete;

  // Opens `path` for appending, creating it when absent (read and write for
  // everyone the umask lets through); its content stays. Only commas and
  // digits are written, so text and binary mode give the same bytes. False
  // when it cannot be opened.
  bool Open(const std::string& path);
  // Writes into `fd` from its current position instead, naming the file
  // `name` in errors: a file that is being replaced whole, whose descriptor
  // stays the caller's (Close writes what is buffered and leaves it open).
  // Throws noise::ExceptionOutOfMemory when no buffer can be had.
  void OpenDescriptor(int fd, const std::string& name);
  // Appends `count` values in order, each followed by ','.
  void Append(const float* values, size_t count);
  // Appends text already in the file's form (values each followed by ',').
  void AppendText(const char* text, size_t size);
  // Writes what is buffered and closes the file.
  void Close();
  // Bytes appended since Open, buffered ones included: a mark to take back to.
  int64_t Position() const { return written_ + static_cast<int64_t>(used_); }
  // Takes back everything appended after `mark` (a Position): bytes still
  // buffered are dropped, and a file that already holds some is cut back to
  // where it stood at the mark. A cut that fails throws
  // noise::ExceptionUnknown naming the file.
  void TakeBack(int64_t mark);

  bool IsOpen() const { return fd_ >= 0; }

 private:
  // Takes the buffer, or throws noise::ExceptionOutOfMemory naming `name`.
  void TakeBuffer(const std::string& name);
  // Starts writing to `fd`, whose size so far is its offset from
  // `sizeOrigin` (the end of a file appended to, the position of one given).
  void Attach(int fd, bool owned, const std::string& name, int sizeOrigin);
  void WriteBuffer();
  void WriteAll(const char* bytes, size_t size);

  int fd_ = -1;
  // Whether fd_ is the writer's own, to close.
  bool ownsFd_ = true;
  std::unique_ptr<char[]> buffer_;
  size_t used_ = 0;
  // The file's size when it was opened (-1 when it could not be told), and
  // the bytes written to it since.
  int64_t openedSize_ = -1;
  int64_t written_ = 0;
  std::string path_;
};

}  // namespace duneforge
