// Heights of a command file's chain over one rectangle, on every core.
#pragma once

#include <cstdint>
#include <functional>

#include "generator/command_settings.h"
#include "noisemap/height_grid.h"

namespace studio {

// The preview's sides take 1 .. kLargestPreviewSide samples; 256 unless a
// request says otherwise.
constexpr int32_t kDefaultPreviewSide = 256;
constexpr int32_t kLargestPreviewSide = 1024;

// The samples and the rectangle of x and z they cover.
struct PreviewArea {
  int32_t width = kDefaultPreviewSide;
  int32_t height = kDefaultPreviewSide;
  double lowerX = 0.0;
  double upperX = 0.0;
  double lowerZ = 0.0;
  double upperZ = 0.0;
};

// Builds the output of the settings' module chain over an area with the
// chain builder and plane builder duneforge uses, in bands of kBandRows rows
// that up to `threads` threads take in turn, each thread on a chain of its
// own. The values are those of one plane build of the whole area, to the
// bit: a tile's size and bounds give the heights duneforge writes for that
// tile.
class PreviewMaker {
 public:
  // Rows of one band: a 256-sample preview checks for staleness 16 times.
  static constexpr int kBandRows = 16;

  explicit PreviewMaker(int threads) : threads_(threads < 1 ? 1 : threads) {}

  // Fills `grid` (resized to the area) and returns true. `stale`, when
  // given, is asked before every band, from any of the threads; once it
  // says true no band is started and Make returns false, leaving the grid's
  // values unspecified. The chain's and the plane builder's noise
  // exceptions pass, with duneforge's texts. The area's sides lie in 1 ..
  // kLargestPreviewSide.
  bool Make(const duneforge::CommandSettings& settings, const PreviewArea& area,
            noise::utils::HeightGrid& grid, const std::function<bool()>& stale = nullptr) const;

 private:
  int threads_;
};

}  // namespace studio
