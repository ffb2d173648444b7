#include "generator/preview_tile.h"

#include <cassert>
#include <cstring>

namespace duneforge {

void PreviewTile::Place(const noise::utils::HeightGrid& piece, int32_t firstRow) {
  assert(piece.GetWidth() == width_ && firstRow >= 0 && firstRow + piece.GetHeight() <= height_);
  std::lock_guard<std::mutex> lock(mutex_);
  if (grid_.GetWidth() != width_ || grid_.GetHeight() != height_) grid_.Resize(width_, height_);
  const size_t rowBytes = static_cast<size_t>(piece.GetWidth()) * sizeof(float);
  for (int y = 0; y < piece.GetHeight(); ++y) {
    std::memcpy(grid_.RowData(firstRow + y), piece.RowData(y), rowBytes);
  }
}

}  // namespace duneforge
