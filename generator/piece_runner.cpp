#include "generator/piece_runner.h"

#include <algorithm>
#include <system_error>

#include "noisemap/error.h"

namespace duneforge {

PieceRunner::PieceRunner(int64_t pieces, int workers, int64_t window)
    : pieces_(std::max<int64_t>(pieces, 0)),
      workers_(std::max(workers, 1)),
      window_(std::max<int64_t>(window, 0)),
      endPiece_(pieces_),
      failedPiece_(pieces_),
      states_(static_cast<size_t>(window_), State::kPending) {}

PieceRunner::~PieceRunner() { StopAndJoin(); }

void PieceRunner::StopAndJoin() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  for (std::thread& thread : threads_) {
    if (thread.joinable()) thread.join();
  }
}

int PieceRunner::StartThreads(int first) {
  int started = 0;
  for (int worker = first; worker < workers_; ++worker) {
    try {
      threads_.emplace_back([this, worker] { Work(worker); });
      ++started;
    } catch (const std::system_error&) {
      break;  // the threads there are share the pieces
    }
  }
  return started;
}

void PieceRunner::Work(int worker) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    // With a window, a piece is started only when its place is free: the
    // consumer is done with the piece `window` places before it.
    changed_.wait(lock, [&] {
      return stop_ || nextPiece_ >= endPiece_ || window_ == 0 || nextPiece_ < released_ + window_;
    });
    if (stop_ || nextPiece_ >= endPiece_) return;
    const int64_t piece = nextPiece_++;
    lock.unlock();

    const bool stale = stopWhen_ && stopWhen_();
    std::exception_ptr error;
    if (!stale) {
      try {
        build_(worker, piece);
      } catch (...) {
        error = std::current_exception();
      }
    }

    lock.lock();
    if (stale) {
      stopped_ = true;
      stop_ = true;
    } else if (error) {
      endPiece_ = std::min(endPiece_, piece + 1);
      if (piece < failedPiece_) {
        failedPiece_ = piece;
        failure_ = error;
      }
    }
    if (window_ > 0 && !stale) {
      states_[static_cast<size_t>(piece % window_)] = error ? State::kFailed : State::kBuilt;
    }
    changed_.notify_all();
  }
}

bool PieceRunner::Run(const Build& build) {
  build_ = build;
  StartThreads(1);
  Work(0);
  StopAndJoin();
  if (failure_) std::rethrow_exception(failure_);
  return !stopped_;
}

void PieceRunner::Start(const Build& build) {
  build_ = build;
  if (StartThreads(0) == 0) throw noise::utils::OutOfMemoryError("cannot start a thread to build tiles");
}

bool PieceRunner::WaitFor(int64_t piece) {
  std::unique_lock<std::mutex> lock(mutex_);
  const State& state = states_[static_cast<size_t>(piece % window_)];
  changed_.wait(lock, [&] { return state != State::kPending || stop_ || piece >= endPiece_; });
  return state == State::kBuilt;
}

void PieceRunner::Release(int64_t piece) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    states_[static_cast<size_t>(piece % window_)] = State::kPending;
    ++released_;
  }
  changed_.notify_all();
}

void PieceRunner::Finish() {
  StopAndJoin();
  if (failure_) std::rethrow_exception(failure_);
}

}  // namespace duneforge
