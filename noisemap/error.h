// The toolkit's exception types: libnoise's, with a message attached.
#pragma once

#if TOOLKIT_WITH_LIBNOISE
#include <libnoise/exception.h>
#endif

#include <string>
#include <utility>

namespace noise {

#if !TOOLKIT_WITH_LIBNOISE
// Without libnoise the errors get bases of the same names and shape (no
// std::exception among them), so code that catches them reads the same in
// both builds.
class Exception {};
class ExceptionInvalidParam : public Exception {};
class ExceptionNoModule : public Exception {};
class ExceptionOutOfMemory : public Exception {};
class ExceptionUnknown : public Exception {};
#endif

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
