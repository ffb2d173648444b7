// The pieces of one run, taken in order by worker threads.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace duneforge {

// Builds pieces 0 .. count - 1 on up to a given number of workers, each
// taking the next piece when it is free, and owns what every builder of
// tiles, bands and previews shares: the threads, the first failure in piece
// order, the stop, and the window a consumer on another thread reads the
// pieces through. A thread that cannot start leaves its pieces to the
// others. No piece after a failed one is started; the failure reported is
// that of the first failed piece in piece order, once every started piece
// has ended, so a run reports what building the pieces one after the other
// would have reported.
class PieceRunner {
 public:
  // Builds piece `piece` as worker `worker` (0 .. workers - 1); the calls of
  // one worker come one after the other from one thread.
  using Build = std::function<void(int worker, int64_t piece)>;

  // `pieces` pieces for up to `workers` workers (at least 1). With a
  // `window` above 0, a piece is started only once the consumer has
  // released the piece `window` places before it, and the consumer reads
  // the pieces in order with WaitFor.
  PieceRunner(int64_t pieces, int workers, int64_t window = 0);
  // Starts no further piece and waits for the threads.
  ~PieceRunner();
  PieceRunner(const PieceRunner&) = delete;
  PieceRunner& operator=(const PieceRunner&) = delete;

  // Asked before each piece is started, from any worker; once it says true
  // no piece is started and Run returns false.
  void StopWhen(std::function<bool()> stop) { stopWhen_ = std::move(stop); }

  // Builds every piece, the calling thread being worker 0 and the others
  // threads of their own. Returns true once every piece is built, false
  // when the stop said so; throws the first failure in piece order. Runs
  // once, without a window.
  bool Run(const Build& build);

  // For a consumer on the calling thread: starts every worker on a thread
  // of its own. Throws noise::utils::OutOfMemoryError when not one thread
  // can start. Runs once; Finish ends it.
  void Start(const Build& build);
  // Waits until piece `piece`, the next the consumer has not released, has
  // ended: true when it was built, false when it failed.
  bool WaitFor(int64_t piece);
  // The consumer is done with piece `piece`: its place in the window is free.
  void Release(int64_t piece);
  // Starts no further piece, waits for the threads and throws the first
  // failure in piece order, if any.
  void Finish();

 private:
  enum class State : unsigned char { kPending, kBuilt, kFailed };
  // Starts workers first .. workers - 1 on threads of their own; returns
  // how many could start.
  int StartThreads(int first);
  void Work(int worker);
  void StopAndJoin();

  const int64_t pieces_;
  const int workers_;
  const int64_t window_;
  Build build_;
  std::function<bool()> stopWhen_;
  std::vector<std::thread> threads_;

  std::mutex mutex_;
  std::condition_variable changed_;
  // Guarded by mutex_:
  int64_t nextPiece_ = 0;    // the next piece a worker takes
  int64_t endPiece_ = 0;     // no piece from here on is started: the count, or one after a failed piece
  int64_t released_ = 0;     // pieces the consumer has released
  int64_t failedPiece_ = 0;  // the first failed piece; the count while none has failed
  std::exception_ptr failure_;
  bool stop_ = false;
  bool stopped_ = false;       // the stop said so
  std::vector<State> states_;  // with a window: piece % window's state
};

}  // namespace duneforge
