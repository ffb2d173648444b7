#include "studio/preview_maker.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <memory>
#include <vector>

#include "generator/chain_plan_builder.h"
#include "generator/duneforge_run.h"
#include "generator/piece_plan.h"
#include "generator/piece_runner.h"
#include "noisemap/noise_map_builder_plane.h"

namespace studio {

namespace {

// One thread's builder over the area, and the grid of its band.
struct BandWorker {
  noise::utils::HeightGrid band;
  noise::utils::NoiseMapBuilderPlane builder;
};

}  // namespace

bool PreviewMaker::Make(const duneforge::CommandSettings& settings, const PreviewArea& area,
                        noise::utils::HeightGrid& grid, const std::function<bool()>& stale) const {
  assert(area.width >= 1 && area.width <= kLargestPreviewSide);
  assert(area.height >= 1 && area.height <= kLargestPreviewSide);
  // Bounds first, with the plane builder's own check, so a bad area is
  // named before the chain is planned.
  noise::utils::NoiseMapBuilderPlane check;
  check.SetBounds(area.lowerX, area.upperX, area.lowerZ, area.upperZ);

  // The area is one tile, cut into bands of kBandRows rows.
  const duneforge::PiecePlan plan =
      duneforge::PiecePlan::Fixed(1, area.width, area.height, threads_, kBandRows);
  const int workers = static_cast<int>(std::min<int64_t>(threads_, plan.Pieces()));
  const noise::utils::ChainPlan chain = duneforge::BuildChainPlan(settings);
  const noise::utils::EvaluatorChoice evaluator = duneforge::EvaluatorFromEnvironment();
  grid.Resize(area.width, area.height);

  std::vector<std::unique_ptr<BandWorker>> bandWorkers;
  for (int i = 0; i < workers; ++i) {
    auto worker = std::make_unique<BandWorker>();
    duneforge::SetUpPlaneBuilder(worker->builder, chain, worker->band, area.width, area.height, evaluator);
    worker->builder.SetBounds(area.lowerX, area.upperX, area.lowerZ, area.upperZ);
    bandWorkers.push_back(std::move(worker));
  }
  const size_t rowBytes = static_cast<size_t>(area.width) * sizeof(float);
  duneforge::PieceRunner runner(plan.Pieces(), workers);
  if (stale) runner.StopWhen(stale);
  // Each band is built in its worker's band grid and copied into rows of
  // the whole grid that no other thread writes.
  return runner.Run([&](int w, int64_t piece) {
    BandWorker& worker = *bandWorkers[static_cast<size_t>(w)];
    const duneforge::PlannedPiece band = plan.Piece(piece);
    worker.builder.BuildBand(band.firstRow, band.rows);
    for (int y = 0; y < band.rows; ++y)
      std::memcpy(grid.RowData(band.firstRow + y), worker.band.RowData(y), rowBytes);
  });
}

}  // namespace studio
