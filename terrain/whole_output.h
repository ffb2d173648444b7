// The end of an output written into a file replacement, and a whole output
// written at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/failure_reason.h"
#include "platform/file_replacement.h"

namespace terrain {

// Moves the replacement of `path` over its name when the writer closed with
// every byte in it (`closedWhole`); else the replacement is abandoned and the
// name keeps what it held. False with "PATH: REASON" in `error` (the
// writer's reason, or the replacement's) when the output is not in place.
inline bool FinishWholeOutput(bool closedWhole, const platform::FailureReason& writerFailure,
                              platform::FileReplacement& output, const std::string& path,
                              std::string& error) {
  if (!closedWhole) {
    error = path + ": " + writerFailure.Text();
    return false;
  }
  if (!output.Commit()) {
    error = path + ": " + output.LastFailure().Text();
    return false;
  }
  return true;
}

// Replaces the file at `path` with `bytes`, whole or not at all. False with
// "PATH: REASON" in `error` when it cannot.
inline bool WriteWholeOutput(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
  platform::FailureReason reason;
  if (!platform::WriteWholeFile(path.c_str(), bytes, reason)) {
    error = path + ": " + reason.Text();
    return false;
  }
  return true;
}

}  // namespace terrain
