// The heights of a command file's tiles, built on every core into memory.
#pragma once

#include <cstdint>
#include <vector>

#include "generator/chain_plan_builder.h"
#include "generator/command_settings.h"
#include "generator/piece_plan.h"
#include "noisemap/evaluator_choice.h"
#include "platform/progress_report.h"

namespace duneforge {

// Builds every tile of `settings` as duneforge builds them, into one array
// of floats: tile after tile (x running fastest), each row by row from the
// lower z edge, or with `assemble` as one grid of (tilesX x tileWidth)
// columns and (tilesZ x tileHeight) rows, row 0 at the lower z edge. The
// work is cut into pieces by duneforge's PiecePlan for its thread count and
// memory budget, and each worker builds pieces of the rows' chain plan with
// a plane builder and grid of its own through BuildTileBand, so every
// value is exactly the one duneforge writes. The chain is evaluated as
// DUNEFORGE_EVALUATOR says, as in duneforge.
class TileGenerator {
 public:
  // A tile side outside 1 .. kLargestTileSide, where the settings make
  // tiles, throws a HeaderError naming tileWidth or tileHeight.
  TileGenerator(const CommandSettings& settings, bool assemble);
  TileGenerator(const TileGenerator&) = delete;
  TileGenerator& operator=(const TileGenerator&) = delete;

  // Builds every tile. When pieces fail, the exception of the first of them
  // in tile order is thrown, as duneforge reports it; the chain's and
  // builders' exceptions (noise::Exception types) pass. `progress`, when given,
  // hears how many pieces are done each time one more is, one call at a
  // time from any of the workers; what it throws ends the run as a piece's
  // failure does.
  void Run(platform::ProgressReport* progress = nullptr);

  // The values, once Run has returned.
  std::vector<float>& Values() { return values_; }
  int64_t TileCount() const { return tileCount_; }
  // The pieces the work is cut into.
  int64_t Pieces() const { return plan_.Pieces(); }

 private:
  void BuildPiece(const noise::utils::ChainPlan& chain, int64_t piece);
  // Where row `row` of tile `tile` starts in the values.
  size_t RowStart(int64_t tile, int32_t row) const;

  const CommandSettings settings_;
  const bool assemble_;
  const int64_t tileCount_;
  const PiecePlan plan_;
  const noise::utils::EvaluatorChoice evaluator_;
  std::vector<float> values_;
};

}  // namespace duneforge
