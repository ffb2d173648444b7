// The chain alone, sampled where duneforge samples it: the yardstick of the
// generator's benchmarks.
#pragma once

#include <libnoise/noise.h>

#include "generator/command_settings.h"
#include "generator/duneforge_run.h"

namespace bench {

// Calls the module's GetValue at every position the plane builder samples,
// tile by tile, reached by the same repeated addition of the step, and
// returns the sum of the values so that no call can be left out.
inline double SampleTilesBare(const duneforge::CommandSettings& settings,
                              const noise::module::Module& output) {
  double sum = 0.0;
  for (int64_t t = 0; t < duneforge::TileCount(settings); ++t) {
    const duneforge::TileBounds b = duneforge::ComputeTileBounds(
        settings, static_cast<int32_t>(t % settings.tilesX), static_cast<int32_t>(t / settings.tilesX));
    const double xDelta = (b.upperX - b.lowerX) / settings.tileWidth;
    const double zDelta = (b.upperZ - b.lowerZ) / settings.tileHeight;
    double z = b.lowerZ;
    for (int row = 0; row < settings.tileHeight; ++row, z += zDelta) {
      double x = b.lowerX;
      for (int column = 0; column < settings.tileWidth; ++column, x += xDelta) {
        sum += output.GetValue(x, 0.0, z);
      }
    }
  }
  return sum;
}

}  // namespace bench
