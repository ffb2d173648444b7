// The summary of HMP terrain files.
#pragma once

#include <cstdint>
#include <vector>

#include "render/summary_record.h"

namespace render {

// Parses `bytes`, a whole HMP5 or HMP7 file, and fills the format, header
// fields, counts, skins and frames of `summary` and its walk; a file that
// cannot be parsed or whose records run past its end sets `error`.
void SummarizeTerrain(std::vector<uint8_t> bytes, ModelSummary& summary);

}  // namespace render
