// Reads terrains from height arrays, HMP files, greyscale PNG pictures and
// 16-bit RAW files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "terrain/terrain_grid.h"
#include "terrain/terrain_result.h"

namespace terrain {

// Reads `path` into `grid`. The format is the one `options` names, else the
// one the name's extension names, else the one the content announces (HMP
// magic, PNG signature); a height array or RAW file without a telling name
// needs options.format. Height arrays and RAW files need options.columns and
// rows (and a height array tiles that divide them). Heights of PNG and RAW
// files stand for options' range, else 0 .. 65535. HMP files keep their
// header and skins in the grid. `format` tells the format read. A failure
// names `path`; it is kInvalidArgument where the options do not say what the
// file needs to be read (a size, tiles that divide it, the format of a file
// whose name and content do not tell), and another kind where the file
// cannot be read or is not a terrain of its format. Where it names a byte of
// the file, Offset() gives it.
TerrainResult LoadTerrain(const std::string& path, const TerrainOptions& options, TerrainGrid& grid,
                          TerrainFormat& format);
// The same for a file's bytes already in memory, with no name to go by.
TerrainResult LoadTerrain(std::vector<uint8_t> bytes, const TerrainOptions& options, TerrainGrid& grid,
                          TerrainFormat& format);

}  // namespace terrain
