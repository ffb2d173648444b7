// A command-file header the generator refuses, and which header fields.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "noisemap/error.h"

namespace duneforge {

// The noise::ExceptionInvalidParam of refused header fields, with
// duneforge's text ("tileWidth 0 and tileHeight 256 must lie in 1 ..
// 32767") and the names of the header fields whose values it refuses, as
// ForEachHeaderField names them: one for a field that cannot be read,
// two for bounds that are empty or reversed.
class HeaderError : public noise::utils::InvalidParamError {
 public:
  HeaderError(std::string message, std::vector<std::string> fields)
      : InvalidParamError(std::move(message)), fields_(std::move(fields)) {}

  const std::vector<std::string>& Fields() const { return fields_; }

 private:
  std::vector<std::string> fields_;
};

}  // namespace duneforge
