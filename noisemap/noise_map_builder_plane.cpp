#include "noisemap/noise_map_builder_plane.h"

#include <libnoise/model/plane.h>

#include <string>

#include "noisemap/error.h"

namespace noise {
namespace utils {
namespace {

std::string RangeText(const char* axis, double lower, double upper) {
  return std::string(axis) + " range " + std::to_string(lower) + " .. " + std::to_string(upper) +
         " is empty or reversed";
}

}  // namespace

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
  if (sourceModule_ == nullptr) throw InvalidParamError("no module to sample");
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
  model::Plane plane;
  plane.SetModule(*sourceModule_);

  const double xExtent = upperXBound_ - lowerXBound_;
  const double zExtent = upperZBound_ - lowerZBound_;
  const double xDelta = xExtent / destWidth_;
  const double zDelta = zExtent / destHeight_;

  // Row k lies where k additions of the step lead from the lower bound, so a
  // band reaches exactly the z of the whole build's row.
  double curZ = lowerZBound_;
  for (int z = 0; z < firstRow; ++z) curZ += zDelta;
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
        const double xBlend = 1.0 - ((curX - lowerXBound_) / xExtent);
        const double zBlend = 1.0 - ((curZ - lowerZBound_) / zExtent);
        const double z0 = (1.0 - xBlend) * sw + xBlend * se;
        const double z1 = (1.0 - xBlend) * nw + xBlend * ne;
        value = (1.0 - zBlend) * z0 + zBlend * z1;
      }
      dest[x] = static_cast<float>(value);
      curX += xDelta;
    }
    curZ += zDelta;
    if (callback_ != nullptr) callback_(firstRow + z);
  }
}

}  // namespace utils
}  // namespace noise
