#include "studio/relief_png.h"

#include <vector>

#include "noisemap/image_grid.h"
#include "noisemap/relief_renderer.h"
#include "studio/studio_error.h"
#include "terrain/image_bytes.h"
#include "terrain/png_encoder.h"

namespace studio {

namespace {

using noise::utils::PixelColor;

// The land-by-height ramp, for noise heights about -1 .. 1, (alpha, blue,
// green, red): no water, lowland green at -1, then olive,
// brown, rock and snow on the highest ground.
void UseLandByHeightRamp(noise::utils::ReliefRenderer& renderer) {
  renderer.ClearGradient();
  renderer.AddGradientPoint(-1.0, PixelColor(255, 24, 72, 24));
  renderer.AddGradientPoint(-0.5, PixelColor(255, 40, 128, 56));
  renderer.AddGradientPoint(0.0, PixelColor(255, 72, 152, 136));
  renderer.AddGradientPoint(0.375, PixelColor(255, 64, 104, 136));
  renderer.AddGradientPoint(0.75, PixelColor(255, 144, 144, 144));
  renderer.AddGradientPoint(1.0, PixelColor(255, 255, 255, 255));
}

// The status of a preview whose picture cannot be encoded: no memory is 503,
// as the server answers any request that runs out of it; anything else is
// the studio's own fault.
int StatusOf(const terrain::TerrainResult& encoded) {
  return encoded.GetKind() == terrain::TerrainResult::Kind::kTooLarge ? 503 : 500;
}

}  // namespace

void ReliefPng::Render(const noise::utils::HeightGrid& grid, noise::utils::ImageGrid& image) {
  noise::utils::ReliefRenderer renderer;
  UseLandByHeightRamp(renderer);
  renderer.EnableLight(true);
  renderer.SetLightContrast(1.5);
  renderer.SetLightBrightness(1.5);
  renderer.SetSourceGrid(grid);
  renderer.SetDestImage(image);
  renderer.Render();
}

std::string ReliefPng::Encode(const noise::utils::HeightGrid& grid) {
  noise::utils::ImageGrid image;
  Render(grid, image);
  // The top row is the north, the grid's last row (the upper z), as in
  // every picture and terrain file the toolkit writes.
  const std::vector<uint8_t> pixels =
      terrain::ImageBytes(image, terrain::ChannelOrder::kRgb, terrain::RowOrder::kNorthFirst);
  terrain::PngLayout layout;
  layout.width = image.GetWidth();
  layout.height = image.GetHeight();
  // The picture crosses the loopback only: light compression is cheaper than
  // the bytes it would save.
  layout.compressionLevel = 1;
  layout.filters = terrain::PngLayout::kSubFilterOnly;
  std::vector<uint8_t> png;
  const terrain::TerrainResult encoded = terrain::EncodePng(layout, pixels.data(), png);
  if (!encoded)
    throw StudioError(StatusOf(encoded), "the preview picture cannot be encoded: " + encoded.Text());
  return std::string(png.begin(), png.end());
}

}  // namespace studio
