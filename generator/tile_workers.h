// Tiles built on several threads and written in tile order.
#pragma once

#include <libnoise/noise.h>

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "generator/command_settings.h"
#include "generator/height_array_writer.h"
#include "noisemap/height_grid.h"
#include "noisemap/noise_map_builder_plane.h"
#include "platform/progress_line.h"

namespace duneforge {

// Builds the tiles of one run on worker threads, one per output module given,
// and appends their values to the height array strictly in tile order from
// the thread that calls Run. The unit of work is a piece: a whole tile when
// the tiles are many, a band of consecutive rows of a tile when they are too
// few to keep every worker busy, so that one large tile uses every core. A
// band's values are exactly those of its rows in the whole tile. Each worker
// has its own plane builder and grid over its own module, so no module or
// grid is shared between threads; each turns its piece into text itself, so
// the writer only writes. At most kTilesInFlightPerWorker pieces per worker
// are being built or waiting for the writer, whatever the tile count. Bands
// go to the array as they come, in order; when a band fails, the bands of
// its tile already appended are taken back, so the array holds the tiles
// before the failed one, as when tiles are built whole.
// The caller owns the modules, which must outlive the workers, and must not
// use them while Run runs.
class TileWorkers {
 public:
  static constexpr int kTilesInFlightPerWorker = 2;
  // Pieces per worker that band sizes aim at, so that workers finishing
  // at different times still find work, and a band's text stays small.
  static constexpr int kPiecesPerWorker = 16;

  // `outputModules`: one module per worker, each the output of a chain of
  // its own built from the same settings (a chain caches the values of its
  // shared rows, so no two workers may read one chain); at least one.
  // `bandRows` sets the rows of a band (at least 1; the last band of a tile
  // may be shorter); 0 chooses: whole tiles when there are kPiecesPerWorker
  // tiles per worker, else bands that give each worker about
  // kPiecesPerWorker pieces.
  TileWorkers(const CommandSettings& settings, const std::vector<const noise::module::Module*>& outputModules,
              int32_t bandRows = 0);
  // Stops the workers after the tiles they are building and waits for them.
  ~TileWorkers();
  TileWorkers(const TileWorkers&) = delete;
  TileWorkers& operator=(const TileWorkers&) = delete;

  // Builds every tile and appends its values to `out` in tile order,
  // reporting each written tile to `progress` when given. When a tile fails,
  // the tiles before it are written and its exception is thrown, exactly as
  // when the tiles are built one after the other; no tile after it is
  // started. The writer's exceptions pass. Runs once.
  void Run(HeightArrayWriter& out, platform::ProgressLine* progress = nullptr);

  // The grid of the last tile once Run has returned; an empty grid when the
  // run has no tile.
  const noise::utils::HeightGrid& LastTile() const;
  // Rows of a band; the tile height when every piece is a whole tile.
  int32_t BandRows() const { return bandRows_; }

 private:
  struct Worker {
    noise::utils::HeightGrid grid;
    noise::utils::NoiseMapBuilderPlane builder;
    std::thread thread;
  };
  // Text that keeps its storage from piece to piece. Room is made without
  // filling it, so pages the text never reaches are never touched.
  struct Text {
    std::unique_ptr<char[]> bytes;
    size_t capacity = 0;
    size_t size = 0;
    // Makes room for `more` bytes after the text, keeping it.
    void Reserve(size_t more);
  };
  // A piece between its worker and the writer.
  struct Slot {
    enum class State { kEmpty, kReady, kFailed };
    State state = State::kEmpty;
    Text text;
    std::exception_ptr error;
  };
  // The grid's values row by row in the height array's form.
  static void FormatPiece(const noise::utils::HeightGrid& grid, Text& text);

  void Work(Worker& worker);
  // Builds piece `piece` with `worker` into its grid, and keeps the rows of
  // the last tile.
  void BuildPiece(Worker& worker, int64_t piece);
  void Stop();

  const CommandSettings settings_;
  const int64_t tileCount_;
  // Whole tiles: bandRows_ is the tile height and bandsPerTile_ 1.
  int32_t bandRows_ = 1;
  int64_t bandsPerTile_ = 1;
  int64_t pieceCount_ = 0;
  std::vector<std::unique_ptr<Worker>> workers_;
  std::vector<Slot> slots_;
  // The last tile, put together from its pieces; each piece writes rows of
  // its own, so workers never share a row.
  noise::utils::HeightGrid lastTile_;
  std::mutex lastTileMutex_;

  std::mutex mutex_;
  std::condition_variable changed_;
  // Guarded by mutex_:
  int64_t nextPiece_ = 0;  // the next piece a worker takes
  int64_t endPiece_ = 0;   // no piece from here on is started: the count, or one after a failed piece
  int64_t taken_ = 0;      // pieces the writer has taken from their slots
  bool stop_ = false;
};

}  // namespace duneforge
