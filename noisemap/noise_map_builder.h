// The abstract base of the builders that fill a HeightGrid from a module.
#pragma once

#if TOOLKIT_WITH_LIBNOISE
#include <libnoise/module/modulebase.h>
#endif

#include "noisemap/chain_plan.h"
#include "noisemap/height_grid.h"

namespace noise {
namespace utils {

// Called by a builder after each finished row, with the row's index.
typedef void (*ProgressCallback)(int row);

// Holds what every builder needs: what to sample, the grid to fill, its size
// and an optional progress callback. What it samples is a chain plan (the
// output of its last module) or, where libnoise is present, a libnoise
// module; attaching one detaches the other. The builder owns neither the
// grid nor what it samples; both must outlive every Build. The setters store
// their value and check nothing; Build checks.
class NoiseMapBuilder {
 public:
  NoiseMapBuilder() = default;
  virtual ~NoiseMapBuilder() = default;
  NoiseMapBuilder(const NoiseMapBuilder&) = delete;
  NoiseMapBuilder& operator=(const NoiseMapBuilder&) = delete;

  // Fills the destination grid.
  virtual void Build() = 0;

  void AttachPlan(const ChainPlan& plan) {
    plan_ = &plan;
    ++attachments_;
#if TOOLKIT_WITH_LIBNOISE
    sourceModule_ = nullptr;
#endif
  }
#if TOOLKIT_WITH_LIBNOISE
  // A libnoise module, asked for its value point by point.
  void AttachModule(const module::Module& sourceModule) {
    sourceModule_ = &sourceModule;
    plan_ = nullptr;
    ++attachments_;
  }
#endif
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
  const ChainPlan* plan_ = nullptr;
  // Counts the attachments, so that what a builder made of one is not taken
  // for the next.
  unsigned attachments_ = 0;
#if TOOLKIT_WITH_LIBNOISE
  const module::Module* sourceModule_ = nullptr;
#endif
};

}  // namespace utils
}  // namespace noise
