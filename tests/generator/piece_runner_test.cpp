#include "generator/piece_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

using duneforge::PieceRunner;

// Pieces 50 and 120 fail, 120 first in time: piece 50 holds until 120 has
// thrown. The first failure in piece order is the one reported, and every
// piece before it is built.
TEST(PieceRunner, ReportsTheFirstFailureInPieceOrder) {
  std::atomic<bool> laterFailed{false};
  std::atomic<int> builtBelow50{0};
  PieceRunner runner(200, 4);
  std::string reported;
  try {
    runner.Run([&](int, int64_t piece) {
      if (piece == 120) {
        laterFailed = true;
        throw std::runtime_error("120");
      }
      if (piece == 50) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!laterFailed && std::chrono::steady_clock::now() < until) std::this_thread::yield();
        throw std::runtime_error("50");
      }
      if (piece < 50) ++builtBelow50;
    });
  } catch (const std::runtime_error& e) {
    reported = e.what();
  }
  EXPECT_TRUE(laterFailed);
  EXPECT_EQ(reported, "50");
  EXPECT_EQ(builtBelow50, 50);
}

// Once a failure is known no piece after it starts: with one worker, the
// pieces after the failed one are never built.
TEST(PieceRunner, StartsNothingAfterAKnownFailure) {
  int64_t highestStarted = -1;
  PieceRunner runner(100, 1);
  EXPECT_THROW(runner.Run([&](int, int64_t piece) {
    highestStarted = piece;
    if (piece == 30) throw std::runtime_error("30");
  }),
               std::runtime_error);
  EXPECT_EQ(highestStarted, 30);
}

// A consumer reads pieces in order through a window of 3: no piece starts
// before the piece three places before it is released.
TEST(PieceRunner, AWindowHoldsPiecesUntilTheConsumerReleasesThem) {
  std::atomic<int64_t> released{0};
  std::atomic<int64_t> furthestAhead{0};
  PieceRunner runner(60, 4, 3);
  runner.Start([&](int, int64_t piece) {
    const int64_t ahead = piece - released;
    for (int64_t seen = furthestAhead; ahead > seen && !furthestAhead.compare_exchange_weak(seen, ahead);) {
    }
  });
  for (int64_t piece = 0; piece < 60; ++piece) {
    ASSERT_TRUE(runner.WaitFor(piece));
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    ++released;
    runner.Release(piece);
  }
  runner.Finish();
  EXPECT_GE(furthestAhead, 1);
  EXPECT_LE(furthestAhead, 2);
}

// The stop is asked before every piece; once it says so, nothing more is
// built and the run says it did not finish.
TEST(PieceRunner, AStopEndsTheRunBeforeItsNextPiece) {
  int asked = 0;
  int built = 0;
  PieceRunner runner(100, 1);
  runner.StopWhen([&] { return ++asked > 5; });
  EXPECT_FALSE(runner.Run([&](int, int64_t) { ++built; }));
  EXPECT_EQ(built, 5);
  EXPECT_EQ(asked, 6);
  PieceRunner whole(7, 3);
  std::atomic<int> count{0};
  EXPECT_TRUE(whole.Run([&](int, int64_t) { ++count; }));
  EXPECT_EQ(count, 7);
}

}  // namespace
