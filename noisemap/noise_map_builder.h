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

  void AttachModule(const module::Module& sourceModule) { m_pSourceModule = &sourceModule; }
  void SetDestGrid(HeightGrid& destGrid) { m_pDestGrid = &destGrid; }
  void SetGridSize(int destWidth, int destHeight) {
    m_destWidth = destWidth;
    m_destHeight = destHeight;
  }
  void SetProgressCallback(ProgressCallback callback) { m_pCallback = callback; }

  int GetDestWidth() const { return m_destWidth; }
  int GetDestHeight() const { return m_destHeight; }

 protected:
  ProgressCallback m_pCallback = nullptr;
  int m_destHeight = 0;
  int m_destWidth = 0;
  HeightGrid* m_pDestGrid = nullptr;
  const module::Module* m_pSourceModule = nullptr;
};

}  // namespace utils
}  // namespace noise
