// The keyword options of load_terrain, save_terrain and render_relief,
// named as the terrain tools name their options.
#pragma once

#include <pybind11/pybind11.h>

#include "terrain/terrain_grid.h"

namespace pybinding {

// Which options a function takes.
enum class KeywordUse { kLoad, kSave };

// Reads `keywords` into terrain options: shape ((rows, columns)) and tiles
// ("4x2" or (x, z)), format ("txt", "hmp", "png", "raw", "r16", "obj"),
// spacing (a number or (x, y)), range ((low, high)), height_scale, skin (a
// BMP picture's path, as bytes or os.PathLike), default_skin ("relief",
// "blank", "none" or None) and engine_values. Refusals of the grid options
// name them as keywords. A keyword that `use` does not take
// raises TypeError; a value it cannot take ValueError.
terrain::TerrainOptions TerrainOptionsFrom(const pybind11::dict& keywords, KeywordUse use);

}  // namespace pybinding
