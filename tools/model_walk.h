// What the summaries of the model formats do when a step of the walk fails.
#pragma once

#include <cstdint>
#include <string>

#include "modelfiles/model_reader.h"
#include "tools/summary_record.h"

namespace tools {

// Records the failed read of a record that starts at `start`, by the reason
// the reader keeps. `record` names it by its place ("frame 2") and leads the
// reason's text; empty for a run of records the reason names alone. A record
// that runs past the end of the data, or is too large to be held, leaves the
// file unreadable and sets `error`; a value the format refuses or does not
// know ends the walk at `start` with the reason as its problem. A reader
// that kept no reason ends the walk with `otherwise` as its problem.
void FailWalk(ModelSummary& summary, const modelfiles::ModelReader& reader, uint32_t start,
              const std::string& record, const std::string& otherwise);

}  // namespace tools
