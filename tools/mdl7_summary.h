// The summary of MDL7 models.
#pragma once

#include "modelfiles/mdl7r.h"
#include "tools/summary_record.h"

namespace tools {

// Fills the header fields, counts, groups, skins and frames of `summary`
// from the open `reader`, walking its records in file order: bones, then
// each group (a mesh group's skins, texture coordinates, triangles, vertices
// and frames; other groups passed over whole), then the deformers.
void SummarizeMdl7(modelfiles::MDL7R& reader, ModelSummary& summary);

}  // namespace tools
