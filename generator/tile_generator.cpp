#include "generator/tile_generator.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "generator/duneforge_run.h"
#include "generator/header_error.h"
#include "generator/header_field.h"
#include "generator/piece_runner.h"
#include "noisemap/error.h"
#include "noisemap/height_grid.h"
#include "noisemap/noise_map_builder_plane.h"

namespace duneforge {

namespace {

PiecePlan PlanFor(const CommandSettings& settings, int64_t tileCount) {
  const std::vector<std::string> unsized = TileSidesOutOfRange(settings);
  if (tileCount > 0 && !unsized.empty()) {
    throw HeaderError("tileWidth " + std::to_string(settings.tileWidth) + " and tileHeight " +
                          std::to_string(settings.tileHeight) + " must lie in 1 .. " +
                          std::to_string(kLargestTileSide),
                      unsized);
  }
  return PiecePlan::Choose(tileCount, settings.tileWidth, settings.tileHeight, ThreadCount(),
                           MemoryBudgetBytes());
}

}  // namespace

TileGenerator::TileGenerator(const CommandSettings& settings, bool assemble)
    : settings_(settings),
      assemble_(assemble),
      tileCount_(duneforge::TileCount(settings)),
      plan_(PlanFor(settings, tileCount_)),
      evaluator_(EvaluatorFromEnvironment()) {
  const uint64_t perTile =
      static_cast<uint64_t>(settings.tileWidth) * static_cast<uint64_t>(settings.tileHeight);
  if (tileCount_ > 0 && perTile > values_.max_size() / static_cast<uint64_t>(tileCount_)) {
    throw noise::utils::OutOfMemoryError(std::to_string(tileCount_) + " tiles of " + std::to_string(perTile) +
                                         " values do not fit in memory");
  }
  values_.resize(static_cast<size_t>(perTile * static_cast<uint64_t>(tileCount_)));
}

size_t TileGenerator::RowStart(int64_t tile, int32_t row) const {
  const size_t width = static_cast<size_t>(settings_.tileWidth);
  const size_t height = static_cast<size_t>(settings_.tileHeight);
  if (!assemble_) return (static_cast<size_t>(tile) * height + static_cast<size_t>(row)) * width;
  const size_t cx = static_cast<size_t>(tile % settings_.tilesX);
  const size_t cz = static_cast<size_t>(tile / settings_.tilesX);
  const size_t columns = static_cast<size_t>(settings_.tilesX) * width;
  return (cz * height + static_cast<size_t>(row)) * columns + cx * width;
}

void TileGenerator::BuildPiece(const noise::utils::ChainPlan& chain, int64_t piece) {
  // A builder and grid per piece cost little next to its values, and keep
  // every piece independent of the one before.
  noise::utils::HeightGrid grid;
  noise::utils::NoiseMapBuilderPlane builder;
  SetUpPlaneBuilder(builder, chain, grid, settings_.tileWidth, settings_.tileHeight, evaluator_);
  const PlannedPiece planned = plan_.Piece(piece);
  BuildTileBand(settings_, builder, planned.tile, planned.firstRow, planned.rows);
  for (int32_t r = 0; r < planned.rows; ++r) {
    std::copy_n(grid.RowData(r), settings_.tileWidth,
                values_.begin() + static_cast<ptrdiff_t>(RowStart(planned.tile, planned.firstRow + r)));
  }
}

void TileGenerator::Run(platform::ProgressReport* progress) {
  // The chain's plan first, so that a row it refuses stops the run at once;
  // every worker reads the one plan.
  const noise::utils::ChainPlan chain = BuildChainPlan(settings_);
  std::mutex progressMutex;
  int64_t donePieces = 0;
  PieceRunner runner(plan_.Pieces(), plan_.Workers());
  runner.Run([&](int, int64_t piece) {
    BuildPiece(chain, piece);
    if (progress != nullptr) {
      // One report at a time; what it throws fails the piece.
      std::lock_guard<std::mutex> lock(progressMutex);
      progress->Update(static_cast<uint64_t>(++donePieces));
    }
  });
}

}  // namespace duneforge
