// Maps a height to a colour through points sorted by position.
#pragma once

#include <cstdint>
#include <memory>

#include "noisemap/pixel_color.h"

namespace noise {
namespace utils {

// One point of a ColorRamp.
struct RampPoint {
  double position;
  PixelColor color;
};

// A list of colour points with strictly increasing positions; a position
// between two points gets their colours blended linearly, a position outside
// the points gets the nearest end's colour. The point array grows by exactly
// one per insertion. A new ramp is empty.
class ColorRamp {
 public:
  ColorRamp() = default;
  ColorRamp(const ColorRamp&) = delete;
  ColorRamp& operator=(const ColorRamp&) = delete;

  // Removes every point.
  void Clear();
  // Inserts a point in position order. A position equal to an existing one
  // throws noise::ExceptionInvalidParam and leaves the ramp unchanged.
  void AddPoint(double position, const PixelColor& color);
  // The index at which a point at `position` belongs: the first point with a
  // greater position, or the point count. Throws
  // noise::ExceptionInvalidParam when a point already has that position.
  int FindInsertIndex(double position) const;
  // Inserts a point at `index` (0 .. count), moving the later points up.
  void InsertAt(int index, double position, const PixelColor& color);
  // The colour at `position`. The result is the ramp's lookup colour, valid
  // until the next call: copy it at once. An empty ramp returns the lookup
  // colour unchanged.
  const PixelColor& ColorAt(double position);

  int GetPointCount() const { return pointCount_; }
  const RampPoint& GetPoint(int index) const { return points_[static_cast<size_t>(index)]; }

 private:
  int pointCount_ = 0;
  std::unique_ptr<RampPoint[]> points_;
  PixelColor lookupColor_{};
};

}  // namespace utils
}  // namespace noise
