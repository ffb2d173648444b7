#include "noisemap/noise_map_builder_plane.h"

#include <libnoise/model/plane.h>

#include <string>

#include "noisemap/error.h"

namespace noise {
namespace utils {
namespace {

std::string RangeText(const char* axis, double lower, double upper) {
  return std::string(axis) + " range " + std::to_string(lower) + " .. " + std::to_string(upper) +
         " is empty or reversed";
}

}  // namespace

void NoiseMapBuilderPlane::SetBounds(double lowerXBound, double upperXBound, double lowerZBound,
                                     double upperZBound) {
  // Written as !(a < b) so that NaN bounds are refused too.
  if (!(lowerXBound < upperXBound)) throw InvalidParamError(RangeText("x", lowerXBound, upperXBound));
  if (!(lowerZBound < upperZBound)) throw InvalidParamError(RangeText("z", lowerZBound, upperZBound));
  m_lowerXBound = lowerXBound;
  m_upperXBound = upperXBound;
  m_lowerZBound = lowerZBound;
  m_upperZBound = upperZBound;
}

void NoiseMapBuilderPlane::Build() {
  if (!(m_lowerXBound < m_upperXBound)) throw InvalidParamError(RangeText("x", m_lowerXBound, m_upperXBound));
  if (!(m_lowerZBound < m_upperZBound)) throw InvalidParamError(RangeText("z", m_lowerZBound, m_upperZBound));
  if (m_destWidth <= 0) throw InvalidParamError("grid width " + std::to_string(m_destWidth) + " is not positive");
  if (m_destHeight <= 0) {
    throw InvalidParamError("grid height " + std::to_string(m_destHeight) + " is not positive");
  }
  if (m_pSourceModule == nullptr) throw InvalidParamError("no module to sample");
  if (m_pDestGrid == nullptr) throw InvalidParamError("no grid to fill");

  m_pDestGrid->Resize(m_destWidth, m_destHeight);

  model::Plane plane;
  plane.SetModule(*m_pSourceModule);

  const double xExtent = m_upperXBound - m_lowerXBound;
  const double zExtent = m_upperZBound - m_lowerZBound;
  const double xDelta = xExtent / m_destWidth;
  const double zDelta = zExtent / m_destHeight;

  double curZ = m_lowerZBound;
  for (int z = 0; z < m_destHeight; ++z) {
    float* dest = m_pDestGrid->RowData(z);
    double curX = m_lowerXBound;
    for (int x = 0; x < m_destWidth; ++x) {
      double value;
      if (!m_isSeamlessEnabled) {
        value = plane.GetValue(curX, curZ);
      } else {
        // The extra samples lie one extent further on; at the lower bounds
        // both blend factors are 1, so the first sample is wholly the one
        // at (lower x + x extent, lower z + z extent).
        const double sw = plane.GetValue(curX, curZ);
        const double se = plane.GetValue(curX + xExtent, curZ);
        const double nw = plane.GetValue(curX, curZ + zExtent);
        const double ne = plane.GetValue(curX + xExtent, curZ + zExtent);
        const double xBlend = 1.0 - ((curX - m_lowerXBound) / xExtent);
        const double zBlend = 1.0 - ((curZ - m_lowerZBound) / zExtent);
        const double z0 = (1.0 - xBlend) * sw + xBlend * se;
        const double z1 = (1.0 - xBlend) * nw + xBlend * ne;
        value = (1.0 - zBlend) * z0 + zBlend * z1;
      }
      dest[x] = static_cast<float>(value);
      curX += xDelta;
    }
    curZ += zDelta;
    if (m_pCallback != nullptr) m_pCallback(z);
  }
}

}  // namespace utils
}  // namespace noise
