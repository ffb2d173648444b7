#include "generator/tile_workers.h"

#include <algorithm>
#include <new>
#include <string>
#include <system_error>

#include "generator/duneforge_run.h"
#include "noisemap/error.h"

namespace duneforge {

TileWorkers::SourceSetUp TileWorkers::ForChain(const noise::utils::ChainPlan& chain,
                                               noise::utils::EvaluatorChoice evaluator) {
  return [&chain, evaluator](noise::utils::NoiseMapBuilderPlane& builder) {
    builder.AttachPlan(chain);
    builder.SetEvaluator(evaluator);
  };
}

TileWorkers::TileWorkers(const CommandSettings& settings, const SourceSetUp& setUp, const PiecePlan& plan)
    : settings_(settings),
      plan_(plan),
      tileCount_(TileCount(settings)),
      bandsPerTile_(plan.BandsPerTile()),
      pieceCount_(plan.Pieces()),
      lastTile_(settings.tileWidth, settings.tileHeight) {
  for (int i = 0; i < plan.Workers(); ++i) {
    auto worker = std::make_unique<Worker>();
    setUp(worker->builder);
    worker->builder.SetDestGrid(worker->grid);
    worker->builder.SetGridSize(settings.tileWidth, settings.tileHeight);
    worker->builder.SetSeamless(false);
    workers_.push_back(std::move(worker));
  }
  slots_.resize(static_cast<size_t>(std::max(plan.Slots(), 1)));
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
  const PlannedPiece planned = plan_.Piece(piece);
  if (planned.wholeTile) {
    BuildTile(settings_, worker.builder, planned.tile);
  } else {
    BuildTileBand(settings_, worker.builder, planned.tile, planned.firstRow, planned.rows);
  }
  if (planned.tile == tileCount_ - 1) lastTile_.Place(worker.grid, planned.firstRow);
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
      slot.text.Format(worker.grid, static_cast<size_t>(plan_.TextBytes()));
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

void TileWorkers::Run(HeightArrayWriter& out, platform::ProgressReport* progress) {
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
  // Where the current tile's values begin in the array: a tile that fails
  // after some of its bands went out is taken back to here, so that a tile
  // is in the file whole or not at all, as when it is built in one piece.
  int64_t tileStart = out.Position();
  for (int64_t piece = 0; piece < pieceCount_; ++piece) {
    Slot& slot = slots_[static_cast<size_t>(piece % inFlight)];
    const int64_t band = piece % bandsPerTile_;
    if (band == 0) tileStart = out.Position();
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return slot.state != Slot::State::kEmpty; });
      if (slot.state == Slot::State::kFailed) {
        const std::exception_ptr error = slot.error;
        lock.unlock();
        Stop();
        if (band > 0) out.TakeBack(tileStart);
        std::rethrow_exception(error);
      }
    }
    // The slot is the writer's until it is marked empty again.
    out.AppendText(slot.text.Data(), slot.text.Size());
    {
      std::lock_guard<std::mutex> lock(mutex_);
      slot.state = Slot::State::kEmpty;
      ++taken_;
    }
    changed_.notify_all();
    if (progress != nullptr && band == bandsPerTile_ - 1) {
      progress->Update(static_cast<uint64_t>(piece / bandsPerTile_ + 1));
    }
  }
  Stop();
}

const noise::utils::HeightGrid& TileWorkers::LastTile() const { return lastTile_.Grid(); }

}  // namespace duneforge
