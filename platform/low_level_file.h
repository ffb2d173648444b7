// Low-level file access in the style of the runtime library's descriptor
// functions (_open, _read, _write, _lseek, _tell, _close).
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Opens, reads, writes, seeks and closes files by descriptor. On Windows the
// calls forward to the runtime's _open family with _O_BINARY; elsewhere to
// POSIX, where binary is the only mode. Every call passes through the
// FileFaultInjector first, so tests can make any of them fail.
class LowLevelFile {
 public:
  // Open flags; combine with |.
  static const int kReadOnly;
  static const int kWriteOnly;
  static const int kReadWrite;
  static const int kCreate;
  static const int kTruncate;
  // Every write goes to the end of the file, wherever it has grown to.
  static const int kAppend;
  static const int kBinary;
  // With kCreate: the open fails when the name exists already.
  static const int kExclusive;
  // Permission bits for a file that kCreate makes (readable / writable; on
  // POSIX the process's umask applies, as for any new file).
  static const int kPermRead;
  static const int kPermWrite;
  // Seek origins.
  static constexpr int kSeekSet = 0;
  static constexpr int kSeekCur = 1;
  static constexpr int kSeekEnd = 2;

  LowLevelFile() = delete;

  // Returns a descriptor, or -1 when the file cannot be opened.
  static int Open(const char* path, int flags, int permission = 0);
  // Returns the number of bytes read (0 at the end of the file), or -1.
  static int32_t Read(int fd, void* buffer, uint32_t count);
  // Returns the number of bytes written, which may be fewer than count when
  // the device fills up, or -1 when nothing could be written.
  static int32_t Write(int fd, const void* buffer, uint32_t count);
  // The most bytes one Write is given: Linux moves at most 0x7FFFF000 bytes
  // a call, so a larger request would come up short even on a healthy
  // device.
  static constexpr uint32_t kLargestWrite = uint32_t{1} << 30;
  // Returns the new position from the start of the file, or -1.
  static int64_t Seek(int fd, int64_t offset, int origin);
  // Returns the current position, or -1.
  static int64_t Tell(int fd);
  // Returns 0, or -1 when the descriptor could not be closed.
  static int Close(int fd);
  // Cuts the file to its first `size` bytes; the position stays. Returns 0,
  // or -1.
  static int Truncate(int fd, int64_t size);

  // What a name stands for, without following a last-component link.
  enum class Kind { kMissing, kRegular, kLink, kOther };
  struct Status {
    Kind kind = Kind::kMissing;
    // Permission bits (mode & 07777); 0 on Windows, which keeps none.
    int permission = 0;
  };
  // Fills `status` for `path`. Returns 0, also for a name that does not
  // exist (kMissing), or -1 when the system cannot tell.
  static int GetStatus(const char* path, Status& status);
  // The text a symbolic link holds, as it is (relative to the link's
  // folder unless it starts with '/'). Returns 0, or -1. Windows: always -1.
  static int ReadLink(const char* path, std::string& target);
  // Moves the file's written bytes to the device. Returns 0, or -1.
  static int Sync(int fd);
  // Gives the open file the permission bits `permission` (mode & 07777).
  // Returns 0, or -1. Windows keeps no such bits: nothing to do, 0.
  static int SetPermission(int fd, int permission);
  // Renames `from` to `to` in one step, replacing a file at `to`; both lie
  // in the same folder or file system. Returns 0, or -1.
  static int Replace(const char* from, const char* to);
  // Removes the file `path`. Returns 0, or -1.
  static int Remove(const char* path);
};

}  // namespace platform
