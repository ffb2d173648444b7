#include "generator/piece_appender.h"

#include "generator/piece_runner.h"
#include "generator/tile_build.h"

namespace duneforge {

PieceAppender::PieceAppender(const PiecePlan& plan, HeightArrayWriter& out,
                             platform::ProgressReport* progress)
    : plan_(plan), out_(out), progress_(progress), tileStart_(out.Position()) {}

void PieceAppender::Begin(int64_t piece) {
  if (plan_.Piece(piece).firstRow == 0) tileStart_ = out_.Position();
}

void PieceAppender::Fail(int64_t piece) {
  if (plan_.Piece(piece).firstRow > 0) out_.TakeBack(tileStart_);
}

void PieceAppender::End(int64_t piece) {
  const PlannedPiece planned = plan_.Piece(piece);
  const bool tileDone = planned.wholeTile || planned.firstRow + planned.rows >= plan_.TileHeight();
  if (progress_ != nullptr && tileDone) progress_->Update(static_cast<uint64_t>(planned.tile + 1));
}

void PieceAppender::BuildAll(const CommandSettings& settings, noise::utils::NoiseMapBuilderPlane& builder,
                             noise::utils::HeightGrid& grid, PreviewTile* lastTile) {
  PieceRunner runner(plan_.Pieces(), 1);
  runner.Run([&](int, int64_t piece) {
    const PlannedPiece planned = plan_.Piece(piece);
    Begin(piece);
    try {
      BuildPiece(settings, builder, planned);
      // The whole last tile may not fit in memory: that fails the tile as
      // a band that cannot be built does.
      if (lastTile != nullptr && planned.tile == plan_.Tiles() - 1) lastTile->Place(grid, planned.firstRow);
    } catch (...) {
      Fail(piece);
      throw;
    }
    for (int y = 0; y < grid.GetHeight(); ++y)
      out_.Append(grid.RowData(y), static_cast<size_t>(grid.GetWidth()));
    End(piece);
  });
}

}  // namespace duneforge
