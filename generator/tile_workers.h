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
// the thread that calls Run. Each worker has its own plane builder and grid
// over its own module, so no module or grid is shared between threads; each
// turns its tile into text itself, so the writer only writes. At most
// kTilesInFlightPerWorker tiles per worker are being built or waiting to be
// written at any time, whatever the tile count. The caller owns the modules,
// which must outlive the workers, and must not use them while Run runs.
class TileWorkers {
 public:
  static constexpr int kTilesInFlightPerWorker = 2;

  // `outputModules`: one module per worker, each the output of a chain built
  // from the same settings; at least one.
  TileWorkers(const CommandSettings& settings,
              const std::vector<const noise::module::Module*>& outputModules);
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

 private:
  struct Worker {
    noise::utils::HeightGrid grid;
    noise::utils::NoiseMapBuilderPlane builder;
    std::thread thread;
  };
  // A tile between its worker and the writer.
  struct Slot {
    enum class State { kEmpty, kReady, kFailed };
    State state = State::kEmpty;
    std::vector<char> text;
    std::exception_ptr error;
  };

  void Work(Worker& worker);
  void Stop();

  const CommandSettings settings_;
  const int64_t tileCount_;
  std::vector<std::unique_ptr<Worker>> workers_;
  std::vector<Slot> slots_;
  noise::utils::HeightGrid noTile_;

  std::mutex mutex_;
  std::condition_variable changed_;
  // Guarded by mutex_:
  int64_t nextTile_ = 0;  // the next tile a worker takes
  int64_t endTile_;       // no tile from here on is started: the count, or one after a failed tile
  int64_t written_ = 0;   // tiles the writer has written
  bool stop_ = false;
  const Worker* lastTileWorker_ = nullptr;
};

}  // namespace duneforge
