#include "platform/window_messenger.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/host_window.h"

namespace {

using platform::HostWindow;
using platform::kWmCommand;
using platform::SendMessageA;

TEST(WindowMessageRecord, EncodesLittleEndianAndRoundTrips) {
  uint8_t bytes[platform::kWindowMessageBytes];
  platform::EncodeWindowMessage(bytes, kWmCommand, 368475u, -2);
  const uint8_t expected[platform::kWindowMessageBytes] = {
      0x11, 0x01, 0x00, 0x00,                          // message
      0x5B, 0x9F, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00,  // first parameter
      0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // second parameter
  };
  EXPECT_EQ(0, std::memcmp(bytes, expected, sizeof bytes));
  uint32_t message = 0;
  uint64_t wParam = 0;
  int64_t lParam = 0;
  platform::DecodeWindowMessage(bytes, &message, &wParam, &lParam);
  EXPECT_EQ(message, kWmCommand);
  EXPECT_EQ(wParam, 368475u);
  EXPECT_EQ(lParam, -2);
}

TEST(SendMessageA, HandleThatNamesNoWindowReturnsAtOnce) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(SendMessageA(0, kWmCommand, 1, 2), 0);
  EXPECT_EQ(SendMessageA(2147483647, kWmCommand, 1, 2), 0);
  EXPECT_EQ(SendMessageA(-5, kWmCommand, 1, 2), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(SendMessageA, StaleEndpointWithoutListenerIsNoWindow) {
  // A socket file left behind by a receiver that died: connecting is
  // refused, so the send does nothing. The handle is one of this process's.
  HostWindow window;
  ASSERT_TRUE(window.Open());
  const platform::WindowHandle handle = window.Handle();
  window.Close();
  const std::string path = platform::WindowEndpointPath(handle);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ::close(fd);  // bound but never listening
  EXPECT_EQ(SendMessageA(handle, kWmCommand, 7, 0), 0);
  ::unlink(path.c_str());
}

TEST(HostWindow, DeliversMessageAndBlocksSenderUntilHandled) {
  HostWindow window;
  ASSERT_TRUE(window.Open());
  EXPECT_GT(window.Handle(), 0);
  EXPECT_LE(window.Handle(), 2147483647);

  std::atomic<bool> handlerDone{false};
  uint32_t seenMessage = 0;
  uintptr_t seenW = 0;
  intptr_t seenL = 0;
  std::thread receiver([&] {
    EXPECT_TRUE(window.ReceiveOne(
        [&](uint32_t message, uintptr_t wParam, intptr_t lParam) -> intptr_t {
          seenMessage = message;
          seenW = wParam;
          seenL = lParam;
          std::this_thread::sleep_for(std::chrono::milliseconds(150));
          handlerDone = true;
          return -42;
        },
        10000));
  });
  const intptr_t result = SendMessageA(window.Handle(), kWmCommand, 368475u, 0);
  // The send returns only after the handler has finished.
  EXPECT_TRUE(handlerDone.load());
  receiver.join();
  EXPECT_EQ(result, -42);
  EXPECT_EQ(seenMessage, kWmCommand);
  EXPECT_EQ(seenW, 368475u);
  EXPECT_EQ(seenL, 0);
}

TEST(HostWindow, ReceivesNothingOnTimeoutAndWindowsAreDistinct) {
  HostWindow first;
  HostWindow second;
  ASSERT_TRUE(first.Open());
  ASSERT_TRUE(second.Open());
  EXPECT_NE(first.Handle(), second.Handle());
  int calls = 0;
  const auto count = [&](uint32_t, uintptr_t, intptr_t) -> intptr_t { return ++calls; };
  EXPECT_FALSE(first.ReceiveOne(count, 50));

  std::thread sender([&] { SendMessageA(second.Handle(), kWmCommand, 1, 0); });
  EXPECT_TRUE(second.ReceiveOne(count, 10000));
  sender.join();
  EXPECT_FALSE(first.ReceiveOne(count, 50));
  EXPECT_EQ(calls, 1);
}

TEST(HostWindow, ClosedWindowNoLongerReceives) {
  HostWindow window;
  ASSERT_TRUE(window.Open());
  const platform::WindowHandle handle = window.Handle();
  window.Close();
  EXPECT_FALSE(window.IsOpen());
  EXPECT_EQ(::access(platform::WindowEndpointPath(handle).c_str(), F_OK), -1);
  EXPECT_EQ(SendMessageA(handle, kWmCommand, 1, 0), 0);
  EXPECT_FALSE(window.ReceiveOne(nullptr, 10));
}

TEST(HostWindow, SenderThatLeavesEarlyIsNotHandled) {
  HostWindow window;
  ASSERT_TRUE(window.Open());
  const std::string path = platform::WindowEndpointPath(window.Handle());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  const uint8_t partial[5] = {0x11, 0x01, 0, 0, 0x5B};
  ASSERT_EQ(::send(fd, partial, sizeof partial, 0), 5);
  ::close(fd);
  bool called = false;
  EXPECT_FALSE(window.ReceiveOne(
      [&](uint32_t, uintptr_t, intptr_t) -> intptr_t {
        called = true;
        return 0;
      },
      10000));
  EXPECT_FALSE(called);
}

}  // namespace

namespace {

TEST(HostWindow, TakesOverAnEndpointLeftByADeadReceiver) {
  HostWindow probe;
  ASSERT_TRUE(probe.Open());
  const platform::WindowHandle next = probe.Handle() + 1;  // handles of one process count up
  probe.Close();
  const std::string path = platform::WindowEndpointPath(next);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ::close(fd);

  HostWindow window;
  ASSERT_TRUE(window.Open());
  EXPECT_EQ(window.Handle(), next);
  std::thread sender([&] { EXPECT_EQ(SendMessageA(next, kWmCommand, 3, 4), 7); });
  EXPECT_TRUE(window.ReceiveOne([](uint32_t, uintptr_t w, intptr_t l) -> intptr_t { return w + l; }, 10000));
  sender.join();
}

}  // namespace
