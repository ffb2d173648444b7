// The preview's tile, put together from the pieces that build it.
#pragma once

#include <cstdint>
#include <mutex>

#include "noisemap/height_grid.h"

namespace duneforge {

// The whole last tile of a run, for the preview, assembled from its pieces
// (whole tiles or bands of rows) as they are built. The grid is allocated
// when the first piece arrives, so a run that never reaches its last tile
// never holds it. Pieces of different rows may be placed from several
// threads at once; the tile owns its grid.
class PreviewTile {
 public:
  PreviewTile(int32_t width, int32_t height) : width_(width), height_(height) {}
  PreviewTile(const PreviewTile&) = delete;
  PreviewTile& operator=(const PreviewTile&) = delete;

  // Copies the rows of `piece`, as wide as the tile, into the tile from row
  // `firstRow` on; they must lie inside it. Throws the grid's
  // noise::utils::OutOfMemoryError when the tile cannot be allocated.
  void Place(const noise::utils::HeightGrid& piece, int32_t firstRow);
  // The tile; an empty grid when no piece was placed. Read it only once no
  // piece is being placed.
  const noise::utils::HeightGrid& Grid() const { return grid_; }

 private:
  const int32_t width_;
  const int32_t height_;
  noise::utils::HeightGrid grid_;
  // Orders the first piece's allocation before every copy.
  std::mutex mutex_;
};

}  // namespace duneforge
