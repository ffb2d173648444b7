// The end of an output written into a file replacement.
#pragma once

#include <string>

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

}  // namespace terrain
