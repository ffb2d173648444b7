#include "generator/piece_plan.h"

#include <algorithm>

#include "noisemap/grid.h"

namespace duneforge {

namespace {

bool SizeIsValid(int32_t width, int32_t height) {
  return width >= 1 && width <= noise::utils::kMaxGridSize && height >= 1 &&
         height <= noise::utils::kMaxGridSize;
}

}  // namespace

int64_t PiecePlan::GridBytesFor(int32_t width, int32_t rows) {
  const int64_t stride = (static_cast<int64_t>(width) + 3) / 4 * 4;
  return stride * rows * static_cast<int64_t>(sizeof(float));
}

int64_t PiecePlan::TextBytesFor(int32_t width, int32_t rows) {
  return static_cast<int64_t>(width) * rows * kMaxValueTextBytes;
}

int64_t PiecePlan::ReservedBytes() const {
  if (!sizeValid_ || tiles_ == 0) return 0;
  return workers_ * GridBytes() + slots_ * TextBytes();
}

void PiecePlan::SetBandRows(int64_t rows) {
  const int64_t height = tileHeight_;
  rows = std::max<int64_t>(1, std::min(rows, height));
  bandsPerTile_ = (height + rows - 1) / rows;
  bandRows_ = static_cast<int32_t>((height + bandsPerTile_ - 1) / bandsPerTile_);
}

PiecePlan::PiecePlan(int64_t tiles, int32_t tileWidth, int32_t tileHeight)
    : tiles_(std::max<int64_t>(tiles, 0)),
      tileWidth_(tileWidth),
      tileHeight_(tileHeight),
      bandRows_(tileHeight),
      sizeValid_(SizeIsValid(tileWidth, tileHeight)) {}

PiecePlan PiecePlan::Choose(int64_t tiles, int32_t tileWidth, int32_t tileHeight, int threads,
                            int64_t budgetBytes) {
  PiecePlan plan(tiles, tileWidth, tileHeight);
  // Nothing to build, or a size whose first build fails: whole tiles on the
  // writer's thread, which reports the size as any thread would.
  if (plan.tiles_ == 0 || !plan.sizeValid_) return plan;

  // No more workers than rows: 256 threads at most, so a product is needed
  // only below that many tiles.
  int64_t workers = std::max(threads, 1);
  if (plan.tiles_ < workers) workers = std::min(workers, plan.tiles_ * tileHeight);
  int64_t rows = tileHeight;
  const int64_t wanted = workers * kPiecesPerWorker;
  if (workers > 1 && plan.tiles_ < wanted) {
    const int64_t bands = (wanted + plan.tiles_ - 1) / plan.tiles_;
    rows = (tileHeight + bands - 1) / bands;
  }

  // One row on a worker of its own: its grid's row and a row of text in
  // each of its slots. Both grow with the rows, so the rows that fit are a
  // quotient.
  const int64_t rowBytes = GridBytesFor(tileWidth, 1) + kSlotsPerWorker * TextBytesFor(tileWidth, 1);
  if (workers > 1 && workers * rows * rowBytes > budgetBytes) {
    if (budgetBytes / (workers * rowBytes) < 1) workers = budgetBytes / rowBytes;
    if (workers > 1) rows = std::min(rows, budgetBytes / (workers * rowBytes));
  }
  if (workers <= 1) {
    // The writer's thread formats straight into the writer's buffer: only
    // its grid counts.
    workers = 1;
    rows = std::min<int64_t>(tileHeight, budgetBytes / GridBytesFor(tileWidth, 1));
  }
  plan.workers_ = static_cast<int>(workers);
  plan.slots_ = workers > 1 ? static_cast<int>(workers) * kSlotsPerWorker : 0;
  plan.SetBandRows(rows);
  return plan;
}

PlannedPiece PiecePlan::Piece(int64_t piece) const {
  PlannedPiece planned;
  planned.tile = piece / bandsPerTile_;
  planned.firstRow = static_cast<int32_t>(piece % bandsPerTile_) * bandRows_;
  planned.rows = std::min(bandRows_, tileHeight_ - planned.firstRow);
  planned.wholeTile = bandsPerTile_ == 1;
  return planned;
}

PiecePlan PiecePlan::Fixed(int64_t tiles, int32_t tileWidth, int32_t tileHeight, int workers,
                           int32_t bandRows) {
  PiecePlan plan(tiles, tileWidth, tileHeight);
  plan.workers_ = std::max(workers, 1);
  plan.slots_ = plan.workers_ * kSlotsPerWorker;
  if (tileHeight > 0 && bandRows > 0 && bandRows < tileHeight) {
    plan.bandRows_ = bandRows;
    plan.bandsPerTile_ = (tileHeight + bandRows - 1) / bandRows;
  }
  return plan;
}

}  // namespace duneforge
