#include "noisemap/color_ramp.h"

#include <new>
#include <string>

#include "noisemap/error.h"

namespace noise {
namespace utils {

void ColorRamp::Clear() {
  points_.reset();
  pointCount_ = 0;
}

void ColorRamp::AddPoint(double position, const PixelColor& color) {
  InsertAt(FindInsertIndex(position), position, color);
}

int ColorRamp::FindInsertIndex(double position) const {
  for (int i = 0; i < pointCount_; ++i) {
    const double existing = points_[static_cast<size_t>(i)].position;
    if (position < existing) return i;
    if (position == existing) {
      throw InvalidParamError("the colour ramp already has a point at " + std::to_string(position));
    }
  }
  return pointCount_;
}

void ColorRamp::InsertAt(int index, double position, const PixelColor& color) {
  if (index < 0 || index > pointCount_) {
    throw InvalidParamError("ramp index " + std::to_string(index) + " is outside 0 .. " +
                            std::to_string(pointCount_));
  }
  const size_t count = static_cast<size_t>(pointCount_);
  std::unique_ptr<RampPoint[]> points(new (std::nothrow) RampPoint[count + 1]);
  if (!points) throw OutOfMemoryError("cannot grow the colour ramp");
  const size_t slot = static_cast<size_t>(index);
  for (size_t i = 0; i < count; ++i) points[i < slot ? i : i + 1] = points_[i];
  points[slot] = RampPoint{position, color};
  points_ = std::move(points);
  ++pointCount_;
}

const PixelColor& ColorRamp::ColorAt(double position) {
  if (pointCount_ == 0) return lookupColor_;
  int i = 0;
  while (i < pointCount_ && !(points_[static_cast<size_t>(i)].position > position)) ++i;
  const int last = pointCount_ - 1;
  const int index0 = i - 1 < 0 ? 0 : i - 1;
  const int index1 = i > last ? last : i;
  const RampPoint& p0 = points_[static_cast<size_t>(index0)];
  const RampPoint& p1 = points_[static_cast<size_t>(index1)];
  if (index0 == index1) {
    lookupColor_ = p0.color;
  } else {
    const float factor = static_cast<float>((position - p0.position) / (p1.position - p0.position));
    lookupColor_ = BlendColors(p0.color, p1.color, factor);
  }
  return lookupColor_;
}

}  // namespace utils
}  // namespace noise
