#include "generator/piece_text.h"

#include <cassert>

#include "generator/height_value_format.h"

namespace duneforge {

void PieceText::Format(const noise::utils::HeightGrid& grid, size_t capacity) {
  const size_t width = static_cast<size_t>(grid.GetWidth());
  // Made once at the plan's size, so that a slot's first piece, even a short
  // last band, never leaves it too small for a later one.
  assert(width * static_cast<size_t>(grid.GetHeight()) * kMaxHeightEntryChars <= capacity);
  if (capacity_ < capacity) {
    bytes_.reset();
    capacity_ = 0;
    bytes_.reset(new char[capacity]);
    capacity_ = capacity;
  }
  size_ = 0;
  char* out = bytes_.get();
  for (int y = 0; y < grid.GetHeight(); ++y) out = FormatHeightEntries(grid.RowData(y), width, out);
  size_ = static_cast<size_t>(out - bytes_.get());
}

}  // namespace duneforge
