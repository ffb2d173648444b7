// The receiving side of the local window-message stand-in.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/window_messenger.h"

namespace platform {

// A window that other processes can send messages to with SendMessageA. On
// this platform it is a listening socket named after the window's handle;
// Open picks a handle that no other open window uses. Each message is handled
// by the caller's handler on the thread that calls ReceiveOne, and the sender
// stays blocked until the handler has returned. On Windows hosts use real
// windows instead, and Open fails. The window owns its endpoint and removes
// it on Close; it cannot be copied.
class HostWindow {
 public:
  // Handles one message and returns the result the sender receives.
  using Handler = std::function<std::intptr_t(uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)>;

  HostWindow() = default;
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  // Creates the window with a fresh positive handle that fits in 32 bits.
  // False when no endpoint could be created.
  bool Open();
  // Removes the endpoint; later sends to the handle do nothing.
  void Close();
  bool IsOpen() const { return handle_ != 0; }
  // The window's handle; 0 while it is not open.
  WindowHandle Handle() const { return handle_; }

  // Waits for one message for at most `timeoutMs` milliseconds (negative:
  // without limit), hands it to `handler` and answers the sender with the
  // handler's result. True when a message was handled; false on timeout, when
  // the window is not open, or when the sender went away before its message
  // was complete.
  bool ReceiveOne(const Handler& handler, int timeoutMs);

 private:
  WindowHandle handle_ = 0;
  int listenFd_ = -1;
  std::string path_;
};

}  // namespace platform
