// The end of an output written into a file replacement, and a whole output
// written at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/failure_reason.h"
#include "platform/file_replacement.h"
#include "terrain/terrain_result.h"

namespace terrain {

// Moves the replacement of `path` over its name when the writer closed with
// every byte in it (`closedWhole`); else the replacement is abandoned and the
// name keeps what it held. A failure names `path` and gives the writer's
// reason, or the replacement's, when the output is not in place.
inline TerrainResult FinishWholeOutput(bool closedWhole, const platform::FailureReason& writerFailure,
                                       platform::FileReplacement& output, const std::string& path) {
  if (!closedWhole) return TerrainResult::FromReason(writerFailure).WithPath(path);
  if (!output.Commit()) return TerrainResult::FromReason(output.LastFailure()).WithPath(path);
  return TerrainResult();
}

// Replaces the file at `path` with `bytes`, whole or not at all; a failure
// names `path`.
inline TerrainResult WriteWholeOutput(const std::string& path, const std::vector<uint8_t>& bytes) {
  platform::FailureReason reason;
  if (!platform::WriteWholeFile(path.c_str(), bytes, reason))
    return TerrainResult::FromReason(reason).WithPath(path);
  return TerrainResult();
}

}  // namespace terrain
