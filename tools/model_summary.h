// What modelinfo reports about one model or terrain file.
#pragma once

#include <string>

#include "tools/summary_record.h"
#include "tools/summary_renderers.h"

namespace tools {

// Reads the file at `path` once, whole, hands its bytes by their magic to
// the summary of their family (the model formats of the model file library,
// the HMP terrain formats) and walks them record by record. Unreadable,
// unsupported and truncated files (a record that runs past the end) give a
// summary with `error` set, one line from the reason the reader gave.
ModelSummary SummarizeModelFile(const std::string& path);

}  // namespace tools
