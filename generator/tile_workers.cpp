#include "generator/tile_workers.h"

#include <algorithm>
#include <new>
#include <string>
#include <system_error>

#include "generator/duneforge_run.h"
#include "generator/height_value_format.h"
#include "noisemap/error.h"

namespace duneforge {

namespace {

// One value and its comma at the longest.
constexpr size_t kMaxEntryChars = kMaxHeightValueChars + 1;

// The grid's values row by row in the height array's form. The text keeps its
// storage from tile to tile; it grows a row at a time, so it holds about
// the text itself rather than room for the longest value everywhere.
void FormatTile(const noise::utils::HeightGrid& grid, std::vector<char>& text) {
  const size_t width = static_cast<size_t>(grid.GetWidth());
  size_t used = 0;
  text.clear();
  for (int y = 0; y < grid.GetHeight(); ++y) {
    if (text.size() - used < width * kMaxEntryChars) {
      text.resize(std::max(text.size() * 2, used + width * kMaxEntryChars));
    }
    const float* row = grid.RowData(y);
    char* out = text.data() + used;
    for (size_t x = 0; x < width; ++x) {
      out = FormatHeightValue(row[x], out);
      *out++ = ',';
    }
    used = static_cast<size_t>(out - text.data());
  }
  text.resize(used);
}

}  // namespace

TileWorkers::TileWorkers(const CommandSettings& settings,
                         const std::vector<const noise::module::Module*>& outputModules)
    : settings_(settings), tileCount_(TileCount(settings)), endTile_(tileCount_) {
  for (const noise::module::Module* module : outputModules) {
    auto worker = std::make_unique<Worker>();
    worker->builder.AttachModule(*module);
    worker->builder.SetDestGrid(worker->grid);
    worker->builder.SetGridSize(settings.tileWidth, settings.tileHeight);
    worker->builder.SetSeamless(false);
    workers_.push_back(std::move(worker));
  }
  slots_.resize(workers_.size() * kTilesInFlightPerWorker);
}

TileWorkers::~TileWorkers() { Stop(); }

void TileWorkers::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  for (const std::unique_ptr<Worker>& worker : workers_) {
    if (worker->thread.joinable()) worker->thread.join();
  }
}

void TileWorkers::Work(Worker& worker) {
  const int64_t inFlight = static_cast<int64_t>(slots_.size());
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    // A tile is taken only when its slot is free: the writer is done with
    // the tile inFlight places before it.
    changed_.wait(lock, [&] { return stop_ || nextTile_ >= endTile_ || nextTile_ < written_ + inFlight; });
    if (stop_ || nextTile_ >= endTile_) return;
    const int64_t tile = nextTile_++;
    Slot& slot = slots_[static_cast<size_t>(tile % inFlight)];
    lock.unlock();

    std::exception_ptr error;
    try {
      BuildTile(settings_, worker.builder, tile);
      FormatTile(worker.grid, slot.text);
    } catch (const std::bad_alloc&) {
      error = std::make_exception_ptr(
          noise::utils::OutOfMemoryError("tile " + std::to_string(tile) + ": no memory for its values"));
    } catch (...) {
      error = std::current_exception();
    }

    lock.lock();
    slot.state = error ? Slot::State::kFailed : Slot::State::kReady;
    slot.error = error;
    // Tiles after a failed one are never written: start none of them.
    if (error) endTile_ = std::min(endTile_, tile + 1);
    if (tile == tileCount_ - 1) lastTileWorker_ = &worker;
    changed_.notify_all();
  }
}

void TileWorkers::Run(HeightArrayWriter& out, platform::ProgressLine* progress) {
  if (tileCount_ == 0) return;
  try {
    for (const std::unique_ptr<Worker>& worker : workers_) {
      Worker& w = *worker;
      w.thread = std::thread([this, &w] { Work(w); });
    }
  } catch (const std::system_error& e) {
    Stop();
    throw noise::utils::OutOfMemoryError(std::string("cannot start the threads that build tiles: ") +
                                         e.what());
  }

  const int64_t inFlight = static_cast<int64_t>(slots_.size());
  for (int64_t tile = 0; tile < tileCount_; ++tile) {
    Slot& slot = slots_[static_cast<size_t>(tile % inFlight)];
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return slot.state != Slot::State::kEmpty; });
      if (slot.state == Slot::State::kFailed) {
        const std::exception_ptr error = slot.error;
        lock.unlock();
        Stop();
        std::rethrow_exception(error);
      }
    }
    // The slot is the writer's until it is marked empty again.
    out.AppendText(slot.text.data(), slot.text.size());
    {
      std::lock_guard<std::mutex> lock(mutex_);
      slot.state = Slot::State::kEmpty;
      ++written_;
    }
    changed_.notify_all();
    if (progress != nullptr) progress->Update(static_cast<uint64_t>(tile + 1));
  }
  Stop();
}

const noise::utils::HeightGrid& TileWorkers::LastTile() const {
  return lastTileWorker_ != nullptr ? lastTileWorker_->grid : noTile_;
}

}  // namespace duneforge
