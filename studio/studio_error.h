// A refused request: the HTTP status and the one line that says why.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace studio {

// Thrown by the studio's request handling when a request cannot be served as
// asked; the server answers with `Status()` (a 4xx) and {"error": what()},
// with "fields" besides when the refusal names the command file's header
// fields at fault ("tilesX", "lowerX"). Whatever threw it has changed nothing.
class StudioError : public std::runtime_error {
 public:
  StudioError(int status, const std::string& text, std::vector<std::string> fields = {})
      : std::runtime_error(text), status_(status), fields_(std::move(fields)) {}
  int Status() const { return status_; }
  const std::vector<std::string>& Fields() const { return fields_; }

 private:
  int status_;
  std::vector<std::string> fields_;
};

}  // namespace studio
