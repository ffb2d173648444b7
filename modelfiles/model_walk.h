// One walk over any model the readers read, telling a visitor its records.
#pragma once

#include "modelfiles/model_reader.h"
#include "modelfiles/model_visitor.h"

namespace modelfiles {

// Walks the model the open `reader` holds (an MDL7R or a LegacyModelReader)
// from where Open left its cursor, in file order, and tells `visitor` each
// record as it is read:
// - MDL7: the header, the bones, each group (a mesh group's skins, texture
//   coordinates, triangles, vertices and frames with their frame vertices;
//   other groups are passed over whole), then the deformers.
// - IDPO, MDL2 to MDL6 and IDP2: the header, skins, texture coordinates,
//   triangles and frames with their vertices, IDPO and MDL2 frame groups
//   frame by frame.
// True after `End`; false after `Failure`, which names the step and carries
// the reader's reason. Nothing throws.
bool WalkModel(ModelReader& reader, ModelVisitor& visitor);

}  // namespace modelfiles
