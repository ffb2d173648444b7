// The pieces of a run appended to the height array in tile order.
#pragma once

#include <cstdint>

#include "generator/command_settings.h"
#include "generator/height_array_writer.h"
#include "generator/piece_plan.h"
#include "generator/preview_tile.h"
#include "noisemap/height_grid.h"
#include "noisemap/noise_map_builder_plane.h"
#include "platform/progress_report.h"

namespace duneforge {

// Appends the values of a plan's pieces to a height array, piece after
// piece, so that a tile is in the array whole or not at all: a tile that
// fails after some of its bands went out is taken back to where it began.
// Each tile that is out whole is told to the progress report. The pieces
// come from workers of their own (Begin, Fail, End around each piece) or
// are built here on the calling thread, one worker (BuildAll).
class PieceAppender {
 public:
  PieceAppender(const PiecePlan& plan, HeightArrayWriter& out, platform::ProgressReport* progress);

  // Before piece `piece` goes out.
  void Begin(int64_t piece);
  // Piece `piece` failed: the bands of its tile already out are taken back.
  void Fail(int64_t piece);
  // After piece `piece` went out: a tile that is now whole is reported.
  void End(int64_t piece);

  // Builds every piece in order on the calling thread with `builder` (set
  // up over `grid` for the plan's tiles) and appends it. Pieces of the last
  // tile are placed in `lastTile` when it is given. The first failure
  // passes, with the tiles before its tile in the array.
  void BuildAll(const CommandSettings& settings, noise::utils::NoiseMapBuilderPlane& builder,
                noise::utils::HeightGrid& grid, PreviewTile* lastTile);

 private:
  const PiecePlan& plan_;
  HeightArrayWriter& out_;
  platform::ProgressReport* const progress_;
  int64_t tileStart_ = 0;  // where the current tile's values begin in the array
};

}  // namespace duneforge
