// Fuzz target of the height array reader: any bytes as a noise_arr.txt, parsed
// as terrainconvert and terrainview parse it. The values it gives are then
// put into grids of several tile layouts that their count allows, and each
// grid is checked against the file's order worked out here: tiles with x
// running fastest, each row by row.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "terrain/noise_array.h"

namespace {

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Assembles tilesX x tilesZ tiles of the values' count and checks the grid.
void CheckLayout(const std::vector<float>& values, int32_t tilesX, int32_t tilesZ) {
  const size_t tiles = static_cast<size_t>(tilesX) * static_cast<size_t>(tilesZ);
  if (values.empty() || values.size() % tiles != 0) return;
  const size_t perTile = values.size() / tiles;
  // The smallest width above one that divides the tile, else one row.
  size_t width = perTile;
  for (size_t w = 2; w * w <= perTile; ++w) {
    if (perTile % w == 0) {
      width = w;
      break;
    }
  }
  const int32_t tileWidth = static_cast<int32_t>(width);
  const int32_t tileHeight = static_cast<int32_t>(perTile / width);
  std::vector<float> grid;
  fuzzing::Require(
      static_cast<bool>(terrain::AssembleTiles(values, tilesX, tilesZ, tileWidth, tileHeight, grid)),
      "values that make whole tiles are assembled");
  fuzzing::Require(grid.size() == values.size(), "the grid holds every value");
  const size_t columns = static_cast<size_t>(tilesX) * width;
  size_t next = 0;
  for (int32_t tz = 0; tz < tilesZ; ++tz) {
    for (int32_t tx = 0; tx < tilesX; ++tx) {
      for (int32_t y = 0; y < tileHeight; ++y) {
        for (int32_t x = 0; x < tileWidth; ++x) {
          const size_t row =
              static_cast<size_t>(tz) * static_cast<size_t>(tileHeight) + static_cast<size_t>(y);
          const size_t column = static_cast<size_t>(tx) * width + static_cast<size_t>(x);
          fuzzing::Require(SameBits(grid[row * columns + column], values[next++]),
                           "each value lands in its tile's place");
        }
      }
    }
  }
  // One value more than the layout holds is refused.
  const terrain::TerrainResult refused =
      terrain::AssembleTiles(values, tilesX, tilesZ, tileWidth + 1, tileHeight, grid);
  fuzzing::Require(!refused && !refused.Description().empty(),
                   "a count that does not match is refused with a reason");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  std::vector<float> values;
  const terrain::TerrainResult parsed = terrain::ParseNoiseArray(bytes, values);
  if (!parsed) {
    fuzzing::Require(!parsed.Description().empty(), "a refused file has a reason");
    return 0;
  }
  for (int32_t tilesZ = 1; tilesZ <= 2; ++tilesZ) {
    for (int32_t tilesX = 1; tilesX <= 3; ++tilesX) CheckLayout(values, tilesX, tilesZ);
  }
  return 0;
}
