#include "platform/low_level_file.h"

#include <cerrno>

#include "platform/file_fault_injector.h"

#if defined(_WIN32)  // the runtime's own descriptor functions; SEEK_* come from stdio
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstdio>
#else  // POSIX descriptors; binary is the only mode
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <exception>
#include <vector>

namespace platform {

using Op = FileFaultInjector::Operation;

namespace {

// A call the fault seam fails reports an input/output error, as a failing
// device would, so that callers that show the system's text have one.
int InjectedFailure() {
  errno = EIO;
  return -1;
}

}  // namespace

#if defined(_WIN32)  // flags and permissions as the runtime spells them
const int LowLevelFile::kReadOnly = _O_RDONLY;
const int LowLevelFile::kWriteOnly = _O_WRONLY;
const int LowLevelFile::kReadWrite = _O_RDWR;
const int LowLevelFile::kCreate = _O_CREAT;
const int LowLevelFile::kTruncate = _O_TRUNC;
const int LowLevelFile::kAppend = _O_APPEND;  // the runtime moves to the end before each write
const int LowLevelFile::kBinary = _O_BINARY;
const int LowLevelFile::kExclusive = _O_EXCL;
const int LowLevelFile::kPermRead = _S_IREAD;
const int LowLevelFile::kPermWrite = _S_IWRITE;
#else  // POSIX: read and write for everyone the process's umask lets through, as fopen does
const int LowLevelFile::kReadOnly = O_RDONLY;
const int LowLevelFile::kWriteOnly = O_WRONLY;
const int LowLevelFile::kReadWrite = O_RDWR;
const int LowLevelFile::kCreate = O_CREAT;
const int LowLevelFile::kTruncate = O_TRUNC;
const int LowLevelFile::kAppend = O_APPEND;  // the system moves to the end atomically with each write
const int LowLevelFile::kBinary = 0;
const int LowLevelFile::kExclusive = O_EXCL;
const int LowLevelFile::kPermRead = S_IRUSR | S_IRGRP | S_IROTH;
const int LowLevelFile::kPermWrite = S_IWUSR | S_IWGRP | S_IWOTH;
#endif

int LowLevelFile::Open(const char* path, int flags, int permission) {
  if (path == nullptr) {
    errno = EINVAL;
    return -1;
  }
  if (FileFaultInjector::TakeFailure(Op::kOpen)) return InjectedFailure();
#if defined(_WIN32)  // _open takes the permission only with _O_CREAT
  return _open(path, flags | _O_BINARY, permission);
#else  // close the descriptor across exec; retry an interrupted open
  int fd;
  do {
    fd = ::open(path, flags | O_CLOEXEC, static_cast<mode_t>(permission));
  } while (fd < 0 && errno == EINTR);
  return fd;
#endif
}

int32_t LowLevelFile::Read(int fd, void* buffer, uint32_t count) {
  if (FileFaultInjector::TakeFailure(Op::kRead)) return InjectedFailure();
  if (count > INT32_MAX) count = INT32_MAX;
#if defined(_WIN32)  // _read takes an unsigned int count
  return _read(fd, buffer, count);
#else  // retry a read that a signal interrupted
  ssize_t got;
  do {
    got = ::read(fd, buffer, count);
  } while (got < 0 && errno == EINTR);
  return static_cast<int32_t>(got);
#endif
}

int32_t LowLevelFile::Write(int fd, const void* buffer, uint32_t count) {
  if (FileFaultInjector::TakeFailure(Op::kWrite)) return InjectedFailure();
  if (count > INT32_MAX) count = INT32_MAX;
  const uint32_t allowed = FileFaultInjector::AllowWrite(count);
  if (allowed == 0 && count > 0) {
    // The device is full, as the seam's limit plays it.
    errno = ENOSPC;
    return -1;
  }
#if defined(_WIN32)  // _write takes an unsigned int count
  const int32_t put = _write(fd, buffer, allowed);
#else  // retry a write that a signal interrupted
  ssize_t result;
  do {
    result = ::write(fd, buffer, allowed);
  } while (result < 0 && errno == EINTR);
  const int32_t put = static_cast<int32_t>(result);
#endif
  if (put > 0) FileFaultInjector::NoteWritten(static_cast<uint32_t>(put));
  return put;
}

int64_t LowLevelFile::Seek(int fd, int64_t offset, int origin) {
  if (FileFaultInjector::TakeFailure(Op::kSeek)) return InjectedFailure();
  const int whence = origin == kSeekCur ? SEEK_CUR : origin == kSeekEnd ? SEEK_END : SEEK_SET;
#if defined(_WIN32)  // 64-bit positions through _lseeki64
  const int64_t position = _lseeki64(fd, offset, whence);
#else  // off_t is 64 bits wide wherever the build asks for large files
  const int64_t position = static_cast<int64_t>(::lseek(fd, static_cast<off_t>(offset), whence));
#endif
  int64_t reported = 0;
  if (position >= 0 && origin == kSeekEnd && FileFaultInjector::TakeReportedEnd(reported)) return reported;
  return position;
}

int64_t LowLevelFile::Tell(int fd) {
#if defined(_WIN32)  // _telli64 is the runtime's own tell
  if (FileFaultInjector::TakeFailure(Op::kSeek)) return InjectedFailure();
  return _telli64(fd);
#else  // the position is a seek of 0 from the current one
  return Seek(fd, 0, kSeekCur);
#endif
}

int LowLevelFile::Truncate(int fd, int64_t size) {
  if (FileFaultInjector::TakeFailure(Op::kTruncate)) return InjectedFailure();
#if defined(_WIN32)  // _chsize_s takes 64-bit sizes and returns an errno value
  const errno_t error = _chsize_s(fd, size);
  if (error != 0) errno = error;
  return error == 0 ? 0 : -1;
#else  // ftruncate, retried when a signal interrupts it
  int result;
  do {
    result = ::ftruncate(fd, static_cast<off_t>(size));
  } while (result < 0 && errno == EINTR);
  return result;
#endif
}

int LowLevelFile::Close(int fd) {
  if (FileFaultInjector::TakeFailure(Op::kClose)) {
    // The descriptor is still released, so a failed close leaks nothing.
#if defined(_WIN32)  // release the runtime descriptor
    _close(fd);
#else  // release the POSIX descriptor
    ::close(fd);
#endif
    return InjectedFailure();
  }
#if defined(_WIN32)  // the runtime's close
  return _close(fd);
#else  // POSIX close; the descriptor is gone even when it reports EINTR
  return ::close(fd);
#endif
}

int LowLevelFile::GetStatus(const char* path, Status& status) {
  status = Status();
  if (path == nullptr) {
    errno = EINVAL;
    return -1;
  }
  if (FileFaultInjector::TakeFailure(Op::kStatus)) return InjectedFailure();
#if defined(_WIN32)  // _stat64 follows no links; the runtime keeps no permission bits
  struct _stat64 info;
  if (_stat64(path, &info) != 0) {
    if (errno != ENOENT) return -1;
    return 0;
  }
  status.kind = (info.st_mode & _S_IFMT) == _S_IFREG ? Kind::kRegular : Kind::kOther;
  return 0;
#else  // lstat: a link is reported as a link
  struct stat info;
  if (::lstat(path, &info) != 0) {
    if (errno != ENOENT) return -1;
    return 0;
  }
  status.kind = S_ISREG(info.st_mode) ? Kind::kRegular : S_ISLNK(info.st_mode) ? Kind::kLink : Kind::kOther;
  status.permission = static_cast<int>(info.st_mode & 07777);
  return 0;
#endif
}

int LowLevelFile::ReadLink(const char* path, std::string& target) {
  if (FileFaultInjector::TakeFailure(Op::kReadLink)) return InjectedFailure();
#if defined(_WIN32)  // the runtime reads no links
  (void)path;
  (void)target;
  errno = EINVAL;
  return -1;
#else  // readlink into a buffer that grows until the text fits
  try {
    std::vector<char> text(256);
    for (;;) {
      const ssize_t got = ::readlink(path, text.data(), text.size());
      if (got < 0) return -1;
      if (static_cast<size_t>(got) < text.size()) {
        target.assign(text.data(), static_cast<size_t>(got));
        return 0;
      }
      text.resize(text.size() * 2);
    }
  } catch (const std::exception&) {
    errno = ENOMEM;
    return -1;
  }
#endif
}

int LowLevelFile::Sync(int fd) {
  if (FileFaultInjector::TakeFailure(Op::kSync)) return InjectedFailure();
#if defined(_WIN32)  // _commit flushes the runtime's file to the disk
  return _commit(fd);
#else  // fsync, retried when a signal interrupts it
  int result;
  do {
    result = ::fsync(fd);
  } while (result < 0 && errno == EINTR);
  return result;
#endif
}

int LowLevelFile::SetPermission(int fd, int permission) {
  if (FileFaultInjector::TakeFailure(Op::kSetPermission)) return InjectedFailure();
#if defined(_WIN32)  // no permission bits to keep
  (void)fd;
  (void)permission;
  return 0;
#else  // fchmod on the open file
  return ::fchmod(fd, static_cast<mode_t>(permission & 07777));
#endif
}

int LowLevelFile::Replace(const char* from, const char* to) {
  if (from == nullptr || to == nullptr) {
    errno = EINVAL;
    return -1;
  }
  if (FileFaultInjector::TakeFailure(Op::kReplace)) return InjectedFailure();
#if defined(_WIN32)  // MoveFileExW replaces an existing file; names widen as the runtime reads them
  const UINT page = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
  const int fromSize = MultiByteToWideChar(page, 0, from, -1, nullptr, 0);
  const int toSize = MultiByteToWideChar(page, 0, to, -1, nullptr, 0);
  if (fromSize <= 0 || toSize <= 0) {
    errno = EINVAL;
    return -1;
  }
  BOOL moved = FALSE;
  try {
    std::vector<wchar_t> wideFrom(static_cast<size_t>(fromSize)), wideTo(static_cast<size_t>(toSize));
    MultiByteToWideChar(page, 0, from, -1, wideFrom.data(), fromSize);
    MultiByteToWideChar(page, 0, to, -1, wideTo.data(), toSize);
    moved = MoveFileExW(wideFrom.data(), wideTo.data(), MOVEFILE_REPLACE_EXISTING);
  } catch (const std::exception&) {
    errno = ENOMEM;
    return -1;
  }
  if (moved != FALSE) return 0;
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      errno = ENOENT;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      errno = EACCES;
      break;
    case ERROR_DISK_FULL:
      errno = ENOSPC;
      break;
    default:
      errno = EIO;
  }
  return -1;
#else  // rename replaces the name in one step
  return ::rename(from, to);
#endif
}

int LowLevelFile::Remove(const char* path) {
  if (path == nullptr) {
    errno = EINVAL;
    return -1;
  }
  if (FileFaultInjector::TakeFailure(Op::kRemove)) return InjectedFailure();
#if defined(_WIN32)  // the runtime's unlink
  return _unlink(path);
#else  // POSIX unlink
  return ::unlink(path);
#endif
}

}  // namespace platform
