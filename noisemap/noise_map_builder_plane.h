// Samples a module over a rectangle of the x-z plane into a HeightGrid.
#pragma once

#include <memory>

#include "noisemap/evaluator_choice.h"
#include "noisemap/noise_map_builder.h"

namespace noise {
namespace utils {

class LibnoiseChain;

// Fills the destination grid with the module's values at regular steps over
// the half-open rectangle [lower x, upper x) x [lower z, upper z) of the
// plane, optionally blended so that opposite edges of the result match.
// Coordinates advance by repeated addition of the step, so sample positions
// are exactly those of that loop.
class NoiseMapBuilderPlane : public NoiseMapBuilder {
 public:
  NoiseMapBuilderPlane();
  ~NoiseMapBuilderPlane() override;

  // Checks the settings (bounds, size, module, grid, in that order; the
  // first failure throws noise::ExceptionInvalidParam before anything is
  // touched), resizes the grid and fills it row by row, calling the progress
  // callback after each row. Exceptions from Resize and from the module pass
  // through; rows finished before them stay in the grid.
  void Build() override;
  // Builds rows firstRow .. firstRow + rowCount - 1 of the grid that Build
  // would fill, with exactly Build's values, into the destination grid,
  // which it resizes to the grid width x rowCount (row 0 holds firstRow).
  // Checks as Build does; a band outside the grid height throws
  // noise::ExceptionInvalidParam as well. The progress callback hears the
  // rows by their place in the whole grid.
  void BuildBand(int firstRow, int rowCount);

  // Sets the rectangle. An empty or reversed range throws
  // noise::ExceptionInvalidParam and keeps the old bounds.
  void SetBounds(double lowerXBound, double upperXBound, double lowerZBound, double upperZBound);
  void SetSeamless(bool seamless) { isSeamlessEnabled_ = seamless; }
  // How an attached plan is evaluated: by default in blocks with the best
  // kernels of this processor; kLibnoise (where libnoise is present) builds
  // the plan's libnoise modules once and asks them point by point. The
  // values are the same to the bit. An attached libnoise module is always
  // asked point by point.
  void SetEvaluator(EvaluatorChoice evaluator) { evaluator_ = evaluator; }
  EvaluatorChoice GetEvaluator() const { return evaluator_; }

  bool IsSeamlessEnabled() const { return isSeamlessEnabled_; }
  double GetLowerXBound() const { return lowerXBound_; }
  double GetLowerZBound() const { return lowerZBound_; }
  double GetUpperXBound() const { return upperXBound_; }
  double GetUpperZBound() const { return upperZBound_; }

 private:
  // Build's checks, in their order; throws on the first that fails.
  void CheckSetUp() const;
  // Fills `rowCount` rows of the destination grid, sized for them, with
  // the rows from `firstRow` of the whole build.
  void FillRows(int firstRow, int rowCount);
  // FillRows with a batch evaluator of the plan, a block of up to
  // batch::kBlockSize samples of a row at a time.
  void FillRowsInBlocks(double curZ, int firstRow, int rowCount);
#if TOOLKIT_WITH_LIBNOISE
  // FillRows with the plane model's GetValue of `module` for every sample.
  void FillRowsPointwise(const module::Module& module, double curZ, int firstRow, int rowCount);
  // The attached plan's libnoise modules, built when first needed.
  const module::Module& PlanOutputModule();
#endif

  EvaluatorChoice evaluator_ = BestEvaluator();
  bool isSeamlessEnabled_ = false;
  double lowerXBound_ = 0.0;
  double lowerZBound_ = 0.0;
  double upperXBound_ = 0.0;
  double upperZBound_ = 0.0;
#if TOOLKIT_WITH_LIBNOISE
  // The libnoise modules of the attached plan, and the attachment they were
  // built for.
  std::unique_ptr<LibnoiseChain> planModules_;
  unsigned planModulesAttachment_ = 0;
#endif
};

}  // namespace utils
}  // namespace noise
