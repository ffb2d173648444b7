// Fuzz target of the terrain room's HMP reader: any bytes as an HMP file,
// walked as modelinfo and terrainview walk it, then read and prepared as
// terrainconvert loads an .hmp input. The walk's figures are checked against
// the file's size and the header's counts. (modelinfo's description of the
// records is left out: it took six times as long as the reading.)
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "terrain/hmp_file.h"
#include "terrain/terrain_loader.h"
#include "terrain/terrain_saver.h"

namespace {

// Frames beyond these are not copied out: a count from the file may be large.
constexpr size_t kMaxFramesRead = 16;

void Walk(const std::vector<uint8_t>& bytes) {
  terrain::HmpFile file;
  if (!file.Parse(bytes)) {
    fuzzing::Require(file.LastFailure().IsFailure(), "a refused file has a reason");
    return;
  }
  const loamwriter::HmpHeader& header = file.Header();
  fuzzing::Require(file.FileSize() == bytes.size(), "the file is kept whole");
  fuzzing::Require(file.WalkEnd() <= file.FileSize(), "the walk ends inside the file");
  fuzzing::Require(file.WalkComplete() != file.WalkProblem().IsFailure(), "an unfinished walk says why");
  if (file.WalkComplete()) {
    fuzzing::Require(file.Skins().size() == static_cast<size_t>(header.numSkins) &&
                         file.Frames().size() == static_cast<size_t>(header.numFrames),
                     "a complete walk finds every record");
  }
  for (const terrain::HmpSkinInfo& skin : file.Skins()) {
    fuzzing::Require(skin.offset >= terrain::HmpFile::kHeaderSize && skin.offset < file.FileSize(),
                     "a skin lies after the header");
  }
  std::vector<uint16_t> heights;
  for (size_t i = 0; i < file.Frames().size() && i < kMaxFramesRead; ++i) {
    if (file.FrameHeights(i, heights)) {
      fuzzing::Require(heights.size() == static_cast<size_t>(header.numVertices),
                       "a frame holds the header's vertex count");
    }
  }
  int32_t columns = 0, rows = 0;
  platform::FailureReason reason;
  if (file.FirstFrameGrid(columns, rows, heights, reason)) {
    fuzzing::Require(columns > 0 && rows > 0 &&
                         heights.size() == static_cast<uint64_t>(columns) * static_cast<uint64_t>(rows),
                     "the first frame is a whole grid");
    (void)file.Height(heights.front());
  } else {
    fuzzing::Require(reason.IsFailure(), "a frame that is no grid has a reason");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  Walk(bytes);

  terrain::TerrainOptions options;
  options.format = terrain::TerrainFormat::kHmp;
  terrain::TerrainGrid terrain;
  terrain::TerrainFormat format = terrain::TerrainFormat::kUnknown;
  const terrain::TerrainResult loaded = terrain::LoadTerrain(bytes, options, terrain, format);
  if (loaded) {
    fuzzing::Require(
        terrain.packed.size() == static_cast<uint64_t>(terrain.columns) * static_cast<uint64_t>(terrain.rows),
        "a terrain read has a height per grid point");
    const terrain::TerrainResult prepared = terrain::PrepareTerrain(options, terrain);
    if (!prepared) fuzzing::Require(!prepared.Description().empty(), "a refused terrain has a reason");
  } else {
    fuzzing::Require(!loaded.Description().empty(), "a refused file has a reason");
  }
  return 0;
}
