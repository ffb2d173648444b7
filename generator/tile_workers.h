// Tiles built on several threads and written in tile order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "generator/command_settings.h"
#include "generator/height_array_writer.h"
#include "generator/piece_plan.h"
#include "generator/piece_text.h"
#include "generator/preview_tile.h"
#include "noisemap/height_grid.h"
#include "noisemap/noise_map_builder_plane.h"
#include "platform/progress_line.h"

namespace duneforge {

// The ring of slots between the workers that build a run's pieces and the
// writer that appends them to the height array strictly in tile order from
// the thread that calls Run. A piece is a whole tile, or a band of
// consecutive rows of a tile, so that one large tile uses every core and a
// budget holds however many workers there are; a band's values are exactly
// those of its rows in the whole tile. A PieceRunner takes the pieces on the
// plan's workers, each with its own plane builder and grid, so no grid or
// evaluator is shared between threads; each worker turns its piece into
// text in its slot itself, so the writer only writes. Grids and texts take
// no more than the plan reserves: a grid holds one piece, a slot's text is
// made once at the plan's size and kept, and a piece is started only when
// its slot is free, whatever the tile count. A PieceAppender takes back the
// bands of a tile that fails, so the array holds the tiles before the
// failed one, as when tiles are built whole.
// The caller owns what the builders sample, which must outlive the workers.
class TileWorkers {
 public:
  // Sets up one worker's builder with what it samples, once, before any
  // thread starts: a chain plan and how it is evaluated, or a module of
  // its own for that worker.
  using SourceSetUp = std::function<void(noise::utils::NoiseMapBuilderPlane& builder)>;

  // `plan` is made for the settings' tiles and has at least one slot; its
  // Workers() builders are set up by `setUp`, one call each.
  TileWorkers(const CommandSettings& settings, const SourceSetUp& setUp, const PiecePlan& plan);
  // The workers of a chain plan, evaluated as `evaluator` says; every worker
  // reads the one plan.
  static SourceSetUp ForChain(const noise::utils::ChainPlan& chain, noise::utils::EvaluatorChoice evaluator);
  TileWorkers(const TileWorkers&) = delete;
  TileWorkers& operator=(const TileWorkers&) = delete;

  // Builds every tile and appends its values to `out` in tile order,
  // reporting each written tile to `progress` when given. When a tile fails,
  // the tiles before it are written and its exception is thrown, exactly as
  // when the tiles are built one after the other; no tile after it is
  // started. The writer's exceptions pass, once the workers have stopped.
  // Runs once.
  void Run(HeightArrayWriter& out, platform::ProgressReport* progress = nullptr);

  // The grid of the last tile once Run has returned; an empty grid when the
  // run has no tile.
  const noise::utils::HeightGrid& LastTile() const;

 private:
  struct Worker {
    noise::utils::HeightGrid grid;
    noise::utils::NoiseMapBuilderPlane builder;
  };
  // Builds piece `piece` with `worker` into its grid, keeps the rows of the
  // last tile, and turns the piece into text in its slot.
  void FillSlot(Worker& worker, int64_t piece);

  const CommandSettings settings_;
  const PiecePlan plan_;
  std::vector<std::unique_ptr<Worker>> workers_;
  // The ring of slots between the workers and the writer: piece p's text is
  // in slot p % slots, which is the writer's from the moment the piece is
  // built until the writer releases it.
  std::vector<PieceText> slots_;
  // The last tile, put together from its pieces; each piece writes rows of
  // its own, so workers never share a row.
  PreviewTile lastTile_;
};

}  // namespace duneforge
