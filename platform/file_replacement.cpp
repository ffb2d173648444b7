#include "platform/file_replacement.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <exception>

#include "platform/low_level_file.h"

#if defined(_WIN32)  // _getpid; names split at either slash
#include <process.h>
#else  // getpid; names split at '/'
#include <unistd.h>
#endif

namespace platform {

namespace {

#if defined(_WIN32)  // the runtime takes both separators
constexpr const char* kSeparators = "/\\";
int ProcessId() { return _getpid(); }
#else  // POSIX has one
constexpr const char* kSeparators = "/";
int ProcessId() { return static_cast<int>(::getpid()); }
#endif

// Temporary names tried before giving up, each with the next number.
constexpr int kTemporaryAttempts = 100;
// Characters of the target's name kept in the temporary one, so that a name
// of 255 bytes, the longest most file systems take, still leaves room.
constexpr size_t kLongestNamePart = 100;

// Numbers the temporary files of this process; with the process id in the
// name, no two writers pick the same name, and an exclusive create catches
// a leftover of an earlier process.
std::atomic<unsigned> temporaryCounter{0};

// The folder part of `path`, with its separator; empty for a bare name.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of(kSeparators);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

FileReplacement::~FileReplacement() { Abandon(); }

bool FileReplacement::Fail(const FailureReason& reason) {
  Abandon();
  failure_ = reason;
  return false;
}

bool FileReplacement::ResolveTarget(const char* path, int& permission) {
  target_ = path;
  for (int hops = 0;; ++hops) {
    LowLevelFile::Status status;
    if (LowLevelFile::GetStatus(target_.c_str(), status) != 0) return Fail(FailureReason::CannotOpen(errno));
    if (status.kind != LowLevelFile::Kind::kLink) {
      inPlace_ = status.kind == LowLevelFile::Kind::kOther;
      permission = status.kind == LowLevelFile::Kind::kRegular ? status.permission : -1;
      return true;
    }
    if (hops == kLongestLinkChain) return Fail(FailureReason::CannotOpen(ELOOP));
    std::string link;
    if (LowLevelFile::ReadLink(target_.c_str(), link) != 0) return Fail(FailureReason::CannotOpen(errno));
    // A relative link names a file from the link's own folder.
    target_ = !link.empty() && link[0] == '/' ? link : FolderOf(target_) + link;
  }
}

bool FileReplacement::CreateTemporary() {
  const size_t slash = target_.find_last_of(kSeparators);
  const std::string name = target_.substr(slash == std::string::npos ? 0 : slash + 1, kLongestNamePart);
  const std::string prefix = FolderOf(target_) + "." + name + "." + std::to_string(ProcessId()) + ".";
  for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
    temporary_ = prefix + std::to_string(temporaryCounter++) + ".tmp";
    fd_ = LowLevelFile::Open(
        temporary_.c_str(),
        LowLevelFile::kReadWrite | LowLevelFile::kCreate | LowLevelFile::kExclusive | LowLevelFile::kBinary,
        LowLevelFile::kPermRead | LowLevelFile::kPermWrite);
    if (fd_ >= 0) return true;
    if (errno != EEXIST) break;
  }
  const int error = errno;
  temporary_.clear();
  return Fail(FailureReason::CannotOpen(error));
}

int FileReplacement::Begin(const char* path) {
  Abandon();
  failure_ = FailureReason();
  if (path == nullptr || path[0] == '\0') {
    failure_ = FailureReason::CannotOpen(ENOENT);
    return -1;
  }
  try {
    int permission = -1;
    if (!ResolveTarget(path, permission)) return -1;
    if (inPlace_) {
      fd_ = LowLevelFile::Open(
          path,
          LowLevelFile::kWriteOnly | LowLevelFile::kCreate | LowLevelFile::kTruncate | LowLevelFile::kBinary,
          LowLevelFile::kPermRead | LowLevelFile::kPermWrite);
      if (fd_ < 0) Fail(FailureReason::CannotOpen(errno));
      return fd_;
    }
    if (!CreateTemporary()) return -1;
    permission_ = permission;
    return fd_;
  } catch (const std::exception&) {
    Fail(FailureReason::TooLarge("not enough memory for the file's name"));
    return -1;
  }
}

bool FileReplacement::Seal() {
  if (sealed_) return true;
  if (fd_ < 0) {
    failure_ = FailureReason::InputOutput("nothing to replace the file with", 0);
    return false;
  }
  failure_ = FailureReason();
  const int fd = fd_;
  fd_ = -1;
  if (inPlace_) {
    if (LowLevelFile::Close(fd) != 0) return Fail(FailureReason::InputOutput("cannot close", errno));
    sealed_ = true;
    return true;
  }
  FailureReason reason;
  if (permission_ >= 0 && LowLevelFile::SetPermission(fd, permission_) != 0) {
    reason = FailureReason::InputOutput("cannot keep the file's permissions", errno);
  } else if (LowLevelFile::Sync(fd) != 0) {
    reason = FailureReason::InputOutput("cannot flush to the device", errno);
  }
  if (LowLevelFile::Close(fd) != 0 && !reason.IsFailure()) {
    reason = FailureReason::InputOutput("cannot close", errno);
  }
  if (reason.IsFailure()) return Fail(reason);
  sealed_ = true;
  return true;
}

bool FileReplacement::Commit() {
  if (!Seal()) return false;
  sealed_ = false;
  if (inPlace_) {
    inPlace_ = false;
    return true;
  }
  if (LowLevelFile::Replace(temporary_.c_str(), target_.c_str()) != 0) {
    return Fail(FailureReason::InputOutput("cannot replace the file", errno));
  }
  temporary_.clear();
  permission_ = -1;
  return true;
}

void FileReplacement::Abandon() {
  if (fd_ >= 0) LowLevelFile::Close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) LowLevelFile::Remove(temporary_.c_str());
  temporary_.clear();
  permission_ = -1;
  inPlace_ = false;
  sealed_ = false;
}

bool WriteFully(int fd, const void* data, uint64_t size, FailureReason& reason, uint64_t* written) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const int32_t put = LowLevelFile::Write(
        fd, bytes, static_cast<uint32_t>(std::min<uint64_t>(size, LowLevelFile::kLargestWrite)));
    if (put <= 0) {
      // A write that takes nothing sets no error: the device is full.
      reason = FailureReason::InputOutput("cannot write", put < 0 ? errno : ENOSPC);
      return false;
    }
    bytes += put;
    size -= static_cast<uint64_t>(put);
    if (written != nullptr) *written += static_cast<uint64_t>(put);
  }
  return true;
}

bool WriteWholeFile(const char* path, const void* data, size_t size, FailureReason& reason) {
  FileReplacement replacement;
  const int fd = replacement.Begin(path);
  if (fd < 0) {
    reason = replacement.LastFailure();
    return false;
  }
  if (!WriteFully(fd, data, size, reason)) return false;
  if (!replacement.Commit()) {
    reason = replacement.LastFailure();
    return false;
  }
  reason = FailureReason();
  return true;
}

bool WriteWholeFile(const char* path, const std::vector<uint8_t>& bytes, FailureReason& reason) {
  return WriteWholeFile(path, bytes.data(), bytes.size(), reason);
}

}  // namespace platform
