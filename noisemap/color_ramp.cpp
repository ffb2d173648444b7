#include "noisemap/color_ramp.h"

#include <new>
#include <string>

#include "noisemap/error.h"

namespace noise {
namespace utils {

void ColorRamp::Clear() {
  m_pPoints.reset();
  m_pointCount = 0;
}

void ColorRamp::AddPoint(double position, const PixelColor& color) {
  InsertAt(FindInsertIndex(position), position, color);
}

int ColorRamp::FindInsertIndex(double position) const {
  for (int i = 0; i < m_pointCount; ++i) {
    const double existing = m_pPoints[static_cast<size_t>(i)].position;
    if (position < existing) return i;
    if (position == existing) {
      throw InvalidParamError("the colour ramp already has a point at " + std::to_string(position));
    }
  }
  return m_pointCount;
}

void ColorRamp::InsertAt(int index, double position, const PixelColor& color) {
  if (index < 0 || index > m_pointCount) {
    throw InvalidParamError("ramp index " + std::to_string(index) + " is outside 0 .. " +
                            std::to_string(m_pointCount));
  }
  const size_t count = static_cast<size_t>(m_pointCount);
  std::unique_ptr<RampPoint[]> points(new (std::nothrow) RampPoint[count + 1]);
  if (!points) throw OutOfMemoryError("cannot grow the colour ramp");
  const size_t slot = static_cast<size_t>(index);
  for (size_t i = 0; i < count; ++i) points[i < slot ? i : i + 1] = m_pPoints[i];
  points[slot] = RampPoint{position, color};
  m_pPoints = std::move(points);
  ++m_pointCount;
}

const PixelColor& ColorRamp::ColorAt(double position) {
  if (m_pointCount == 0) return m_lookupColor;
  int i = 0;
  while (i < m_pointCount && !(m_pPoints[static_cast<size_t>(i)].position > position)) ++i;
  const int last = m_pointCount - 1;
  const int index0 = i - 1 < 0 ? 0 : i - 1;
  const int index1 = i > last ? last : i;
  const RampPoint& p0 = m_pPoints[static_cast<size_t>(index0)];
  const RampPoint& p1 = m_pPoints[static_cast<size_t>(index1)];
  if (index0 == index1) {
    m_lookupColor = p0.color;
  } else {
    const float factor = static_cast<float>((position - p0.position) / (p1.position - p0.position));
    m_lookupColor = BlendColors(p0.color, p1.color, factor);
  }
  return m_lookupColor;
}

}  // namespace utils
}  // namespace noise
