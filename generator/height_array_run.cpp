#include "generator/height_array_run.h"

#include "generator/piece_appender.h"
#include "generator/tile_build.h"

namespace duneforge {

HeightArrayRun::HeightArrayRun(const CommandSettings& settings, int threads, int64_t budgetBytes,
                               noise::utils::EvaluatorChoice evaluator)
    : settings_(settings),
      tileCount_(duneforge::TileCount(settings)),
      plan_(PiecePlan::Choose(tileCount_, settings.tileWidth, settings.tileHeight, threads, budgetBytes)),
      chain_(BuildChainPlan(settings)),
      lastTile_(settings.tileWidth, settings.tileHeight) {
  SetUpPlaneBuilder(builder_, chain_, grid_, settings.tileWidth, settings.tileHeight, evaluator);
  if (plan_.Slots() > 0) {
    workers_ = std::make_unique<TileWorkers>(settings, TileWorkers::ForChain(chain_, evaluator), plan_);
  }
}

HeightArrayRun::~HeightArrayRun() = default;

void HeightArrayRun::Write(HeightArrayWriter& out, platform::ProgressReport* progress) {
  if (workers_) {
    workers_->Run(out, progress);
    return;
  }
  // One worker, the writer's own thread: each piece goes from the grid
  // straight into the writer's buffer. Bands put the last tile together
  // whole for the preview; a whole tile is the grid itself.
  PieceAppender(plan_, out, progress)
      .BuildAll(settings_, builder_, grid_, plan_.BandsPerTile() > 1 ? &lastTile_ : nullptr);
}

const noise::utils::HeightGrid& HeightArrayRun::LastTile() const {
  return workers_ ? workers_->LastTile() : plan_.BandsPerTile() > 1 ? lastTile_.Grid() : grid_;
}

}  // namespace duneforge
