// The tiles of a command file built into a height array, as duneforge
// builds them.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "generator/chain_plan_builder.h"
#include "generator/command_settings.h"
#include "generator/height_array_writer.h"
#include "generator/piece_plan.h"
#include "generator/preview_tile.h"
#include "generator/tile_workers.h"
#include "noisemap/evaluator_choice.h"
#include "noisemap/height_grid.h"
#include "noisemap/noise_map_builder_plane.h"
#include "platform/progress_report.h"

namespace duneforge {

// Builds every tile of `settings` and appends the values to a height array
// in tile order, on up to `threads` threads in pieces that keep the memory
// they reserve within `budgetBytes`, so the array is the same for every
// thread count and budget. The chain's plan, which every worker reads, is
// made when the run is made, so a row the chain builder refuses throws
// before any file is touched.
class HeightArrayRun {
 public:
  HeightArrayRun(const CommandSettings& settings, int threads, int64_t budgetBytes,
                 noise::utils::EvaluatorChoice evaluator);
  ~HeightArrayRun();
  HeightArrayRun(const HeightArrayRun&) = delete;
  HeightArrayRun& operator=(const HeightArrayRun&) = delete;

  int64_t TileCount() const { return tileCount_; }

  // Builds the tiles into `out`, reporting each tile written to `progress`
  // when given. When a tile fails (or the report throws), the tiles before
  // it are in the array and the exception passes. Runs once.
  void Write(HeightArrayWriter& out, platform::ProgressReport* progress = nullptr);

  // The last tile's grid, for the preview, once Write has returned.
  const noise::utils::HeightGrid& LastTile() const;

 private:
  const CommandSettings settings_;
  const int64_t tileCount_;
  const PiecePlan plan_;
  const noise::utils::ChainPlan chain_;
  // The run's own grid when it builds the pieces itself; the whole last
  // tile when those pieces are bands.
  noise::utils::HeightGrid grid_;
  PreviewTile lastTile_;
  noise::utils::NoiseMapBuilderPlane builder_;
  std::unique_ptr<TileWorkers> workers_;
};

}  // namespace duneforge
