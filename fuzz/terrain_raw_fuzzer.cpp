// Fuzz target of the RAW terrain reader, through terrainconvert's reading and
// preparing of a terrain. The first nine bytes are the command line's part:
// a flag byte (bit 0: --range given), --size as two 16-bit numbers (zero and
// negative ones included) and the range as two 16-bit numbers; the rest is
// the file. A file that reads must give the samples back exactly, the
// picture's north row as the terrain's last row.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "terrain/terrain_loader.h"
#include "terrain/terrain_saver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzing::FuzzInput input(data, size);
  terrain::TerrainOptions settings;
  settings.format = terrain::TerrainFormat::kRaw;
  const uint8_t flags = input.U8();
  settings.columns = static_cast<int16_t>(input.U16());
  settings.rows = static_cast<int16_t>(input.U16());
  const int16_t low = static_cast<int16_t>(input.U16()), high = static_cast<int16_t>(input.U16());
  if ((flags & 1u) != 0 && low < high) {
    settings.hasRange = true;
    settings.rangeLow = low;
    settings.rangeHigh = high;
  }
  const size_t used = size - input.Remaining();
  const std::vector<uint8_t> file(data + used, data + size);

  terrain::TerrainGrid terrain;
  terrain::TerrainFormat format = terrain::TerrainFormat::kUnknown;
  const terrain::TerrainResult loaded = terrain::LoadTerrain(file, settings, terrain, format);
  if (!loaded) {
    fuzzing::Require(!loaded.Description().empty(), "a refused file has a reason");
    return 0;
  }
  fuzzing::Require(terrain.columns == settings.columns && terrain.rows == settings.rows,
                   "the terrain has the given size");
  const size_t columns = static_cast<size_t>(terrain.columns), rows = static_cast<size_t>(terrain.rows);
  fuzzing::Require(terrain.packed.size() == columns * rows && terrain.heights.size() == columns * rows &&
                       file.size() == 2 * columns * rows,
                   "every sample is read");
  for (size_t y = 0; y < rows; ++y) {
    for (size_t x = 0; x < columns; ++x) {
      const size_t at = 2 * ((rows - 1 - y) * columns + x);
      fuzzing::Require(terrain.packed[y * columns + x] == (file[at] | file[at + 1] << 8),
                       "each sample is kept exactly, rows from the south");
    }
  }
  const terrain::TerrainResult prepared = terrain::PrepareTerrain(settings, terrain);
  if (!prepared) fuzzing::Require(!prepared.Description().empty(), "a refused terrain has a reason");
  return 0;
}
