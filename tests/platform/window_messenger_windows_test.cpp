// The completion message on Windows: SendMessageA to a real, hidden window
// whose window procedure records every WM_COMMAND it receives, and the
// host's own window, platform::HostWindow.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "platform/host_window.h"
#include "platform/window_messenger.h"

namespace {

// The command value the generator sends when the height array is complete.
constexpr std::uintptr_t kDoneCommand = 368475;
// What the window procedure answers to WM_COMMAND, so a test can tell that
// the sender got the window's own result.
constexpr LRESULT kCommandAnswer = 77;
// How long the window procedure works on a WM_COMMAND before it answers: a
// sender that did not wait would return well before.
constexpr DWORD kHandlingMs = 300;

// What the window procedure saw. Written on the window's thread while the
// sender waits for it; read by the test after SendMessageA returned.
struct Received {
  std::atomic<int> commands{0};
  std::atomic<std::uintptr_t> wParam{0};
  std::atomic<std::intptr_t> lParam{-1};
  std::atomic<DWORD> thread{0};
  std::atomic<bool> finished{false};
  bool slow = false;
};

LRESULT CALLBACK RecordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* received = reinterpret_cast<Received*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (message == WM_COMMAND && received != nullptr) {
    received->finished = false;
    if (received->slow) Sleep(kHandlingMs);
    received->wParam = static_cast<std::uintptr_t>(wParam);
    received->lParam = static_cast<std::intptr_t>(lParam);
    received->thread = GetCurrentThreadId();
    ++received->commands;
    received->finished = true;
    return kCommandAnswer;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Registers the recording window class once per process.
const char* RecordingClass() {
  static const char* const name = [] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = RecordingProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "ToolkitRecordingWindow";
    return RegisterClassA(&windowClass) != 0 ? windowClass.lpszClassName : nullptr;
  }();
  return name;
}

// A hidden top-level window (never shown) that records into `received`; null
// when it cannot be created.
HWND CreateRecordingWindow(Received* received) {
  const char* windowClass = RecordingClass();
  if (windowClass == nullptr) return nullptr;
  HWND window = CreateWindowExA(0, windowClass, "completion message test", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (window != nullptr) SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(received));
  return window;
}

platform::WindowHandle HandleOf(HWND window) { return reinterpret_cast<platform::WindowHandle>(window); }

// A hidden window owned by a thread of its own that pumps its messages, as a
// host application's window is: the sender runs on another thread and must
// wait until that thread has handled the message.
class HostWindowThread {
 public:
  explicit HostWindowThread(Received* received) {
    thread_ = std::thread([this, received] {
      HWND window = CreateRecordingWindow(received);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        window_ = window;
        threadId_ = GetCurrentThreadId();
        ready_ = true;
      }
      readyChanged_.notify_all();
      if (window == nullptr) return;
      MSG message;
      while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
      DestroyWindow(window);
    });
    std::unique_lock<std::mutex> lock(mutex_);
    readyChanged_.wait(lock, [this] { return ready_; });
  }
  ~HostWindowThread() {
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
  }
  HostWindowThread(const HostWindowThread&) = delete;
  HostWindowThread& operator=(const HostWindowThread&) = delete;

  HWND Window() const { return window_; }
  DWORD ThreadId() const { return threadId_; }

 private:
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable readyChanged_;
  bool ready_ = false;
  HWND window_ = nullptr;
  DWORD threadId_ = 0;
};

TEST(CompletionMessage, ArrivesOnceAtTheHostWindowAndTheSenderWaitsForIt) {
  Received received;
  received.slow = true;
  HostWindowThread host(&received);
  ASSERT_NE(host.Window(), nullptr) << "no window: " << GetLastError();
  ASSERT_FALSE(IsWindowVisible(host.Window()));
  // The command file carries the handle as a decimal number in 32 bits.
  const platform::WindowHandle handle = HandleOf(host.Window());
  ASSERT_EQ(std::to_string(static_cast<long long>(static_cast<int32_t>(handle))),
            std::to_string(static_cast<long long>(handle)));

  const auto start = std::chrono::steady_clock::now();
  const std::intptr_t result = platform::SendMessageA(handle, platform::kWmCommand, kDoneCommand, 0);
  const auto waited = std::chrono::steady_clock::now() - start;

  // Synchronous: handled before the call returned, with the window's answer.
  EXPECT_TRUE(received.finished.load());
  EXPECT_GE(waited, std::chrono::milliseconds(kHandlingMs - 50));
  EXPECT_EQ(result, kCommandAnswer);
  EXPECT_EQ(received.commands.load(), 1);
  EXPECT_EQ(received.wParam.load(), kDoneCommand);
  EXPECT_EQ(LOWORD(received.wParam.load()), 0x9F5B);
  EXPECT_EQ(HIWORD(received.wParam.load()), 5);
  EXPECT_EQ(received.lParam.load(), 0);
  // Handled by the window's own thread, not by the sender's.
  EXPECT_EQ(received.thread.load(), host.ThreadId());
  EXPECT_NE(received.thread.load(), GetCurrentThreadId());

  // Received once: a later message through the same queue finds no second
  // WM_COMMAND waiting.
  SendMessageTimeoutA(host.Window(), WM_NULL, 0, 0, SMTO_BLOCK, 10000, nullptr);
  EXPECT_EQ(received.commands.load(), 1);
}

TEST(CompletionMessage, WindowOfTheSendingThreadIsCalledDirectly) {
  Received received;
  HWND window = CreateRecordingWindow(&received);
  ASSERT_NE(window, nullptr) << "no window: " << GetLastError();
  EXPECT_EQ(platform::SendMessageA(HandleOf(window), platform::kWmCommand, kDoneCommand, 0), kCommandAnswer);
  EXPECT_EQ(received.commands.load(), 1);
  EXPECT_EQ(received.wParam.load(), kDoneCommand);
  EXPECT_EQ(received.thread.load(), GetCurrentThreadId());
  DestroyWindow(window);
}

TEST(CompletionMessage, HandleZeroOfNoWindowOrBroadcastSendsNothing) {
  Received received;
  HostWindowThread host(&received);
  ASSERT_NE(host.Window(), nullptr) << "no window: " << GetLastError();

  // A window that existed and is gone: its handle names no window any more.
  Received goneReceived;
  HWND gone = CreateRecordingWindow(&goneReceived);
  ASSERT_NE(gone, nullptr);
  ASSERT_TRUE(DestroyWindow(gone));
  ASSERT_FALSE(IsWindow(gone));

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(platform::SendMessageA(0, platform::kWmCommand, kDoneCommand, 0), 0);
  EXPECT_EQ(platform::SendMessageA(HandleOf(gone), platform::kWmCommand, kDoneCommand, 0), 0);
  // The broadcast handle would reach every top-level window, the live one
  // among them.
  EXPECT_EQ(platform::SendMessageA(0xFFFF, platform::kWmCommand, kDoneCommand, 0), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

  // No send reached a window: not the live one, not the destroyed one.
  SendMessageTimeoutA(host.Window(), WM_NULL, 0, 0, SMTO_BLOCK, 10000, nullptr);
  EXPECT_EQ(received.commands.load(), 0);
  EXPECT_EQ(goneReceived.commands.load(), 0);
}

TEST(HostWindow, HandsTheCommandOfAnotherThreadToTheHandlerAndAnswersTheSender) {
  platform::HostWindow window;
  ASSERT_TRUE(window.Open());
  HWND hwnd = reinterpret_cast<HWND>(window.Handle());
  ASSERT_TRUE(IsWindow(hwnd));
  EXPECT_FALSE(IsWindowVisible(hwnd));
  EXPECT_EQ(GetWindowThreadProcessId(hwnd, nullptr), GetCurrentThreadId());

  // A system message first, which the window handles itself (it takes the
  // text), then the command.
  std::atomic<bool> sent{false};
  std::atomic<std::intptr_t> answer{0};
  std::thread sender([&] {
    ::SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("renamed"));
    answer = platform::SendMessageA(window.Handle(), platform::kWmCommand, kDoneCommand, 5);
    sent = true;
  });
  int calls = 0;
  uint32_t seenMessage = 0;
  std::uintptr_t seenW = 0;
  std::intptr_t seenL = 0;
  const auto record = [&](uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) -> std::intptr_t {
    ++calls;
    seenMessage = message;
    seenW = wParam;
    seenL = lParam;
    return 1234;
  };
  const bool received = window.ReceiveOne(record, 60000);
  // Should the first call have returned early, the command still needs its
  // answer before the sender can be joined.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!sent && std::chrono::steady_clock::now() < deadline) window.ReceiveOne(record, 100);
  sender.join();

  EXPECT_TRUE(received);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(seenMessage, platform::kWmCommand);
  EXPECT_EQ(seenW, kDoneCommand);
  EXPECT_EQ(seenL, 5);
  EXPECT_EQ(answer.load(), 1234);
  char title[16] = {};
  GetWindowTextA(hwnd, title, sizeof title);
  EXPECT_STREQ(title, "renamed");
}

TEST(HostWindow, TimesOutWithoutACommandAndCloses) {
  platform::HostWindow window;
  ASSERT_TRUE(window.Open());
  HWND hwnd = reinterpret_cast<HWND>(window.Handle());
  int calls = 0;
  const auto count = [&](uint32_t, std::uintptr_t, std::intptr_t) -> std::intptr_t { return ++calls; };
  // A posted system message is dispatched, but it is no command.
  ASSERT_TRUE(PostMessageA(hwnd, WM_NULL, 0, 0));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(window.ReceiveOne(count, 300));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
  EXPECT_EQ(calls, 0);

  const platform::WindowHandle handle = window.Handle();
  window.Close();
  EXPECT_FALSE(window.IsOpen());
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(platform::SendMessageA(handle, platform::kWmCommand, kDoneCommand, 0), 0);
  EXPECT_FALSE(window.ReceiveOne(count, 10));
  EXPECT_EQ(calls, 0);
}

}  // namespace
