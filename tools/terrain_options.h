// The options with which the terrain tools say how to read their input.
#pragma once

#include "terrain/terrain_grid.h"
#include "tools/option_parser.h"

namespace tools {

// Declares --size, --tiles and --format on `parser`, each setting `options`.
void AddTerrainInputOptions(OptionParser& parser, terrain::TerrainOptions& options);

// Reads `input` into `grid` with `options`, printing a failure as
// "PROGRAM: INPUT: REASON" and a missing option as a usage error. Returns
// kExitDone when it is read, else the status to exit with.
int LoadTerrainInput(const OptionParser& parser, const std::string& input,
                     const terrain::TerrainOptions& options, terrain::TerrainGrid& grid,
                     terrain::TerrainFormat& format);

}  // namespace tools
