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
    if (n < 0)
      n = size - 1;
    else if (n >= size)
      n = 0;
  }
  return (n < 0 || n >= size) ? i : n;
}

}  // namespace

ReliefRenderer::ReliefRenderer() { UseGreyRamp(); }

void ReliefRenderer::UseGreyRamp() {
  gradient_.Clear();
  gradient_.AddPoint(-1.0, PixelColor(255, 0, 0, 0));
  gradient_.AddPoint(1.0, PixelColor(255, 255, 255, 255));
}

double ReliefRenderer::LightIntensity(double left, double right, double down, double up) {
  if (recalcLightValues_) {
    const double azimuth = lightAzimuth_ * kDegToRad;
    const double elevation = lightElev_ * kDegToRad;
    cosAzimuth_ = std::cos(azimuth);
    sinAzimuth_ = std::sin(azimuth);
    cosElev_ = std::cos(elevation);
    sinElev_ = std::sin(elevation);
    recalcLightValues_ = false;
  }
  const double io = (sinElev_ * kSqrt2) * 0.5;
  const double k = ((1.0 - io) * lightContrast_) * kSqrt2 * cosElev_;
  const double ix = (k * cosAzimuth_) * (left - right);
  const double iy = (k * sinAzimuth_) * (down - up);
  const double intensity = io + (ix + iy);
  return intensity < 0.0 ? 0.0 : intensity;
}

PixelColor ReliefRenderer::DestinationColor(const PixelColor& source, const PixelColor& background,
                                            double light) const {
  const double a = source.alpha / 255.0;
  double red = (background.red / 255.0) * (1.0 - a) + (source.red / 255.0) * a;
  double green = (background.green / 255.0) * (1.0 - a) + (source.green / 255.0) * a;
  double blue = (background.blue / 255.0) * (1.0 - a) + (source.blue / 255.0) * a;
  if (isLightEnabled_) {
    red *= (lightColor_.red * light) / 255.0;
    green *= (lightColor_.green * light) / 255.0;
    blue *= (lightColor_.blue * light) / 255.0;
  }
  const uint8_t alpha = source.alpha > background.alpha ? source.alpha : background.alpha;
  return PixelColor(alpha, TruncateToByte(Limit01(blue) * 255.0), TruncateToByte(Limit01(green) * 255.0),
                    TruncateToByte(Limit01(red) * 255.0));
}

void ReliefRenderer::Render() {
  if (sourceGrid_ == nullptr) throw InvalidParamError("the relief renderer has no source grid");
  if (destImage_ == nullptr) throw InvalidParamError("the relief renderer has no destination image");
  const int width = sourceGrid_->GetWidth();
  const int height = sourceGrid_->GetHeight();
  if (width <= 0) throw InvalidParamError("the source grid has no columns");
  if (height <= 0) throw InvalidParamError("the source grid has no rows");
  if (gradient_.GetPointCount() < 2) {
    throw InvalidParamError("the colour ramp has " + std::to_string(gradient_.GetPointCount()) +
                            " points; it needs at least 2");
  }
  if (backgroundImage_ != nullptr &&
      (backgroundImage_->GetWidth() != width || backgroundImage_->GetHeight() != height)) {
    throw InvalidParamError("background image of " + std::to_string(backgroundImage_->GetWidth()) + " x " +
                            std::to_string(backgroundImage_->GetHeight()) + " does not match the grid of " +
                            std::to_string(width) + " x " + std::to_string(height));
  }
  if (destImage_ != backgroundImage_) destImage_->Resize(width, height);

  for (int y = 0; y < height; ++y) {
    const float* source = sourceGrid_->RowData(y);
    const float* down = sourceGrid_->RowData(Neighbour(y, -1, height, isWrapEnabled_));
    const float* up = sourceGrid_->RowData(Neighbour(y, +1, height, isWrapEnabled_));
    const PixelColor* background = backgroundImage_ != nullptr ? backgroundImage_->RowData(y) : nullptr;
    PixelColor* dest = destImage_->RowData(y);
    for (int x = 0; x < width; ++x) {
      const PixelColor color = gradient_.ColorAt(source[x]);
      double light = 1.0;
      if (isLightEnabled_) {
        const double left = source[Neighbour(x, -1, width, isWrapEnabled_)];
        const double right = source[Neighbour(x, +1, width, isWrapEnabled_)];
        light = LightIntensity(left, right, down[x], up[x]) * lightBrightness_;
      }
      dest[x] = DestinationColor(color, background != nullptr ? background[x] : kOpaqueWhite, light);
    }
  }
}

}  // namespace utils
}  // namespace noise
