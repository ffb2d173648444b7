#include "noisemap/relief_renderer.h"

#include <cmath>
#include <string>

#include "noisemap/channel_conversion.h"
#include "noisemap/error.h"

namespace noise {
namespace utils {
namespace {

constexpr double kDegToRad = 0.017453292519943295;
constexpr double kSqrt2 = 1.4142135623730951;
constexpr PixelColor kOpaqueWhite{255, 255, 255, 255};

double Limit01(double v) { return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v); }

// The index of the neighbour at `offset` from `i` along an axis of `size`
// samples. With wrapping the neighbour beyond an edge is the opposite edge's
// sample; without, the sample itself stands in. A neighbour that would still
// lie outside the axis (an axis of one sample) is the sample itself too.
int Neighbour(int i, int offset, int size, bool wrap) {
  int n = i + offset;
  if (wrap) {
    if (n < 0) n = size - 1;
    else if (n >= size) n = 0;
  }
  return (n < 0 || n >= size) ? i : n;
}

}  // namespace

ReliefRenderer::ReliefRenderer() { UseGreyRamp(); }

void ReliefRenderer::UseGreyRamp() {
  m_gradient.Clear();
  m_gradient.AddPoint(-1.0, PixelColor(255, 0, 0, 0));
  m_gradient.AddPoint(1.0, PixelColor(255, 255, 255, 255));
}

double ReliefRenderer::LightIntensity(double left, double right, double down, double up) {
  if (m_recalcLightValues) {
    const double azimuth = m_lightAzimuth * kDegToRad;
    const double elevation = m_lightElev * kDegToRad;
    m_cosAzimuth = std::cos(azimuth);
    m_sinAzimuth = std::sin(azimuth);
    m_cosElev = std::cos(elevation);
    m_sinElev = std::sin(elevation);
    m_recalcLightValues = false;
  }
  const double io = (m_sinElev * kSqrt2) * 0.5;
  const double k = ((1.0 - io) * m_lightContrast) * kSqrt2 * m_cosElev;
  const double ix = (k * m_cosAzimuth) * (left - right);
  const double iy = (k * m_sinAzimuth) * (down - up);
  const double intensity = io + (ix + iy);
  return intensity < 0.0 ? 0.0 : intensity;
}

PixelColor ReliefRenderer::DestinationColor(const PixelColor& source, const PixelColor& background,
                                            double light) const {
  const double a = source.alpha / 255.0;
  double red = (background.red / 255.0) * (1.0 - a) + (source.red / 255.0) * a;
  double green = (background.green / 255.0) * (1.0 - a) + (source.green / 255.0) * a;
  double blue = (background.blue / 255.0) * (1.0 - a) + (source.blue / 255.0) * a;
  if (m_isLightEnabled) {
    red *= (m_lightColor.red * light) / 255.0;
    green *= (m_lightColor.green * light) / 255.0;
    blue *= (m_lightColor.blue * light) / 255.0;
  }
  const uint8_t alpha = source.alpha > background.alpha ? source.alpha : background.alpha;
  return PixelColor(alpha, TruncateToByte(Limit01(blue) * 255.0), TruncateToByte(Limit01(green) * 255.0),
                    TruncateToByte(Limit01(red) * 255.0));
}

void ReliefRenderer::Render() {
  if (m_pSourceGrid == nullptr) throw InvalidParamError("the relief renderer has no source grid");
  if (m_pDestImage == nullptr) throw InvalidParamError("the relief renderer has no destination image");
  const int width = m_pSourceGrid->GetWidth();
  const int height = m_pSourceGrid->GetHeight();
  if (width <= 0) throw InvalidParamError("the source grid has no columns");
  if (height <= 0) throw InvalidParamError("the source grid has no rows");
  if (m_gradient.GetPointCount() < 2) {
    throw InvalidParamError("the colour ramp has " + std::to_string(m_gradient.GetPointCount()) +
                            " points; it needs at least 2");
  }
  if (m_pBackgroundImage != nullptr &&
      (m_pBackgroundImage->GetWidth() != width || m_pBackgroundImage->GetHeight() != height)) {
    throw InvalidParamError("background image of " + std::to_string(m_pBackgroundImage->GetWidth()) + " x " +
                            std::to_string(m_pBackgroundImage->GetHeight()) + " does not match the grid of " +
                            std::to_string(width) + " x " + std::to_string(height));
  }
  if (m_pDestImage != m_pBackgroundImage) m_pDestImage->Resize(width, height);

  for (int y = 0; y < height; ++y) {
    const float* source = m_pSourceGrid->RowData(y);
    const float* down = m_pSourceGrid->RowData(Neighbour(y, -1, height, m_isWrapEnabled));
    const float* up = m_pSourceGrid->RowData(Neighbour(y, +1, height, m_isWrapEnabled));
    const PixelColor* background = m_pBackgroundImage != nullptr ? m_pBackgroundImage->RowData(y) : nullptr;
    PixelColor* dest = m_pDestImage->RowData(y);
    for (int x = 0; x < width; ++x) {
      const PixelColor color = m_gradient.ColorAt(source[x]);
      double light = 1.0;
      if (m_isLightEnabled) {
        const double left = source[Neighbour(x, -1, width, m_isWrapEnabled)];
        const double right = source[Neighbour(x, +1, width, m_isWrapEnabled)];
        light = LightIntensity(left, right, down[x], up[x]) * m_lightBrightness;
      }
      dest[x] = DestinationColor(color, background != nullptr ? background[x] : kOpaqueWhite, light);
    }
  }
}

}  // namespace utils
}  // namespace noise
