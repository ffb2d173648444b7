// A refused request: the HTTP status and the one line that says why.
#pragma once

#include <stdexcept>
#include <string>

namespace studio {

// Thrown by the studio's request handling when a request cannot be served as
// asked; the server answers with `Status()` (a 4xx) and {"error": what()}.
// Whatever threw it has changed nothing.
class StudioError : public std::runtime_error {
 public:
  StudioError(int status, const std::string& text) : std::runtime_error(text), status_(status) {}
  int Status() const { return status_; }

 private:
  int status_;
};

}  // namespace studio
