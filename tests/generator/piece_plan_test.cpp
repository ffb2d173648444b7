// The plan of a run's pieces: bands and workers chosen to keep the grids
// and texts in flight within the budget. Every expected figure is worked by
// hand from the tile size: a grid row takes the width padded to 4 values
// times 4 bytes, a value's text at most 13 bytes.
#include "generator/piece_plan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

#include "generator/height_value_format.h"

namespace {

using duneforge::PiecePlan;

constexpr int64_t kMiB = int64_t{1} << 20;

// The longest values the height array can hold, each with its comma: a
// minus sign, a digit, a point, five digits, "e-" and two digits; or a
// minus sign, "0.000" and six digits. 12 characters and the comma.
TEST(PiecePlan, TextOfAValueTakesAtMostThirteenBytes) {
  const float longest[] = {-std::numeric_limits<float>::min(), -1.23457e-05f, -0.000123457f};
  const char* const expected[] = {"-1.17549e-38,", "-1.23457e-05,", "-0.000123457,"};
  for (int i = 0; i < 3; ++i) {
    char text[13];
    char* end = duneforge::FormatHeightValue(longest[i], text);
    ASSERT_LE(end - text, 12);
    *end++ = ',';
    EXPECT_EQ(std::string(text, end), expected[i]);
  }
  EXPECT_EQ(PiecePlan::kMaxValueTextBytes, 13);
  // 10 values a row, padded to 12 in the grid; 3 rows.
  EXPECT_EQ(PiecePlan::GridBytesFor(10, 3), 12 * 3 * 4);
  EXPECT_EQ(PiecePlan::TextBytesFor(10, 3), 10 * 3 * 13);
}

// Within the budget, few tiles become bands that give each worker about
// sixteen pieces, and many tiles stay whole.
TEST(PiecePlan, BandsKeepEveryWorkerBusy) {
  const PiecePlan one = PiecePlan::Choose(1, 4, 100, 2, PiecePlan::kDefaultBudgetBytes);
  EXPECT_EQ(one.BandRows(), 4);  // 32 bands wanted: 100 / 32 rounded up, 25 bands
  EXPECT_EQ(one.BandsPerTile(), 25);
  EXPECT_EQ(PiecePlan::Choose(3, 4, 100, 2, PiecePlan::kDefaultBudgetBytes).BandRows(), 10);  // 11 bands
  const PiecePlan many = PiecePlan::Choose(32, 4, 100, 2, PiecePlan::kDefaultBudgetBytes);
  EXPECT_EQ(many.BandRows(), 100);
  EXPECT_EQ(many.BandsPerTile(), 1);
  EXPECT_EQ(many.Workers(), 2);
  EXPECT_EQ(many.Slots(), 4);
  // Grids 2 x 100 x 4 x 4, texts 4 x 100 x 4 x 13.
  EXPECT_EQ(many.ReservedBytes(), 2 * 1600 + 4 * 5200);
}

// Tiles of 1024 x 1024: a worker's row is a grid row of 4096 bytes and two
// slots' text rows of 13312, 30720 bytes in all.
TEST(PiecePlan, BudgetTurnsWholeTilesIntoBands) {
  // 2048 tiles would stay whole on 64 workers; whole they take 2 GiB. 256
  // MiB over 64 workers is 136 rows of 30720 bytes, evened out to 8 bands
  // of 128 rows.
  const PiecePlan wide = PiecePlan::Choose(2048, 1024, 1024, 64, 256 * kMiB);
  EXPECT_EQ(wide.Workers(), 64);
  EXPECT_EQ(wide.Slots(), 128);
  EXPECT_EQ(wide.BandRows(), 128);
  EXPECT_EQ(wide.BandsPerTile(), 8);
  EXPECT_EQ(wide.ReservedBytes(), 64 * 128 * 30720);
  // 4 workers fit whole tiles in 256 MiB (120 MiB), but not in 64 MiB:
  // 546 rows fit, 2 bands of 512.
  EXPECT_EQ(PiecePlan::Choose(256, 1024, 1024, 4, 256 * kMiB).BandsPerTile(), 1);
  const PiecePlan four = PiecePlan::Choose(256, 1024, 1024, 4, 64 * kMiB);
  EXPECT_EQ(four.BandRows(), 512);
  EXPECT_EQ(four.ReservedBytes(), 4 * 512 * 30720);
  // The writer's own thread needs only its grid: 1 MiB is 256 rows.
  const PiecePlan alone = PiecePlan::Choose(256, 1024, 1024, 1, 1 * kMiB);
  EXPECT_EQ(alone.Workers(), 1);
  EXPECT_EQ(alone.Slots(), 0);
  EXPECT_EQ(alone.BandRows(), 256);
  EXPECT_EQ(alone.ReservedBytes(), 1 * kMiB);
}

// Tiles of 32767 x 100: a grid row of 32768 x 4 = 131072 bytes, a text row
// of 425971, 983014 bytes a worker's row.
TEST(PiecePlan, FewerWorkersWhenEvenOneRowBandsDoNotFit) {
  // 4 MiB holds 4 workers' rows, not 64.
  const PiecePlan some = PiecePlan::Choose(256, 32767, 100, 64, 4 * kMiB);
  EXPECT_EQ(some.Workers(), 4);
  EXPECT_EQ(some.Slots(), 8);
  EXPECT_EQ(some.BandRows(), 1);
  EXPECT_EQ(some.ReservedBytes(), 4 * 983014);
  // 1 MiB holds one worker's row: the writer's thread builds alone, 8 rows
  // of its grid, 100 rows evened out to 13 bands of 8.
  const PiecePlan alone = PiecePlan::Choose(256, 32767, 100, 64, 1 * kMiB);
  EXPECT_EQ(alone.Workers(), 1);
  EXPECT_EQ(alone.Slots(), 0);
  EXPECT_EQ(alone.BandRows(), 8);
  EXPECT_EQ(alone.BandsPerTile(), 13);
  EXPECT_EQ(alone.ReservedBytes(), 8 * 131072);
}

// No tile, or a size whose first build fails: whole tiles on the writer's
// thread, nothing reserved.
TEST(PiecePlan, NothingToBuildReservesNothing) {
  for (const PiecePlan& plan :
       {PiecePlan::Choose(0, 1024, 1024, 8, kMiB), PiecePlan::Choose(4, 0, 1024, 8, kMiB),
        PiecePlan::Choose(4, 40000, 4, 8, kMiB)}) {
    EXPECT_EQ(plan.Workers(), 1);
    EXPECT_EQ(plan.BandsPerTile(), 1);
    EXPECT_EQ(plan.ReservedBytes(), 0);
  }
}

// Ten rows in bands of four: 4, 4 and 2 rows a tile, tile after tile.
TEST(PiecePlan, PiecesRunTileByTileAndBandByBand) {
  const duneforge::PiecePlan bands = duneforge::PiecePlan::Fixed(3, 4, 10, 1, 4);
  ASSERT_EQ(bands.Pieces(), 9);
  const int64_t expected[][3] = {{0, 0, 4}, {0, 4, 4}, {0, 8, 2}, {1, 0, 4}, {2, 8, 2}};
  const int64_t pieces[] = {0, 1, 2, 3, 8};
  for (size_t i = 0; i < 5; ++i) {
    const duneforge::PlannedPiece piece = bands.Piece(pieces[i]);
    EXPECT_EQ(piece.tile, expected[i][0]) << pieces[i];
    EXPECT_EQ(piece.firstRow, expected[i][1]) << pieces[i];
    EXPECT_EQ(piece.rows, expected[i][2]) << pieces[i];
    EXPECT_FALSE(piece.wholeTile);
  }
  const duneforge::PlannedPiece whole = duneforge::PiecePlan::Fixed(2, 4, 10, 1, 10).Piece(1);
  EXPECT_EQ(whole.tile, 1);
  EXPECT_EQ(whole.firstRow, 0);
  EXPECT_EQ(whole.rows, 10);
  EXPECT_TRUE(whole.wholeTile);
}

}  // namespace
