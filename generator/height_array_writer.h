// Appends height values to the height array file, noise_arr.txt.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

namespace duneforge {

// The name of the height array file, in the working directory.
constexpr const char* kHeightArrayFileName = "noise_arr.txt";

// Writes values, each followed by one comma and nothing else, to the end of
// a text file, through a buffer of kBufferBytes that goes out in whole
// blocks. Every write is checked: a failed or short write, a failed flush or
// a failed close throws noise::ExceptionUnknown naming the file, so a full
// device is never reported as a complete array. The writer owns the open
// file; destroying it closes the file without further checks.
class HeightArrayWriter {
 public:
  static constexpr size_t kBufferBytes = 64 * 1024;

  HeightArrayWriter() = default;
  ~HeightArrayWriter();
  HeightArrayWriter(const HeightArrayWriter&) = delete;
  HeightArrayWriter& operator=(const HeightArrayWriter&) = delete;

  // Opens `path` for appending in text mode, creating it when absent; its
  // content stays. False when it cannot be opened.
  bool Open(const std::string& path);
  // Appends `count` values in order, each followed by ','.
  void Append(const float* values, size_t count);
  // Appends text already in the file's form (values each followed by ',').
  void AppendText(const char* text, size_t size);
  // Writes what is buffered, flushes and closes the file.
  void Close();

  bool IsOpen() const { return file_ != nullptr; }

 private:
  void WriteBuffer();
  void WriteAll(const char* bytes, size_t size);

  std::FILE* file_ = nullptr;
  std::unique_ptr<char[]> buffer_;
  size_t used_ = 0;
  std::string path_;
};

}  // namespace duneforge
