#include "noisemap/noise_map_builder_plane.h"

#include <algorithm>
#include <string>

#include "noisemap/batch_evaluator.h"
#include "noisemap/error.h"

#if TOOLKIT_WITH_LIBNOISE
#include <libnoise/model/plane.h>

#include "noisemap/libnoise_chain.h"
#endif

namespace noise {
namespace utils {
namespace {

std::string RangeText(const char* axis, double lower, double upper) {
  return std::string(axis) + " range " + std::to_string(lower) + " .. " + std::to_string(upper) +
         " is empty or reversed";
}

constexpr int kBlock = batch::kBlockSize;

// The seamless value from the four samples, where xFraction and zFraction
// say how far the grid position lies along each extent.
double SeamlessBlend(double sw, double se, double nw, double ne, double xFraction, double zFraction) {
  const double xBlend = 1.0 - xFraction;
  const double zBlend = 1.0 - zFraction;
  const double z0 = (1.0 - xBlend) * sw + xBlend * se;
  const double z1 = (1.0 - xBlend) * nw + xBlend * ne;
  return (1.0 - zBlend) * z0 + zBlend * z1;
}

}  // namespace

NoiseMapBuilderPlane::NoiseMapBuilderPlane() = default;
NoiseMapBuilderPlane::~NoiseMapBuilderPlane() = default;

void NoiseMapBuilderPlane::SetBounds(double lowerXBound, double upperXBound, double lowerZBound,
                                     double upperZBound) {
  // Written as !(a < b) so that NaN bounds are refused too.
  if (!(lowerXBound < upperXBound)) throw InvalidParamError(RangeText("x", lowerXBound, upperXBound));
  if (!(lowerZBound < upperZBound)) throw InvalidParamError(RangeText("z", lowerZBound, upperZBound));
  lowerXBound_ = lowerXBound;
  upperXBound_ = upperXBound;
  lowerZBound_ = lowerZBound;
  upperZBound_ = upperZBound;
}

void NoiseMapBuilderPlane::CheckSetUp() const {
  if (!(lowerXBound_ < upperXBound_)) throw InvalidParamError(RangeText("x", lowerXBound_, upperXBound_));
  if (!(lowerZBound_ < upperZBound_)) throw InvalidParamError(RangeText("z", lowerZBound_, upperZBound_));
  if (destWidth_ <= 0)
    throw InvalidParamError("grid width " + std::to_string(destWidth_) + " is not positive");
  if (destHeight_ <= 0) {
    throw InvalidParamError("grid height " + std::to_string(destHeight_) + " is not positive");
  }
#if TOOLKIT_WITH_LIBNOISE
  const bool hasSource = plan_ != nullptr || sourceModule_ != nullptr;
#else
  const bool hasSource = plan_ != nullptr;
#endif
  if (!hasSource) throw InvalidParamError("no module to sample");
  if (destGrid_ == nullptr) throw InvalidParamError("no grid to fill");
}

void NoiseMapBuilderPlane::Build() {
  CheckSetUp();
  destGrid_->Resize(destWidth_, destHeight_);
  FillRows(0, destHeight_);
}

void NoiseMapBuilderPlane::BuildBand(int firstRow, int rowCount) {
  CheckSetUp();
  if (firstRow < 0 || rowCount <= 0 || rowCount > destHeight_ - firstRow) {
    throw InvalidParamError("band of " + std::to_string(rowCount) + " rows from row " +
                            std::to_string(firstRow) + " does not lie within the grid height " +
                            std::to_string(destHeight_));
  }
  destGrid_->Resize(destWidth_, rowCount);
  FillRows(firstRow, rowCount);
}

void NoiseMapBuilderPlane::FillRows(int firstRow, int rowCount) {
  // Row k lies where k additions of the step lead from the lower bound, so a
  // band reaches exactly the z of the whole build's row.
  const double zDelta = (upperZBound_ - lowerZBound_) / destHeight_;
  double curZ = lowerZBound_;
  for (int z = 0; z < firstRow; ++z) curZ += zDelta;
  if (plan_ != nullptr && evaluator_ != EvaluatorChoice::kLibnoise)
    return FillRowsInBlocks(curZ, firstRow, rowCount);
#if TOOLKIT_WITH_LIBNOISE
  const module::Module& module = plan_ != nullptr ? PlanOutputModule() : *sourceModule_;
  FillRowsPointwise(module, curZ, firstRow, rowCount);
#else
  throw InvalidParamError("this build has no libnoise to evaluate the chain with");
#endif
}

#if TOOLKIT_WITH_LIBNOISE
const module::Module& NoiseMapBuilderPlane::PlanOutputModule() {
  if (!planModules_ || planModulesAttachment_ != attachments_) {
    planModules_ = std::make_unique<LibnoiseChain>(*plan_);
    planModulesAttachment_ = attachments_;
  }
  return planModules_->OutputModule();
}

void NoiseMapBuilderPlane::FillRowsPointwise(const module::Module& module, double curZ, int firstRow,
                                             int rowCount) {
  model::Plane plane;
  plane.SetModule(module);

  const double xExtent = upperXBound_ - lowerXBound_;
  const double zExtent = upperZBound_ - lowerZBound_;
  const double xDelta = xExtent / destWidth_;
  const double zDelta = zExtent / destHeight_;

  for (int z = 0; z < rowCount; ++z) {
    float* dest = destGrid_->RowData(z);
    double curX = lowerXBound_;
    for (int x = 0; x < destWidth_; ++x) {
      double value;
      if (!isSeamlessEnabled_) {
        value = plane.GetValue(curX, curZ);
      } else {
        // The extra samples lie one extent further on; at the lower bounds
        // both blend factors are 1, so the first sample is wholly the one
        // at (lower x + x extent, lower z + z extent).
        const double sw = plane.GetValue(curX, curZ);
        const double se = plane.GetValue(curX + xExtent, curZ);
        const double nw = plane.GetValue(curX, curZ + zExtent);
        const double ne = plane.GetValue(curX + xExtent, curZ + zExtent);
        value =
            SeamlessBlend(sw, se, nw, ne, (curX - lowerXBound_) / xExtent, (curZ - lowerZBound_) / zExtent);
      }
      dest[x] = static_cast<float>(value);
      curX += xDelta;
    }
    curZ += zDelta;
    if (callback_ != nullptr) callback_(firstRow + z);
  }
}
#endif

void NoiseMapBuilderPlane::FillRowsInBlocks(double curZ, int firstRow, int rowCount) {
  BatchEvaluator evaluator(*plan_, evaluator_);
  const double xExtent = upperXBound_ - lowerXBound_;
  const double zExtent = upperZBound_ - lowerZBound_;
  const double xDelta = xExtent / destWidth_;
  const double zDelta = zExtent / destHeight_;
  // The plane model samples (x, 0, z).
  alignas(64) double xs[kBlock], farXs[kBlock], ys[kBlock], zs[kBlock], farZs[kBlock];
  alignas(64) double sw[kBlock], se[kBlock], nw[kBlock], ne[kBlock];
  std::fill(ys, ys + kBlock, 0.0);

  for (int z = 0; z < rowCount; ++z) {
    float* dest = destGrid_->RowData(z);
    std::fill(zs, zs + kBlock, curZ);
    std::fill(farZs, farZs + kBlock, curZ + zExtent);
    double curX = lowerXBound_;
    for (int start = 0; start < destWidth_; start += kBlock) {
      const int count = std::min(kBlock, destWidth_ - start);
      for (int i = 0; i < count; ++i) {
        xs[i] = curX;
        farXs[i] = curX + xExtent;
        curX += xDelta;
      }
      evaluator.Evaluate(xs, ys, zs, count, sw);
      if (!isSeamlessEnabled_) {
        for (int i = 0; i < count; ++i) dest[start + i] = static_cast<float>(sw[i]);
        continue;
      }
      evaluator.Evaluate(farXs, ys, zs, count, se);
      evaluator.Evaluate(xs, ys, farZs, count, nw);
      evaluator.Evaluate(farXs, ys, farZs, count, ne);
      for (int i = 0; i < count; ++i) {
        dest[start + i] = static_cast<float>(SeamlessBlend(
            sw[i], se[i], nw[i], ne[i], (xs[i] - lowerXBound_) / xExtent, (curZ - lowerZBound_) / zExtent));
      }
    }
    curZ += zDelta;
    if (callback_ != nullptr) callback_(firstRow + z);
  }
}

}  // namespace utils
}  // namespace noise
