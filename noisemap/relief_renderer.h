// Renders a HeightGrid into an ImageGrid through a colour ramp, with an
// optional directional light and background image.
#pragma once

#include "noisemap/color_ramp.h"
#include "noisemap/height_grid.h"
#include "noisemap/image_grid.h"
#include "noisemap/pixel_color.h"

namespace noise {
namespace utils {

// Light defaults: from 45 degrees azimuth and 45 degrees above the plane,
// white, brightness and contrast 1.
constexpr double kDefaultLightAzimuth = 45.0;
constexpr double kDefaultLightElevation = 45.0;
constexpr double kDefaultLightBrightness = 1.0;
constexpr double kDefaultLightContrast = 1.0;

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
  void ClearGradient() { m_gradient.Clear(); }
  void AddGradientPoint(double position, const PixelColor& color) { m_gradient.AddPoint(position, color); }
  ColorRamp& Gradient() { return m_gradient; }

  void EnableLight(bool enable) { m_isLightEnabled = enable; }
  void EnableWrap(bool enable) { m_isWrapEnabled = enable; }
  void SetLightAzimuth(double degrees) {
    m_lightAzimuth = degrees;
    m_recalcLightValues = true;
  }
  void SetLightBrightness(double brightness) { m_lightBrightness = brightness; }
  void SetLightColor(const PixelColor& color) { m_lightColor = color; }
  void SetLightContrast(double contrast) { m_lightContrast = contrast; }
  void SetLightElev(double degrees) {
    m_lightElev = degrees;
    m_recalcLightValues = true;
  }
  void SetBackgroundImage(const ImageGrid& image) { m_pBackgroundImage = &image; }
  void SetDestImage(ImageGrid& image) { m_pDestImage = &image; }
  void SetSourceGrid(const HeightGrid& grid) { m_pSourceGrid = &grid; }

  bool IsLightEnabled() const { return m_isLightEnabled; }
  bool IsWrapEnabled() const { return m_isWrapEnabled; }
  double GetLightAzimuth() const { return m_lightAzimuth; }
  double GetLightElev() const { return m_lightElev; }

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
  double m_cosAzimuth = 0.0;
  double m_cosElev = 0.0;
  ColorRamp m_gradient;
  bool m_isLightEnabled = false;
  bool m_isWrapEnabled = false;
  double m_lightAzimuth = kDefaultLightAzimuth;
  double m_lightBrightness = kDefaultLightBrightness;
  PixelColor m_lightColor{255, 255, 255, 255};
  double m_lightContrast = kDefaultLightContrast;
  double m_lightElev = kDefaultLightElevation;
  const ImageGrid* m_pBackgroundImage = nullptr;
  ImageGrid* m_pDestImage = nullptr;
  const HeightGrid* m_pSourceGrid = nullptr;
  bool m_recalcLightValues = true;
  double m_sinAzimuth = 0.0;
  double m_sinElev = 0.0;
};

}  // namespace utils
}  // namespace noise
