// What modelinfo reports about one model or terrain file.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "render/summary_record.h"
#include "render/summary_renderers.h"

namespace render {

// Reads the file at `path` once, whole, hands its bytes by their magic to
// the summary of their family (the model formats of the model file library,
// the HMP terrain formats) and walks them record by record. Unreadable,
// unsupported and truncated files (a record that runs past the end) give a
// summary with `error` set, one line from the reason the reader gave.
ModelSummary SummarizeModelFile(const std::string& path);

// Summarizes each file of `paths` in turn and prints the summaries to `out`
// as text, or as one JSON array with `json` (an unreadable file then has an
// object with an "error" member), and each file's error as one line to
// `errors`. Returns the exit status: 0 when every file was described, 1
// when one was not or `out` could not be written.
int PrintModelSummaries(const std::vector<std::string>& paths, bool json, std::FILE* out, std::FILE* errors);

}  // namespace render
