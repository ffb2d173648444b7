#include "generator/tile_generator.h"

#include <algorithm>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "generator/duneforge_run.h"
#include "generator/header_error.h"
#include "generator/header_field.h"
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
  failedPiece_ = plan_.Pieces();
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

void TileGenerator::Fail(int64_t piece) {
  if (piece < failedPiece_) {
    failedPiece_ = piece;
    failure_ = std::current_exception();
  }
}

void TileGenerator::Work(const noise::utils::ChainPlan& chain, platform::ProgressReport* progress) {
  for (;;) {
    int64_t piece = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (nextPiece_ >= failedPiece_) return;
      piece = nextPiece_++;
    }
    try {
      BuildPiece(chain, piece);
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex_);
      Fail(piece);
      continue;
    }
    if (progress != nullptr) {
      std::lock_guard<std::mutex> lock(mutex_);
      try {
        progress->Update(static_cast<uint64_t>(++donePieces_));
      } catch (...) {
        Fail(piece);
      }
    }
  }
}

void TileGenerator::Run(platform::ProgressReport* progress) {
  // The chain's plan first, so that a row it refuses stops the run at once;
  // every worker reads the one plan.
  const noise::utils::ChainPlan chain = BuildChainPlan(settings_);
  std::vector<std::thread> threads;
  for (int i = 1; i < plan_.Workers(); ++i) {
    try {
      threads.emplace_back([this, &chain, progress] { Work(chain, progress); });
    } catch (const std::system_error&) {
      break;  // the threads there are share the pieces
    }
  }
  Work(chain, progress);
  for (std::thread& thread : threads) thread.join();
  if (failure_) std::rethrow_exception(failure_);
}

}  // namespace duneforge
