// A module row the chain builder refuses, and where in the row it is.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "noisemap/error.h"

namespace duneforge {

// The noise::ExceptionInvalidParam of a refused row, with duneforge's text
// ("row 1 (Perlin): octave count p1 = 31 is outside 1 .. 30"), the row, and
// the fields p1 .. p4 whose values it refuses: none when the row's place
// is at fault (a previous-row input in row 0), several when their values
// together are (a Clamp range is p2, p3 and p4).
class RowError : public noise::utils::InvalidParamError {
 public:
  RowError(std::string message, int row, std::vector<std::string> fields)
      : InvalidParamError(std::move(message)), row_(row), fields_(std::move(fields)) {}

  int Row() const { return row_; }
  const std::vector<std::string>& Fields() const { return fields_; }

 private:
  int row_;
  std::vector<std::string> fields_;
};

}  // namespace duneforge
