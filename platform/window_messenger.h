// Synchronous window messages in the style of the system's SendMessageA.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// A window handle as the command file writes it: a signed integer. 0 names
// no window.
using WindowHandle = std::intptr_t;

// The message that carries a command value in its first parameter.
constexpr uint32_t kWmCommand = 0x0111;

// Size of one message on the wire of the local stand-in: message (4 bytes),
// first parameter (8), second parameter (8), all little-endian.
constexpr size_t kWindowMessageBytes = 20;
// Size of the answer: the handler's result, 8 bytes little-endian.
constexpr size_t kWindowAnswerBytes = 8;

// Sends `message` with its two parameters to `window` and returns when the
// window has handled it, with the window's result. On Windows this is the
// system's SendMessageA. Elsewhere a window is a local endpoint named after
// its handle (see HostWindow); the call connects, hands the message over and
// blocks until the receiver answers. A handle that names no window, 0
// included, makes the call return 0 at once; so does a receiver that goes
// away before it answers. On Windows the broadcast handle (0xFFFF) names no
// window either: nothing is sent to it.
std::intptr_t SendMessageA(WindowHandle window, uint32_t message, std::uintptr_t wParam,
                           std::intptr_t lParam);

// Where the local endpoint of `window` lives: a socket named after the handle
// in $TMPDIR (or /tmp). Empty on Windows, where windows are the system's.
std::string WindowEndpointPath(WindowHandle window);

// Encodes and decodes the wire records of the local stand-in.
void EncodeWindowMessage(uint8_t (&bytes)[kWindowMessageBytes], uint32_t message, uint64_t wParam,
                         int64_t lParam);
void DecodeWindowMessage(const uint8_t (&bytes)[kWindowMessageBytes], uint32_t* message, uint64_t* wParam,
                         int64_t* lParam);

namespace detail {
// Socket transfers of the local stand-in (not on Windows), shared by sender
// and receiver:
// false when the peer is gone before every byte has moved.
bool SendAll(int fd, const uint8_t* data, size_t size);
bool ReceiveAll(int fd, uint8_t* data, size_t size);
}  // namespace detail

}  // namespace platform
