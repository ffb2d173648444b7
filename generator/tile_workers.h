// Tiles built on several threads and written in tile order.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
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

// Builds the tiles of one run on the plan's worker threads and appends their values to the height array
// strictly in tile order from the thread that calls Run. The unit of work is a piece of the plan: a whole
// tile, or a band of consecutive rows of a tile, so that one large tile uses every core and a budget holds
// however many workers there are. A band's values are exactly those of its rows in the whole tile. Each
// worker has its own plane builder and grid, so no grid or evaluator is
// shared between threads; each turns its piece into text
// in a slot itself, so the writer only writes. Grids and texts take no more
// than the plan reserves: a grid holds one piece, a slot's text is made
// once at the plan's size and kept, and a piece is started only when its
// slot is free, whatever the tile count. Bands go to the array as they
// come, in order; when a band fails, the bands of its tile already appended
// are taken back, so the array holds the tiles before the failed one, as
// when tiles are built whole.
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
  // Stops the workers after the tiles they are building and waits for them.
  ~TileWorkers();
  TileWorkers(const TileWorkers&) = delete;
  TileWorkers& operator=(const TileWorkers&) = delete;

  // Builds every tile and appends its values to `out` in tile order,
  // reporting each written tile to `progress` when given. When a tile fails,
  // the tiles before it are written and its exception is thrown, exactly as
  // when the tiles are built one after the other; no tile after it is
  // started. The writer's exceptions pass. Runs once.
  void Run(HeightArrayWriter& out, platform::ProgressReport* progress = nullptr);

  // The grid of the last tile once Run has returned; an empty grid when the
  // run has no tile.
  const noise::utils::HeightGrid& LastTile() const;

 private:
  struct Worker {
    noise::utils::HeightGrid grid;
    noise::utils::NoiseMapBuilderPlane builder;
    std::thread thread;
  };
  // A piece between its worker and the writer.
  struct Slot {
    enum class State { kEmpty, kReady, kFailed };
    State state = State::kEmpty;
    PieceText text;
    std::exception_ptr error;
  };
  void Work(Worker& worker);
  // Builds piece `piece` with `worker` into its grid, and keeps the rows of
  // the last tile.
  void BuildPiece(Worker& worker, int64_t piece);
  void Stop();

  const CommandSettings settings_;
  const PiecePlan plan_;
  const int64_t tileCount_;
  const int64_t bandsPerTile_;  // 1 for whole tiles
  const int64_t pieceCount_;
  std::vector<std::unique_ptr<Worker>> workers_;
  std::vector<Slot> slots_;
  // The last tile, put together from its pieces; each piece writes rows of
  // its own, so workers never share a row.
  PreviewTile lastTile_;

  std::mutex mutex_;
  std::condition_variable changed_;
  // Guarded by mutex_:
  int64_t nextPiece_ = 0;  // the next piece a worker takes
  int64_t endPiece_ = 0;   // no piece from here on is started: the count, or one after a failed piece
  int64_t taken_ = 0;      // pieces the writer has taken from their slots
  bool stop_ = false;
};

}  // namespace duneforge
