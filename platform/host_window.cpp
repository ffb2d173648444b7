// The local stand-in of a host window: a listening Unix-domain socket per
// window (platform/host_window_windows.cpp is the Windows one).
#include "platform/host_window.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace platform {

namespace {

// Handles are the process id times 256 plus a per-process counter, so the
// windows of concurrent processes never meet; 0x7FFFFF00 keeps them positive
// and within 32 bits.
std::atomic<uint32_t> nextWindowSerial{1};

WindowHandle CandidateHandle(uint32_t serial) {
  const uint64_t pid = static_cast<uint64_t>(::getpid());
  const uint64_t value = ((pid * 256u) + (serial & 0xFFu)) % 0x7FFFFF00u;
  return static_cast<WindowHandle>(value == 0 ? 1 : value);
}

bool FillAddress(const std::string& path, sockaddr_un* address) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof address->sun_path) return false;
  std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

// True when a socket file at `address` has a live listener behind it.
bool EndpointIsLive(const sockaddr_un& address) {
  const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return true;  // cannot tell: treat as taken
  const bool live = ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(probe);
  return live;
}

}  // namespace

HostWindow::~HostWindow() { Close(); }

bool HostWindow::Open() {
  Close();
  // 256 handles per process; a handle whose socket file is left over from a
  // process that died is taken over, a live one is skipped.
  for (int attempt = 0; attempt < 256; ++attempt) {
    const WindowHandle handle = CandidateHandle(nextWindowSerial.fetch_add(1));
    const std::string path = WindowEndpointPath(handle);
    sockaddr_un address;
    if (!FillAddress(path, &address)) return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (!bound && errno == EADDRINUSE && !EndpointIsLive(address)) {
      ::unlink(path.c_str());
      bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    if (!bound) {
      const int error = errno;
      ::close(fd);
      if (error == EADDRINUSE) continue;
      return false;
    }
    if (::listen(fd, 8) != 0) {
      ::close(fd);
      ::unlink(path.c_str());
      return false;
    }
    handle_ = handle;
    listenFd_ = fd;
    path_ = path;
    return true;
  }
  return false;
}

void HostWindow::Close() {
  if (listenFd_ >= 0) {
    ::close(listenFd_);
    ::unlink(path_.c_str());
  }
  listenFd_ = -1;
  handle_ = 0;
  path_.clear();
}

bool HostWindow::ReceiveOne(const Handler& handler, int timeoutMs) {
  if (listenFd_ < 0) return false;
  pollfd waiting{listenFd_, POLLIN, 0};
  int ready;
  do {
    ready = ::poll(&waiting, 1, timeoutMs < 0 ? -1 : timeoutMs);
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) return false;

  int fd;
  do {
    fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;

  uint8_t request[kWindowMessageBytes];
  bool handled = false;
  if (detail::ReceiveAll(fd, request, sizeof request)) {
    uint32_t message;
    uint64_t wParam;
    int64_t lParam;
    DecodeWindowMessage(request, &message, &wParam, &lParam);
    const std::intptr_t result =
        handler ? handler(message, static_cast<std::uintptr_t>(wParam), static_cast<std::intptr_t>(lParam))
                : 0;
    uint8_t answer[kWindowAnswerBytes];
    const uint64_t bits = static_cast<uint64_t>(static_cast<int64_t>(result));
    for (size_t i = 0; i < sizeof answer; ++i) answer[i] = static_cast<uint8_t>(bits >> (8 * i));
    detail::SendAll(fd, answer, sizeof answer);  // a sender that left no longer waits
    handled = true;
  }
  ::close(fd);
  return handled;
}

}  // namespace platform
