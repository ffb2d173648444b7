// The storage shared by HeightGrid and ImageGrid.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <string>

#include "noisemap/error.h"

namespace noise {
namespace utils {

// Largest width or height of a grid: 32767, not 32768.
constexpr int kMaxGridSize = 32767;

// A width x height array of T whose rows are rounded up to a multiple of 4
// elements (so each row starts 16-byte aligned for 4-byte elements), with a
// border value returned for positions outside the grid. Storage is kept
// when a resize fits in it and replaced only when it must grow. The grid owns
// its storage; it cannot be copied.
template <typename T>
class Grid {
 public:
  Grid() = default;
  Grid(const Grid&) = delete;
  Grid& operator=(const Grid&) = delete;

  // Sets the size. A negative size or one above kMaxGridSize throws
  // noise::ExceptionInvalidParam and changes nothing; a zero size empties
  // the grid. When the current storage is too small it is replaced by new,
  // uninitialised storage and the border value goes back to zero; if
  // that allocation fails the grid is left empty and
  // noise::ExceptionOutOfMemory is thrown.
  void Resize(int width, int height) {
    if (width < 0 || height < 0 || width > kMaxGridSize || height > kMaxGridSize) {
      throw InvalidParamError("grid size " + std::to_string(width) + " x " + std::to_string(height) +
                              " is outside 0 .. " + std::to_string(kMaxGridSize));
    }
    if (width == 0 || height == 0) {
      Reset();
      return;
    }
    const int stride = (width + 3) / 4 * 4;
    // At most 32768 x 32767 elements: fits in 32 bits, but in a 32-bit
    // program the byte count may exceed what one array can hold (half the
    // address space: beyond it new throws std::bad_array_new_length, even
    // the nothrow form).
    const uint64_t needed = static_cast<uint64_t>(stride) * static_cast<uint64_t>(height);
    if (capacity_ < needed) {
      Reset();
      if (needed > static_cast<uint64_t>(std::numeric_limits<std::ptrdiff_t>::max()) / sizeof(T)) {
        throw OutOfMemoryError("cannot allocate a grid of " + std::to_string(needed) + " elements");
      }
      storage_.reset(new (std::nothrow) T[static_cast<size_t>(needed)]);
      if (!storage_) {
        throw OutOfMemoryError("cannot allocate a grid of " + std::to_string(needed) + " elements");
      }
      capacity_ = static_cast<uint32_t>(needed);
    }
    stride_ = stride;
    width_ = width;
    height_ = height;
  }

  // Frees the storage; the grid is empty and its border value is zero.
  void Reset() {
    storage_.reset();
    border_ = T{};
    height_ = 0;
    capacity_ = 0;
    stride_ = 0;
    width_ = 0;
  }

  // The element at (x, y), or the border value outside the grid.
  T ValueAt(int x, int y) const {
    if (storage_ && x >= 0 && x < width_ && y >= 0 && y < height_) {
      return storage_[static_cast<size_t>(y) * static_cast<size_t>(stride_) + static_cast<size_t>(x)];
    }
    return border_;
  }

  // The first element of row y; the caller keeps y within 0 .. height - 1.
  T* RowData(int y) { return storage_.get() + static_cast<size_t>(y) * static_cast<size_t>(stride_); }
  const T* RowData(int y) const {
    return storage_.get() + static_cast<size_t>(y) * static_cast<size_t>(stride_);
  }

  int GetWidth() const { return width_; }
  int GetHeight() const { return height_; }
  int GetStride() const { return stride_; }
  uint32_t GetCapacity() const { return capacity_; }
  const T& GetBorderValue() const { return border_; }
  void SetBorderValue(const T& value) { border_ = value; }

 protected:
  ~Grid() = default;

 private:
  T border_{};  // zero for a new or reset grid
  int height_ = 0;
  uint32_t capacity_ = 0;
  std::unique_ptr<T[]> storage_;
  int stride_ = 0;
  int width_ = 0;
};

}  // namespace utils
}  // namespace noise
