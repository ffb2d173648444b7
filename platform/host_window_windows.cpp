// A host window on Windows: a real, hidden top-level window whose messages
// the thread that opened it receives in ReceiveOne.
#include <windows.h>

#include <chrono>
#include <exception>

#include "platform/host_window.h"

namespace platform {

namespace {

// The ReceiveOne that waits on a window, reached through the window's user
// data while it waits.
struct Delivery {
  const HostWindow::Handler* handler = nullptr;
  bool delivered = false;
  std::exception_ptr failure;
};

// The messages a host receives: commands and the application's own. The
// system's messages to the window (creation, activation, sizing) are not.
bool IsHostMessage(UINT message) {
  return message == WM_COMMAND || (message >= WM_USER && message <= 0xBFFF);
}

LRESULT CALLBACK HostWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* delivery = reinterpret_cast<Delivery*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (delivery == nullptr || !IsHostMessage(message)) return DefWindowProcA(window, message, wParam, lParam);
  delivery->delivered = true;
  if (*delivery->handler == nullptr) return 0;
  // An exception cannot pass through the system's frames that called this
  // procedure: it waits in the delivery until ReceiveOne returns.
  try {
    return static_cast<LRESULT>((*delivery->handler)(message, static_cast<std::uintptr_t>(wParam),
                                                     static_cast<std::intptr_t>(lParam)));
  } catch (...) {
    delivery->failure = std::current_exception();
    return 0;
  }
}

HINSTANCE ThisModule() { return GetModuleHandleA(nullptr); }

// Registers the window class once per process; null when that fails.
const char* HostWindowClass() {
  static const char* const name = [] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = HostWindowProcedure;
    windowClass.hInstance = ThisModule();
    windowClass.lpszClassName = "TerrainToolkitHostWindow";
    return RegisterClassA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS
               ? windowClass.lpszClassName
               : nullptr;
  }();
  return name;
}

HWND WindowOf(WindowHandle handle) { return reinterpret_cast<HWND>(handle); }

}  // namespace

HostWindow::~HostWindow() { Close(); }

bool HostWindow::Open() {
  Close();
  const char* windowClass = HostWindowClass();
  if (windowClass == nullptr) return false;
  // Never shown: a host needs the window only as an address for messages.
  HWND window = CreateWindowExA(0, windowClass, "terrain toolkit host", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 64, 64, nullptr, nullptr, ThisModule(), nullptr);
  if (window == nullptr) return false;
  handle_ = reinterpret_cast<WindowHandle>(window);
  return true;
}

void HostWindow::Close() {
  if (handle_ != 0 && IsWindow(WindowOf(handle_))) DestroyWindow(WindowOf(handle_));
  handle_ = 0;
}

bool HostWindow::ReceiveOne(const Handler& handler, int timeoutMs) {
  if (handle_ == 0 || !IsWindow(WindowOf(handle_))) return false;
  HWND window = WindowOf(handle_);
  Delivery delivery;
  delivery.handler = &handler;
  // A handler that waits on the window itself gets the window back as it
  // found it.
  const LONG_PTR outer = SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&delivery));
  const auto start = std::chrono::steady_clock::now();
  bool quit = false;
  for (;;) {
    // Peeking calls the procedure for every message sent to this thread;
    // posted ones are dispatched here.
    MSG message;
    while (!delivery.delivered && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(message.wParam));
        quit = true;
        break;
      }
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (delivery.delivered || quit) break;
    DWORD wait = INFINITE;
    if (timeoutMs >= 0) {
      const auto waited =
          std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
      if (waited.count() >= timeoutMs) break;
      wait = static_cast<DWORD>(timeoutMs - waited.count());
    }
    MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
  if (IsWindow(window)) SetWindowLongPtrA(window, GWLP_USERDATA, outer);
  if (delivery.failure) std::rethrow_exception(delivery.failure);
  return delivery.delivered;
}

}  // namespace platform
