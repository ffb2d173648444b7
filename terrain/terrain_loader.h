// Reads terrains from height arrays, HMP files, greyscale PNG pictures and
// 16-bit RAW files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "terrain/terrain_grid.h"

namespace terrain {

enum class LoadResult {
  kLoaded,
  kFailed,        // the file cannot be read or is damaged
  kNeedsOptions,  // the options do not say what the file needs to be read
};

// Reads `path` into `grid`. The format is the one `options` names, else the
// one the name's extension names, else the one the content announces (HMP
// magic, PNG signature); a height array or RAW file without a telling name
// needs options.format. Height arrays and RAW files need options.columns and
// rows (and a height array tiles that divide them). Heights of PNG and RAW
// files stand for options' range, else 0 .. 65535. HMP files keep their
// header and skins in the grid. Anything but kLoaded comes with a one-line
// reason in `error`, and `format` tells the format read.
LoadResult LoadTerrain(const std::string& path, const TerrainOptions& options, TerrainGrid& grid,
                       TerrainFormat& format, std::string& error);
// The same for a file's bytes already in memory, with no name to go by.
// Where the reason names a byte of the file, `*errorOffset` (when given)
// receives its offset, else -1.
LoadResult LoadTerrain(std::vector<uint8_t> bytes, const TerrainOptions& options, TerrainGrid& grid,
                       TerrainFormat& format, std::string& error, int64_t* errorOffset = nullptr);

}  // namespace terrain
