#include "generator/tile_workers.h"

#include <algorithm>
#include <cstring>
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
                         const std::vector<const noise::module::Module*>& outputModules, int32_t bandRows)
    : settings_(settings), tileCount_(TileCount(settings)) {
  for (const noise::module::Module* module : outputModules) {
    auto worker = std::make_unique<Worker>();
    worker->builder.AttachModule(*module);
    worker->builder.SetDestGrid(worker->grid);
    worker->builder.SetGridSize(settings.tileWidth, settings.tileHeight);
    worker->builder.SetSeamless(false);
    workers_.push_back(std::move(worker));
  }
  slots_.resize(workers_.size() * kTilesInFlightPerWorker);

  // A tile height the builder refuses leaves whole tiles, whose build
  // reports it.
  const int64_t height = settings.tileHeight;
  const int64_t wanted = static_cast<int64_t>(workers_.size()) * kPiecesPerWorker;
  int64_t rows = height;
  if (bandRows > 0) {
    rows = bandRows;
  } else if (tileCount_ > 0 && tileCount_ < wanted) {
    const int64_t bands = (wanted + tileCount_ - 1) / tileCount_;
    rows = (height + bands - 1) / bands;
  }
  if (height > 0 && rows < height) {
    bandRows_ = static_cast<int32_t>(rows);
    bandsPerTile_ = (height + rows - 1) / rows;
  } else {
    bandRows_ = settings.tileHeight;
    bandsPerTile_ = 1;
  }
  pieceCount_ = tileCount_ * bandsPerTile_;
  endPiece_ = pieceCount_;
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

void TileWorkers::BuildPiece(Worker& worker, int64_t piece) {
  const int64_t tile = piece / bandsPerTile_;
  int32_t firstRow = 0;
  if (bandsPerTile_ == 1) {
    BuildTile(settings_, worker.builder, tile);
  } else {
    firstRow = static_cast<int32_t>(piece % bandsPerTile_) * bandRows_;
    BuildTileBand(settings_, worker.builder, tile, firstRow,
                  std::min(bandRows_, settings_.tileHeight - firstRow));
  }
  if (tile != tileCount_ - 1) return;
  // The preview's tile: its rows join the whole tile. The first piece to
  // arrive sizes it; the lock orders that before every copy.
  std::lock_guard<std::mutex> lock(lastTileMutex_);
  if (lastTile_.GetWidth() != settings_.tileWidth || lastTile_.GetHeight() != settings_.tileHeight) {
    lastTile_.Resize(settings_.tileWidth, settings_.tileHeight);
  }
  const size_t rowBytes = static_cast<size_t>(worker.grid.GetWidth()) * sizeof(float);
  for (int y = 0; y < worker.grid.GetHeight(); ++y) {
    std::memcpy(lastTile_.RowData(firstRow + y), worker.grid.RowData(y), rowBytes);
  }
}

void TileWorkers::Work(Worker& worker) {
  const int64_t inFlight = static_cast<int64_t>(slots_.size());
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    // A piece is taken only when its slot is free: the writer is done with
    // the piece inFlight places before it.
    changed_.wait(lock, [&] { return stop_ || nextPiece_ >= endPiece_ || nextPiece_ < taken_ + inFlight; });
    if (stop_ || nextPiece_ >= endPiece_) return;
    const int64_t piece = nextPiece_++;
    Slot& slot = slots_[static_cast<size_t>(piece % inFlight)];
    lock.unlock();

    std::exception_ptr error;
    try {
      BuildPiece(worker, piece);
      FormatTile(worker.grid, slot.text);
    } catch (const std::bad_alloc&) {
      error = std::make_exception_ptr(noise::utils::OutOfMemoryError(
          "tile " + std::to_string(piece / bandsPerTile_) + ": no memory for its values"));
    } catch (...) {
      error = std::current_exception();
    }

    lock.lock();
    slot.state = error ? Slot::State::kFailed : Slot::State::kReady;
    slot.error = error;
    // Pieces after a failed one are never written: start none of them.
    if (error) endPiece_ = std::min(endPiece_, piece + 1);
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
  // The bands of the tile being gathered: a tile reaches the file whole or
  // not at all, as when it is built in one piece.
  std::vector<char> tileText;
  for (int64_t piece = 0; piece < pieceCount_; ++piece) {
    Slot& slot = slots_[static_cast<size_t>(piece % inFlight)];
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
    const int64_t tile = piece / bandsPerTile_;
    const bool tileDone = piece % bandsPerTile_ == bandsPerTile_ - 1;
    // The slot is the writer's until it is marked empty again.
    if (bandsPerTile_ == 1) {
      out.AppendText(slot.text.data(), slot.text.size());
    } else {
      try {
        tileText.insert(tileText.end(), slot.text.begin(), slot.text.end());
      } catch (const std::bad_alloc&) {
        Stop();
        throw noise::utils::OutOfMemoryError("tile " + std::to_string(tile) + ": no memory for its values");
      }
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      slot.state = Slot::State::kEmpty;
      ++taken_;
    }
    changed_.notify_all();
    if (!tileDone) continue;
    if (bandsPerTile_ > 1) {
      out.AppendText(tileText.data(), tileText.size());
      tileText.clear();
    }
    if (progress != nullptr) progress->Update(static_cast<uint64_t>(tile + 1));
  }
  Stop();
}

const noise::utils::HeightGrid& TileWorkers::LastTile() const { return lastTile_; }

}  // namespace duneforge
