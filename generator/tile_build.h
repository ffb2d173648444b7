// One tile, or a band of its rows, built with a plane builder: the tile's
// bounds, the builder's set-up and the errors that name the tile.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "generator/command_settings.h"
#include "generator/piece_plan.h"
#include "noisemap/evaluator_choice.h"
#include "noisemap/height_grid.h"
#include "noisemap/noise_map_builder_plane.h"

namespace duneforge {

// The rectangle of one tile, in double precision.
struct TileBounds {
  double lowerX;
  double upperX;
  double lowerZ;
  double upperZ;
};

// The bounds of the tile at (cx, cz) of tilesX x tilesZ tiles: each fraction
// is formed first and then multiplied by the extent, lower bounds measured
// from the lower edge of the area and upper bounds from its upper edge, so
// the first tile starts exactly at (lowerX, lowerZ) and the last ends
// exactly at (upperX, upperZ). The counts are at least 1 and 0 <= cx <
// tilesX, 0 <= cz < tilesZ.
TileBounds ComputeTileBounds(const CommandSettings& settings, int32_t cx, int32_t cz);

// The names of the tile sides (tileWidth, tileHeight) outside 1 ..
// kLargestTileSide, the sides a tile grid holds; none when both fit.
std::vector<std::string> TileSidesOutOfRange(const CommandSettings& settings);

// The number of tiles, tilesX x tilesZ; 0 when either count is below 1 (also
// when both are negative).
int64_t TileCount(const CommandSettings& settings);

// Sets `builder` up to build grids of `width` x `height` into `grid`, not
// seamless: the set-up every builder of tiles, bands and previews shares,
// whatever it samples.
void SetUpPlaneGrid(noise::utils::NoiseMapBuilderPlane& builder, noise::utils::HeightGrid& grid,
                    int32_t width, int32_t height);
// The same for a builder over `chain`, evaluated with `evaluator`.
void SetUpPlaneBuilder(noise::utils::NoiseMapBuilderPlane& builder, const noise::utils::ChainPlan& chain,
                       noise::utils::HeightGrid& grid, int32_t width, int32_t height,
                       noise::utils::EvaluatorChoice evaluator);

// Builds tile `tile` (0 .. TileCount - 1, the x position running fastest)
// with `builder`, which is configured with the output module, its grid and
// the tile size. Bounds that are empty or reversed throw a HeaderError
// naming the tile and the bounds of the axis at fault; the builder's exceptions
// pass with the tile named in front of their text.
void BuildTile(const CommandSettings& settings, noise::utils::NoiseMapBuilderPlane& builder, int64_t tile);
// Builds rows firstRow .. firstRow + rowCount - 1 of tile `tile`, exactly
// BuildTile's values for those rows, into the builder's grid (resized to
// the band), with BuildTile's checks and errors.
void BuildTileBand(const CommandSettings& settings, noise::utils::NoiseMapBuilderPlane& builder, int64_t tile,
                   int32_t firstRow, int32_t rowCount);
// Builds one piece of a plan: its whole tile with BuildTile, or its band of
// rows with BuildTileBand.
void BuildPiece(const CommandSettings& settings, noise::utils::NoiseMapBuilderPlane& builder,
                const PlannedPiece& piece);

}  // namespace duneforge
