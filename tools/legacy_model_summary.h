// The summary of the single-mesh model formats: IDPO, MDL2 to MDL6 and IDP2.
#pragma once

#include "modelfiles/legacy_model_reader.h"
#include "tools/summary_record.h"

namespace tools {

// Fills the header fields, counts, skins and frames of `summary` from the
// open `reader`, walking its records in file order: skins, texture
// coordinates, triangles, frames.
void SummarizeLegacyModel(modelfiles::LegacyModelReader& reader, ModelSummary& summary);

}  // namespace tools
