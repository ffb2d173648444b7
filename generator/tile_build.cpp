#include "generator/tile_build.h"

#include <sstream>

#include "generator/exception_text.h"
#include "generator/header_error.h"
#include "generator/header_field.h"

namespace duneforge {

namespace {

std::string BoundsText(const TileBounds& b) {
  std::ostringstream text;
  text << "x " << b.lowerX << " .. " << b.upperX << ", z " << b.lowerZ << " .. " << b.upperZ;
  return text.str();
}

}  // namespace

std::vector<std::string> TileSidesOutOfRange(const CommandSettings& settings) {
  std::vector<std::string> sides;
  if (!HeaderFieldNamed("tileWidth").InRange(settings.tileWidth)) sides.emplace_back("tileWidth");
  if (!HeaderFieldNamed("tileHeight").InRange(settings.tileHeight)) sides.emplace_back("tileHeight");
  return sides;
}

TileBounds ComputeTileBounds(const CommandSettings& settings, int32_t cx, int32_t cz) {
  const double nX = static_cast<double>(settings.tilesX);
  const double nZ = static_cast<double>(settings.tilesZ);
  const double lowerX = static_cast<double>(settings.lowerX);
  const double upperX = static_cast<double>(settings.upperX);
  const double lowerZ = static_cast<double>(settings.lowerZ);
  const double upperZ = static_cast<double>(settings.upperZ);
  const double extentX = upperX - lowerX;
  const double extentZ = upperZ - lowerZ;
  // Counts up to 2^31 - 1 are exact in a double, and so is nX - cx - 1.
  TileBounds bounds;
  bounds.lowerX = lowerX + (static_cast<double>(cx) / nX) * extentX;
  bounds.upperX = upperX - ((nX - static_cast<double>(cx) - 1.0) / nX) * extentX;
  bounds.lowerZ = lowerZ + (static_cast<double>(cz) / nZ) * extentZ;
  bounds.upperZ = upperZ - ((nZ - static_cast<double>(cz) - 1.0) / nZ) * extentZ;
  return bounds;
}

int64_t TileCount(const CommandSettings& settings) {
  if (settings.tilesX < 1 || settings.tilesZ < 1) return 0;
  // Up to (2^31 - 1)^2 tiles: the count needs 64 bits.
  return static_cast<int64_t>(settings.tilesX) * static_cast<int64_t>(settings.tilesZ);
}

namespace {

// Sets the bounds of tile `tile` on `builder`, then builds the whole tile
// (rowCount < 0) or the band of rows from firstRow.
void BuildTileRows(const CommandSettings& settings, noise::utils::NoiseMapBuilderPlane& builder, int64_t tile,
                   int32_t firstRow, int32_t rowCount) {
  const int32_t cx = static_cast<int32_t>(tile % settings.tilesX);
  const int32_t cz = static_cast<int32_t>(tile / settings.tilesX);
  const TileBounds bounds = ComputeTileBounds(settings, cx, cz);
  // The same test the builder makes, written so that NaN bounds fail it.
  if (!(bounds.lowerX < bounds.upperX) || !(bounds.lowerZ < bounds.upperZ)) {
    std::vector<std::string> fields;
    if (!(bounds.lowerX < bounds.upperX)) fields = {"lowerX", "upperX"};
    if (!(bounds.lowerZ < bounds.upperZ)) fields.insert(fields.end(), {"lowerZ", "upperZ"});
    throw HeaderError("tile " + std::to_string(tile) + " (" + std::to_string(cx) + ", " + std::to_string(cz) +
                          "): bounds " + BoundsText(bounds) +
                          " are empty or reversed; lowerX must lie below upperX and lowerZ below upperZ",
                      fields);
  }
  try {
    builder.SetBounds(bounds.lowerX, bounds.upperX, bounds.lowerZ, bounds.upperZ);
    if (rowCount < 0) {
      builder.Build();
    } else {
      builder.BuildBand(firstRow, rowCount);
    }
  } catch (const noise::Exception&) {
    const std::string context = "tile " + std::to_string(tile) + " (tileWidth " +
                                std::to_string(settings.tileWidth) + ", tileHeight " +
                                std::to_string(settings.tileHeight) + ")";
    // The builder refuses a tile side it cannot hold in its own words; the
    // sides at fault go with them.
    const std::vector<std::string> sides = TileSidesOutOfRange(settings);
    if (sides.empty()) RethrowInContext(context);
    try {
      throw;
    } catch (const noise::ExceptionInvalidParam&) {
      throw HeaderError(context + ": " + DescribeCurrentException(), sides);
    } catch (...) {
      RethrowInContext(context);
    }
  }
}

}  // namespace

void SetUpPlaneBuilder(noise::utils::NoiseMapBuilderPlane& builder, const noise::utils::ChainPlan& chain,
                       noise::utils::HeightGrid& grid, int32_t width, int32_t height,
                       noise::utils::EvaluatorChoice evaluator) {
  builder.AttachPlan(chain);
  builder.SetEvaluator(evaluator);
  SetUpPlaneGrid(builder, grid, width, height);
}

void SetUpPlaneGrid(noise::utils::NoiseMapBuilderPlane& builder, noise::utils::HeightGrid& grid,
                    int32_t width, int32_t height) {
  builder.SetDestGrid(grid);
  builder.SetGridSize(width, height);
  builder.SetSeamless(false);
}

void BuildTile(const CommandSettings& settings, noise::utils::NoiseMapBuilderPlane& builder, int64_t tile) {
  BuildTileRows(settings, builder, tile, 0, -1);
}

void BuildTileBand(const CommandSettings& settings, noise::utils::NoiseMapBuilderPlane& builder, int64_t tile,
                   int32_t firstRow, int32_t rowCount) {
  BuildTileRows(settings, builder, tile, firstRow, rowCount);
}

void BuildPiece(const CommandSettings& settings, noise::utils::NoiseMapBuilderPlane& builder,
                const PlannedPiece& piece) {
  if (piece.wholeTile) {
    BuildTile(settings, builder, piece.tile);
  } else {
    BuildTileBand(settings, builder, piece.tile, piece.firstRow, piece.rows);
  }
}

}  // namespace duneforge
