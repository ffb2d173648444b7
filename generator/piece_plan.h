// How the tiles of a run are cut into pieces, and how many workers build them.
#pragma once

#include <cstdint>

#include "generator/height_value_format.h"

namespace duneforge {

// One piece of a plan: the tile it belongs to, its first row in the tile
// and how many rows it has; `wholeTile` when every piece is a whole tile.
struct PlannedPiece {
  int64_t tile = 0;
  int32_t firstRow = 0;
  int32_t rows = 0;
  bool wholeTile = true;
};

// The pieces of a run and the memory they take: how many workers build
// them, how many slots hold their text on its way to the writer, and how
// many rows a piece has (a whole tile, or a band of consecutive rows of a
// tile). The bytes a plan reserves are counted as allocated, not as
// written: every worker's grid (rows padded to 4 values, as the grid stores
// them) and every slot's text at kMaxValueTextBytes a value. A plan of one
// worker and no slots builds on the writer's own thread and formats its
// values straight into the writer's buffer, so it reserves only its grid.
// The preview's whole last tile is allocated apart from the plan: the
// picture needs it whole. A plan is a value; it holds no storage.
class PiecePlan {
 public:
  // Slots per worker: one piece being written while the next is built.
  static constexpr int kSlotsPerWorker = 2;
  // Pieces per worker that band sizes aim at, so that workers finishing
  // at different times still find work, and a band's text stays small.
  static constexpr int kPiecesPerWorker = 16;
  // The bytes of one value's text at the longest: 12 characters, a minus
  // sign, six digits, a point and an exponent ("-1.23457e-05",
  // "-1.17549e-38") or a point and four zeros ("-0.000123457"), then the
  // comma.
  static constexpr int64_t kMaxValueTextBytes = static_cast<int64_t>(kMaxHeightEntryChars);
  // The budget when none is set: 256 MiB.
  static constexpr int64_t kDefaultBudgetBytes = int64_t{256} << 20;

  // The plan for `tiles` tiles of `tileWidth` x `tileHeight` on up to
  // `threads` workers (at least 1) within `budgetBytes`. Pieces are whole
  // tiles when there are kPiecesPerWorker tiles per worker, else bands that
  // give each worker about that many. When the pieces would take more than
  // the budget, they become bands of fewer rows; when even bands of one row
  // would, fewer workers build them, down to one on the writer's thread,
  // whose one-row grid (128 KiB at the widest tile) always fits a budget of
  // 1 MiB. No more workers than rows. A tile size the grid refuses, or no
  // tile, gives whole tiles and reserves nothing: the first build reports
  // the size.
  static PiecePlan Choose(int64_t tiles, int32_t tileWidth, int32_t tileHeight, int threads,
                          int64_t budgetBytes);
  // A plan of `workers` workers with kSlotsPerWorker slots each and bands of
  // `bandRows` rows (the tile height, or more, for whole tiles), whatever
  // it reserves: for tests and benchmarks of the workers.
  static PiecePlan Fixed(int64_t tiles, int32_t tileWidth, int32_t tileHeight, int workers, int32_t bandRows);
  // Whole tiles on the writer's own thread, whatever they reserve.
  static PiecePlan WholeTiles(int64_t tiles, int32_t tileWidth, int32_t tileHeight) {
    return PiecePlan(tiles, tileWidth, tileHeight);
  }

  int64_t Tiles() const { return tiles_; }
  int32_t TileWidth() const { return tileWidth_; }
  int32_t TileHeight() const { return tileHeight_; }
  // Bands per tile; 1 when every piece is a whole tile.
  int64_t BandsPerTile() const { return bandsPerTile_; }
  // Rows of a band (the last band of a tile may be shorter); the tile
  // height when pieces are whole tiles.
  int32_t BandRows() const { return bandRows_; }
  int64_t Pieces() const { return tiles_ * bandsPerTile_; }
  // Piece `piece` (0 .. Pieces() - 1), tile by tile, bands in row order.
  PlannedPiece Piece(int64_t piece) const;
  int Workers() const { return workers_; }
  // Slots between the workers and the writer; 0 when the one worker is the
  // writer's own thread.
  int Slots() const { return slots_; }
  // What one worker's grid and one slot's text take, allocated.
  int64_t GridBytes() const { return GridBytesFor(tileWidth_, bandRows_); }
  int64_t TextBytes() const { return TextBytesFor(tileWidth_, bandRows_); }
  // Every grid and every text of the plan.
  int64_t ReservedBytes() const;

  // A grid of `rows` rows of `width` values, rows padded to 4 values.
  static int64_t GridBytesFor(int32_t width, int32_t rows);
  // The text of `rows` rows of `width` values at the longest.
  static int64_t TextBytesFor(int32_t width, int32_t rows);

 private:
  // Whole tiles, one band each, on one worker: `tiles` of the given size (0
  // when negative).
  PiecePlan(int64_t tiles, int32_t tileWidth, int32_t tileHeight);
  // Cuts tiles into bands of at most `rows` rows, as even as they come.
  void SetBandRows(int64_t rows);

  int64_t tiles_ = 0;
  int32_t tileWidth_ = 0;
  int32_t tileHeight_ = 0;
  int64_t bandsPerTile_ = 1;
  int32_t bandRows_ = 0;
  int workers_ = 1;
  int slots_ = 0;
  bool sizeValid_ = false;
};

}  // namespace duneforge
