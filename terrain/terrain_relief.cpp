#include "terrain/terrain_relief.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "noisemap/error.h"
#include "noisemap/height_grid.h"
#include "noisemap/relief_renderer.h"

namespace terrain {

namespace {

using noise::utils::PixelColor;

// The share of the samples that lies below the shore line (water) and below
// the snow line.
constexpr double kShoreShare = 0.2;
constexpr double kSnowShare = 0.93;

struct RampStop {
  double fraction;
  PixelColor color;  // alpha, blue, green, red
};

// The shore-to-peak ramp, for terrains of any height range: water, sand,
// grass, forest, rock and snow. Each colour stands at the height below which the
// given share of the samples lies, so every terrain shows some water, land,
// rock and snow whatever its height range.
const RampStop kShoreToPeakRamp[] = {
    {0.00, PixelColor(255, 96, 24, 8)},                   // deep water
    {kShoreShare - 0.05, PixelColor(255, 190, 120, 40)},  // shallow water
    {kShoreShare, PixelColor(255, 140, 200, 215)},        // sand
    {kShoreShare + 0.03, PixelColor(255, 60, 160, 80)},   // grass
    {0.60, PixelColor(255, 40, 105, 45)},                 // forest
    {0.78, PixelColor(255, 100, 110, 120)},               // rock
    {kSnowShare, PixelColor(255, 235, 235, 235)},         // snow line
    {1.00, PixelColor(255, 255, 255, 255)},               // peaks
};

// Sets the shore-to-peak ramp on `renderer` for the heights of `grid`.
void AddShoreToPeakRamp(const noise::utils::HeightGrid& grid, int32_t columns, int32_t rows,
                        noise::utils::ReliefRenderer& renderer) {
  // The ramp's positions: the heights at the shares of the samples, as the
  // renderer will see them; a position that does not rise above the one
  // before (a terrain with large flat parts) is left out.
  std::vector<float> sorted(grid.RowData(0), grid.RowData(0));
  sorted.reserve(static_cast<size_t>(columns) * static_cast<size_t>(rows));
  for (int32_t y = 0; y < rows; ++y) sorted.insert(sorted.end(), grid.RowData(y), grid.RowData(y) + columns);
  std::sort(sorted.begin(), sorted.end());
  renderer.ClearGradient();
  double previous = -std::numeric_limits<double>::infinity();
  for (const RampStop& stop : kShoreToPeakRamp) {
    const size_t at = static_cast<size_t>(stop.fraction * static_cast<double>(sorted.size() - 1) + 0.5);
    const double position = static_cast<double>(sorted[at]);
    if (position <= previous) continue;
    renderer.AddGradientPoint(position, stop.color);
    previous = position;
  }
  if (renderer.Gradient().GetPointCount() < 2) {
    // A flat terrain is drawn as grass.
    renderer.ClearGradient();
    renderer.AddGradientPoint(previous - 1.0, kShoreToPeakRamp[3].color);
    renderer.AddGradientPoint(previous + 1.0, kShoreToPeakRamp[3].color);
  }
}

// The spacing at which kSteepShare of the differences between neighbouring
// heights are at most kSteepestDefaultSlope (in heights per spacing): the
// relief drawn without a spacing given, so that rough ground does not turn
// black and white.
double SpacingForSlopes(const TerrainGrid& terrain) {
  constexpr double kSteepShare = 0.98;
  constexpr double kSteepestDefaultSlope = 0.6;
  std::vector<double> steps;
  const auto at = [&terrain](int32_t x, int32_t y) {
    return terrain
        .heights[static_cast<size_t>(y) * static_cast<size_t>(terrain.columns) + static_cast<size_t>(x)];
  };
  for (int32_t y = 0; y < terrain.rows; ++y) {
    for (int32_t x = 0; x < terrain.columns; ++x) {
      if (x + 1 < terrain.columns) steps.push_back(std::fabs(at(x + 1, y) - at(x, y)));
      if (y + 1 < terrain.rows) steps.push_back(std::fabs(at(x, y + 1) - at(x, y)));
    }
  }
  if (steps.empty()) return 0.0;
  const size_t share = static_cast<size_t>(kSteepShare * static_cast<double>(steps.size() - 1));
  std::nth_element(steps.begin(), steps.begin() + static_cast<ptrdiff_t>(share), steps.end());
  return steps[share] / kSteepestDefaultSlope;
}

}  // namespace

void RenderTerrain(const TerrainGrid& terrain, bool spacingGiven, noise::utils::ImageGrid& image,
                   const ReliefLight& light) {
  using noise::utils::InvalidParamError;
  const uint64_t count =
      static_cast<uint64_t>(std::max(terrain.columns, 0)) * static_cast<uint64_t>(std::max(terrain.rows, 0));
  if (terrain.columns <= 0 || terrain.rows <= 0 || count != terrain.heights.size()) {
    throw InvalidParamError("a terrain of " + std::to_string(terrain.columns) + " x " +
                            std::to_string(terrain.rows) + " samples needs that many heights, not " +
                            std::to_string(terrain.heights.size()));
  }
  double low = terrain.heights[0];
  double high = low;
  for (double h : terrain.heights) {
    if (!std::isfinite(h)) throw InvalidParamError("the terrain holds a height that is not a number");
    low = std::min(low, h);
    high = std::max(high, h);
  }
  // When the spacing is unknown, the relief is drawn as if the height range
  // were this fraction of the picture's width.
  constexpr double kUnknownSpacingRangeFraction = 0.25;
  double spacing = terrain.spacingX;
  if (!(spacing > 0.0) || !std::isfinite(spacing)) {
    spacing = (high - low) / (kUnknownSpacingRangeFraction * terrain.columns);
    if (!(spacing > 0.0)) spacing = 1.0;
  }
  if (!spacingGiven) spacing = std::max(spacing, SpacingForSlopes(terrain));
  // The renderer lights by height differences between neighbouring samples,
  // so heights are handed to it in units of the sample spacing: a difference
  // of 1 between two neighbours is then a slope of 45 degrees.
  noise::utils::HeightGrid grid;
  grid.Resize(terrain.columns, terrain.rows);
  for (int32_t y = 0; y < terrain.rows; ++y) {
    float* row = grid.RowData(y);
    for (int32_t x = 0; x < terrain.columns; ++x) {
      row[x] =
          static_cast<float>(terrain.heights[static_cast<size_t>(y) * static_cast<size_t>(terrain.columns) +
                                             static_cast<size_t>(x)] /
                             spacing);
    }
  }
  noise::utils::ReliefRenderer renderer;
  AddShoreToPeakRamp(grid, terrain.columns, terrain.rows, renderer);
  renderer.EnableLight(true);
  renderer.SetLightAzimuth(light.azimuth);
  renderer.SetLightElev(light.elevation);
  renderer.SetLightBrightness(light.brightness);
  renderer.SetLightContrast(light.contrast);
  renderer.SetSourceGrid(grid);
  renderer.SetDestImage(image);
  renderer.Render();
}

}  // namespace terrain
