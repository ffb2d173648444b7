#include "platform/window_messenger.h"

#if defined(_WIN32)  // the system's own window messages
#include <windows.h>
#else  // a Unix-domain socket per window
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#endif

namespace platform {

namespace {

void StoreLe(uint8_t* out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint64_t LoadLe(const uint8_t* in, int bytes) {
  uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= static_cast<uint64_t>(in[i]) << (8 * i);
  return value;
}

}  // namespace

void EncodeWindowMessage(uint8_t (&bytes)[kWindowMessageBytes], uint32_t message, uint64_t wParam,
                         int64_t lParam) {
  StoreLe(bytes, message, 4);
  StoreLe(bytes + 4, wParam, 8);
  StoreLe(bytes + 12, static_cast<uint64_t>(lParam), 8);
}

void DecodeWindowMessage(const uint8_t (&bytes)[kWindowMessageBytes], uint32_t* message, uint64_t* wParam,
                         int64_t* lParam) {
  *message = static_cast<uint32_t>(LoadLe(bytes, 4));
  *wParam = LoadLe(bytes + 4, 8);
  *lParam = static_cast<int64_t>(LoadLe(bytes + 12, 8));
}

#if defined(_WIN32)  // handles are the system's window handles

std::string WindowEndpointPath(WindowHandle) { return std::string(); }

std::intptr_t SendMessageA(WindowHandle window, uint32_t message, std::uintptr_t wParam,
                           std::intptr_t lParam) {
  // 0xFFFF is no window but the system's broadcast handle: a command file
  // naming it would send the command to every top-level window there is.
  if (window == 0 || reinterpret_cast<HWND>(window) == HWND_BROADCAST) return 0;
  return static_cast<std::intptr_t>(::SendMessageA(reinterpret_cast<HWND>(window), message,
                                                   static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)));
}

#else  // a window is a socket in the temporary folder, named after its handle

namespace detail {

// Sends all bytes; false when the peer is gone.
bool SendAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t put = ::send(fd, data, size, MSG_NOSIGNAL);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}

// Receives exactly `size` bytes; false when the peer closes first.
bool ReceiveAll(int fd, uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t got = ::recv(fd, data, size, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    data += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

}  // namespace detail

std::string WindowEndpointPath(WindowHandle window) {
  const char* base = std::getenv("TMPDIR");
  std::string folder = base != nullptr && *base != '\0' ? base : "/tmp";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder + "/window-" + std::to_string(static_cast<long long>(window));
}

std::intptr_t SendMessageA(WindowHandle window, uint32_t message, std::uintptr_t wParam,
                           std::intptr_t lParam) {
  if (window == 0) return 0;
  const std::string path = WindowEndpointPath(window);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // A path that does not fit a socket address can name no window.
  if (path.size() >= sizeof address.sun_path) return 0;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  int connected;
  do {
    connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (connected < 0 && errno == EINTR);
  std::intptr_t result = 0;
  if (connected == 0) {
    uint8_t request[kWindowMessageBytes];
    EncodeWindowMessage(request, message, wParam, lParam);
    uint8_t answer[kWindowAnswerBytes];
    if (detail::SendAll(fd, request, sizeof request) && detail::ReceiveAll(fd, answer, sizeof answer)) {
      result = static_cast<std::intptr_t>(static_cast<int64_t>(LoadLe(answer, 8)));
    }
  }
  ::close(fd);
  return result;
}

#endif

}  // namespace platform
