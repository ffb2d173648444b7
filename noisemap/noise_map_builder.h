// The abstract base of the builders that fill a HeightGrid from a module.
#pragma once

#include <libnoise/noise.h>

#include "noisemap/height_grid.h"

namespace noise {
namespace utils {

// Called by a builder after each finished row, with the row's index.
typedef void (*ProgressCallback)(int row);

// Holds what every builder needs: the module to sample, the grid to fill, its
// size and an optional progress callback. The builder owns neither the grid
// nor the module; both must outlive every Build. The setters store their
// value and check nothing; Build checks.
class NoiseMapBuilder {
 public:
  NoiseMapBuilder() = default;
  virtual ~NoiseMapBuilder() = default;
  NoiseMapBuilder(const NoiseMapBuilder&) = delete;
  NoiseMapBuilder& operator=(const NoiseMapBuilder&) = delete;

  // Fills the destination grid.
  virtual void Build() = 0;

  void AttachModule(const module::Module& sourceModule) { sourceModule_ = &sourceModule; }
  void SetDestGrid(HeightGrid& destGrid) { destGrid_ = &destGrid; }
  void SetGridSize(int destWidth, int destHeight) {
    destWidth_ = destWidth;
    destHeight_ = destHeight;
  }
  void SetProgressCallback(ProgressCallback callback) { callback_ = callback; }

  int GetDestWidth() const { return destWidth_; }
  int GetDestHeight() const { return destHeight_; }

 protected:
  ProgressCallback callback_ = nullptr;
  int destHeight_ = 0;
  int destWidth_ = 0;
  HeightGrid* destGrid_ = nullptr;
  const module::Module* sourceModule_ = nullptr;
};

}  // namespace utils
}  // namespace noise
