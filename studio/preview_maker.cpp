#include "studio/preview_maker.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstring>
#include <exception>
#include <thread>
#include <vector>

#include "generator/chain_plan_builder.h"
#include "generator/duneforge_run.h"
#include "noisemap/noise_map_builder_plane.h"

namespace studio {

namespace {

// What the threads of one Make share.
struct SharedWork {
  const PreviewArea& area;
  noise::utils::EvaluatorChoice evaluator;
  const std::function<bool()>& stale;
  int bandCount;
  noise::utils::HeightGrid& grid;
  std::atomic<int> nextBand{0};
  std::atomic<bool> stop{false};
  std::atomic<bool> cancelled{false};
};

// One thread's part: bands taken in turn, built from the chain's plan into
// its own band grid and copied into the rows of the whole grid, which no other
// thread writes.
void BuildBands(SharedWork& work, const noise::utils::ChainPlan& chain, std::exception_ptr& error) {
  try {
    noise::utils::HeightGrid band;
    noise::utils::NoiseMapBuilderPlane builder;
    duneforge::SetUpPlaneBuilder(builder, chain, band, work.area.width, work.area.height, work.evaluator);
    builder.SetBounds(work.area.lowerX, work.area.upperX, work.area.lowerZ, work.area.upperZ);
    const size_t rowBytes = static_cast<size_t>(work.area.width) * sizeof(float);
    for (int b = work.nextBand++; b < work.bandCount && !work.stop; b = work.nextBand++) {
      if (work.stale && work.stale()) {
        work.cancelled = true;
        work.stop = true;
        return;
      }
      const int firstRow = b * PreviewMaker::kBandRows;
      const int rowCount = std::min(PreviewMaker::kBandRows, work.area.height - firstRow);
      builder.BuildBand(firstRow, rowCount);
      for (int y = 0; y < rowCount; ++y)
        std::memcpy(work.grid.RowData(firstRow + y), band.RowData(y), rowBytes);
    }
  } catch (...) {
    error = std::current_exception();
    work.stop = true;
  }
}

}  // namespace

bool PreviewMaker::Make(const duneforge::CommandSettings& settings, const PreviewArea& area,
                        noise::utils::HeightGrid& grid, const std::function<bool()>& stale) const {
  assert(area.width >= 1 && area.width <= kLargestPreviewSide);
  assert(area.height >= 1 && area.height <= kLargestPreviewSide);
  // Bounds first, with the plane builder's own check, so a bad area is
  // named before the chain is planned.
  noise::utils::NoiseMapBuilderPlane check;
  check.SetBounds(area.lowerX, area.upperX, area.lowerZ, area.upperZ);

  const int bandCount = (area.height + kBandRows - 1) / kBandRows;
  const int workers = std::min(threads_, bandCount);
  const noise::utils::ChainPlan chain = duneforge::BuildChainPlan(settings);
  grid.Resize(area.width, area.height);

  SharedWork work{area, duneforge::EvaluatorFromEnvironment(), stale, bandCount, grid};
  std::vector<std::exception_ptr> errors(static_cast<size_t>(workers));
  std::vector<std::thread> threads;
  try {
    for (size_t i = 1; i < static_cast<size_t>(workers); ++i) {
      threads.emplace_back(BuildBands, std::ref(work), std::cref(chain), std::ref(errors[i]));
    }
  } catch (...) {
    // No thread to be had: those started stop after their band, and a
    // thread is never left unjoined.
    work.stop = true;
    for (std::thread& thread : threads) thread.join();
    throw;
  }
  BuildBands(work, chain, errors[0]);
  for (std::thread& thread : threads) thread.join();
  for (const std::exception_ptr& error : errors) {
    if (error) std::rethrow_exception(error);
  }
  return !work.cancelled;
}

}  // namespace studio
