// The height array file of duneforge, read back as a grid.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "terrain/terrain_result.h"

namespace terrain {

// Reads `noise_arr.txt`: numbers, each followed by a comma, in general or
// exponent notation (also "nan" and "inf" as the platform writes them). A
// failure naming `path` when the file cannot be read or holds something that
// is not a comma-terminated number (kMalformed, with the offset of the byte
// it names); `values` then holds the values read before it.
TerrainResult ReadNoiseArray(const std::string& path, std::vector<float>& values);
// The same for the file's bytes already in memory.
TerrainResult ParseNoiseArray(const std::vector<uint8_t>& bytes, std::vector<float>& values);

// Puts the values of tilesX x tilesZ tiles of tileWidth x tileHeight samples,
// in the file's order (tiles with x running fastest, each row by row from the
// lower z edge), into one grid of (tilesX x tileWidth) columns and
// (tilesZ x tileHeight) rows, row 0 at the lower z edge. A failure when a
// count is not positive (kInvalidArgument) or the number of values does not
// match (kMalformed: the values are not those tiles).
TerrainResult AssembleTiles(const std::vector<float>& values, int32_t tilesX, int32_t tilesZ,
                            int32_t tileWidth, int32_t tileHeight, std::vector<float>& grid);

}  // namespace terrain
