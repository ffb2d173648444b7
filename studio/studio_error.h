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
// fields at fault ("tilesX", "lowerX"), and "row" with them when they are
// fields of that module row ("p1"). Whatever threw it has changed nothing.
class StudioError : public std::runtime_error {
 public:
  StudioError(int status, const std::string& text, std::vector<std::string> fields = {}, int row = -1)
      : std::runtime_error(text), status_(status), fields_(std::move(fields)), row_(row) {}
  int Status() const { return status_; }
  const std::vector<std::string>& Fields() const { return fields_; }
  // The module row whose fields these are; -1 for header fields or none.
  int Row() const { return row_; }

 private:
  int status_;
  std::vector<std::string> fields_;
  int row_;
};

}  // namespace studio
