// The receiving side of the local window-message stand-in.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/window_messenger.h"

namespace platform {

// A window that other processes can send messages to with SendMessageA.
// Each message is handled by the caller's handler on the thread that calls
// ReceiveOne, and the sender stays blocked until the handler has returned.
// The window owns what stands behind its handle and lets it go on Close; it
// cannot be copied.
//
// On Windows it is a real top-level window of its own class, created hidden
// on the thread that calls Open; that thread's message loop runs inside
// ReceiveOne, so ReceiveOne and Close belong on that thread too. Its handle
// is the window's HWND. The handler receives WM_COMMAND and the
// application's own messages (WM_USER through 0xBFFF), sent or posted; the
// system's messages to the window go to DefWindowProc. A message that
// arrives while no ReceiveOne waits is answered 0.
//
// Elsewhere it is a listening socket named after the window's handle; Open
// picks a handle that no other open window uses, and the handler receives
// every message.
class HostWindow {
 public:
  // Handles one message and returns the result the sender receives.
  using Handler = std::function<std::intptr_t(uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)>;

  HostWindow() = default;
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  // Creates the window with a fresh positive handle that fits in 32 bits.
  // False when no endpoint (on Windows: no window) could be created.
  bool Open();
  // Removes the endpoint (destroys the window); later sends to the handle do
  // nothing.
  void Close();
  bool IsOpen() const { return handle_ != 0; }
  // The window's handle; 0 while it is not open.
  WindowHandle Handle() const { return handle_; }

  // Waits for one message for at most `timeoutMs` milliseconds (negative:
  // without limit), hands it to `handler` and answers the sender with the
  // handler's result. True when a message was handled; false on timeout, when
  // the window is not open, or when the sender went away before its message
  // was complete. On Windows it returns after the first message handled
  // (messages sent at the same moment may reach the handler in the same
  // call), and false as well when it meets WM_QUIT, which it posts again
  // for the caller's own loop; an exception from the handler leaves
  // ReceiveOne after the sender has been answered 0.
  bool ReceiveOne(const Handler& handler, int timeoutMs);

 private:
  WindowHandle handle_ = 0;
  int listenFd_ = -1;
  std::string path_;
};

}  // namespace platform
