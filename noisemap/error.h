// libnoise's exception types with a message attached.
#pragma once

#include <libnoise/noise.h>

#include <string>
#include <utility>

namespace noise {
namespace utils {

// libnoise's exceptions carry no text. Everything this toolkit throws is one
// of the subclasses below, which also derive from ErrorMessage, so the one
// place that catches can say what went wrong: catch ErrorMessage for the
// text, noise::Exception for anything else libnoise throws.
class ErrorMessage {
 public:
  explicit ErrorMessage(std::string message) : message_(std::move(message)) {}
  virtual ~ErrorMessage() = default;
  // What went wrong, naming the value, row or file concerned.
  const std::string& Message() const { return message_; }

 private:
  std::string message_;
};

// A bad argument or an incomplete set-up.
class InvalidParamError : public ExceptionInvalidParam, public ErrorMessage {
 public:
  using ErrorMessage::ErrorMessage;
};

// Storage that cannot be allocated or whose size cannot be represented.
class OutOfMemoryError : public ExceptionOutOfMemory, public ErrorMessage {
 public:
  using ErrorMessage::ErrorMessage;
};

// A file that cannot be opened or written.
class FileError : public ExceptionUnknown, public ErrorMessage {
 public:
  using ErrorMessage::ErrorMessage;
};

}  // namespace utils
}  // namespace noise
