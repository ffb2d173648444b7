// The height array file of duneforge, read back as a grid.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace terrain {

// Reads `noise_arr.txt`: numbers, each followed by a comma, in general or
// exponent notation (also "nan" and "inf" as the platform writes them). False
// with a one-line reason in `error` when the file cannot be read or holds
// something that is not a comma-terminated number; `values` then holds the
// values read before it.
bool ReadNoiseArray(const std::string& path, std::vector<float>& values, std::string& error);
// The same for the file's bytes already in memory.
bool ParseNoiseArray(const std::vector<uint8_t>& bytes, std::vector<float>& values, std::string& error);

// Puts the values of tilesX x tilesZ tiles of tileWidth x tileHeight samples,
// in the file's order (tiles with x running fastest, each row by row from the
// lower z edge), into one grid of (tilesX x tileWidth) columns and
// (tilesZ x tileHeight) rows, row 0 at the lower z edge. False with a reason
// when a count is not positive or the number of values does not match.
bool AssembleTiles(const std::vector<float>& values, int32_t tilesX, int32_t tilesZ, int32_t tileWidth,
                   int32_t tileHeight, std::vector<float>& grid, std::string& error);

}  // namespace terrain
