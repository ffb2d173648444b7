#include "tools/terrain_options.h"

#include <cstdio>
#include <string>
#include <vector>

#include "render/grid_arguments.h"
#include "terrain/terrain_loader.h"

namespace tools {

void AddTerrainInputOptions(OptionParser& parser, terrain::TerrainOptions& options) {
  using Values = std::vector<std::string>;
  parser.AddOption("--size", "COLUMNSxROWS", "the grid of a height array or RAW file", [&](const Values& v) {
    return render::ParseGridPair(v[0].c_str(), options.columns, options.rows);
  });
  parser.AddOption(
      "--tiles", "NXxNZ",
      "the height array holds NX x NZ tiles, x running fastest, as duneforge writes them (default 1x1)",
      [&](const Values& v) { return render::ParseGridPair(v[0].c_str(), options.tilesX, options.tilesZ); });
  parser.AddOption(
      "--format", "FORMAT",
      "read INPUT as txt (height array), hmp, png or raw whatever its name; needed where neither the "
      "name nor the content tells a height array from a RAW file",
      [&](const Values& v) {
        options.format = terrain::FormatOfWord(v[0]);
        return options.format != terrain::TerrainFormat::kUnknown &&
               options.format != terrain::TerrainFormat::kObj;
      },
      "--format takes txt, hmp, png or raw");
}

int LoadTerrainInput(const OptionParser& parser, const std::string& input,
                     const terrain::TerrainOptions& options, terrain::TerrainGrid& grid,
                     terrain::TerrainFormat& format) {
  const terrain::TerrainResult loaded = terrain::LoadTerrain(input, options, grid, format);
  if (loaded) return kExitDone;
  // Options that do not say what the file needs are the command line's to
  // mend.
  if (loaded.GetKind() == terrain::TerrainResult::Kind::kInvalidArgument)
    return parser.UsageError(loaded.Text());
  std::fprintf(stderr, "%s: %s\n", parser.Program().c_str(), loaded.Text().c_str());
  return kExitFailed;
}

}  // namespace tools
