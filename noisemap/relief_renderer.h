// Renders a HeightGrid into an ImageGrid through a colour ramp, with an
// optional directional light and background image.
#pragma once

#include "noisemap/color_ramp.h"
#include "noisemap/height_grid.h"
#include "noisemap/image_grid.h"
#include "noisemap/pixel_color.h"

namespace noise {
namespace utils {

// Maps every height of the source grid to its ramp colour, shades it by a
// light computed from the neighbouring heights when lighting is on, and
// blends it over the background (a background image, or opaque white). The
// renderer owns its ramp, which starts as the grey ramp (black at -1, white
// at +1); the grids are the caller's and must outlive Render. The sines and
// cosines of the light angles are cached and recomputed only after an angle
// changes.
class ReliefRenderer {
 public:
  ReliefRenderer();
  ReliefRenderer(const ReliefRenderer&) = delete;
  ReliefRenderer& operator=(const ReliefRenderer&) = delete;

  // Replaces the ramp by the grey ramp.
  void UseGreyRamp();
  void ClearGradient() { gradient_.Clear(); }
  void AddGradientPoint(double position, const PixelColor& color) { gradient_.AddPoint(position, color); }
  ColorRamp& Gradient() { return gradient_; }

  void EnableLight(bool enable) { isLightEnabled_ = enable; }
  void EnableWrap(bool enable) { isWrapEnabled_ = enable; }
  void SetLightAzimuth(double degrees) {
    lightAzimuth_ = degrees;
    recalcLightValues_ = true;
  }
  void SetLightBrightness(double brightness) { lightBrightness_ = brightness; }
  void SetLightColor(const PixelColor& color) { lightColor_ = color; }
  void SetLightContrast(double contrast) { lightContrast_ = contrast; }
  void SetLightElev(double degrees) {
    lightElev_ = degrees;
    recalcLightValues_ = true;
  }
  void SetBackgroundImage(const ImageGrid& image) { backgroundImage_ = &image; }
  void SetDestImage(ImageGrid& image) { destImage_ = &image; }
  void SetSourceGrid(const HeightGrid& grid) { sourceGrid_ = &grid; }

  bool IsLightEnabled() const { return isLightEnabled_; }
  bool IsWrapEnabled() const { return isWrapEnabled_; }
  double GetLightAzimuth() const { return lightAzimuth_; }
  double GetLightElev() const { return lightElev_; }

  // Fills the destination image with the source's size. Throws
  // noise::ExceptionInvalidParam, before touching the destination, without a
  // source grid or destination image, for an empty source, a ramp of fewer
  // than two points, or a background image of another size; passes on
  // noise::ExceptionOutOfMemory from resizing the destination. A destination
  // that is also the background is not resized but overwritten in place.
  void Render();

  // The light falling on a sample whose neighbours have these heights: the
  // flat-ground part from the elevation plus the slope's part, never below 0.
  double LightIntensity(double left, double right, double down, double up);
  // The pixel for ramp colour `source` over `background` under `light`.
  PixelColor DestinationColor(const PixelColor& source, const PixelColor& background, double light) const;

 private:
  double cosAzimuth_ = 0.0;
  double cosElev_ = 0.0;
  ColorRamp gradient_;
  bool isLightEnabled_ = false;
  bool isWrapEnabled_ = false;
  // The light by default: from 45 degrees azimuth and 45 degrees above the
  // plane, white, brightness and contrast 1.
  double lightAzimuth_ = 45.0;
  double lightBrightness_ = 1.0;
  PixelColor lightColor_{255, 255, 255, 255};
  double lightContrast_ = 1.0;
  double lightElev_ = 45.0;
  const ImageGrid* backgroundImage_ = nullptr;
  ImageGrid* destImage_ = nullptr;
  const HeightGrid* sourceGrid_ = nullptr;
  bool recalcLightValues_ = true;
  double sinAzimuth_ = 0.0;
  double sinElev_ = 0.0;
};

}  // namespace utils
}  // namespace noise
