// modelinfo's two renderings of a ModelSummary: text for people, JSON for
// scripts.
#pragma once

#include <string>

#include "render/summary_record.h"

namespace render {

// The summary as lines of text, the last ending in a newline; an error is
// one line, "modelinfo: PATH: ERROR".
std::string SummaryText(const ModelSummary& summary);
// The summary as one JSON object (no trailing newline).
std::string SummaryJson(const ModelSummary& summary);

}  // namespace render
