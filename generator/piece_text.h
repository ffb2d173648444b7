// The text of one piece of a tile, on its way from a worker to the writer.
#pragma once

#include <cstddef>
#include <memory>

#include "noisemap/height_grid.h"

namespace duneforge {

// A piece's values in the height array's form, in storage kept from piece
// to piece. Room is made without filling it, so pages the text never
// reaches are never touched. The text owns its storage.
class PieceText {
 public:
  PieceText() = default;
  PieceText(const PieceText&) = delete;
  PieceText& operator=(const PieceText&) = delete;
  PieceText(PieceText&&) = default;
  PieceText& operator=(PieceText&&) = default;

  // Formats the grid's values row by row, each followed by a comma, into a
  // text of `capacity` bytes, made at that size when it has less, which
  // must hold the grid's values at kMaxHeightEntryChars each. Throws
  // std::bad_alloc when the room cannot be made.
  void Format(const noise::utils::HeightGrid& grid, size_t capacity);

  const char* Data() const { return bytes_.get(); }
  size_t Size() const { return size_; }

 private:
  std::unique_ptr<char[]> bytes_;
  size_t capacity_ = 0;
  size_t size_ = 0;
};

}  // namespace duneforge
