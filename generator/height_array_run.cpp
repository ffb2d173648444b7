#include "generator/height_array_run.h"

#include "generator/duneforge_run.h"

namespace duneforge {

HeightArrayRun::HeightArrayRun(const CommandSettings& settings, int threads, int64_t budgetBytes,
                               noise::utils::EvaluatorChoice evaluator)
    : settings_(settings),
      tileCount_(duneforge::TileCount(settings)),
      plan_(PiecePlan::Choose(tileCount_, settings.tileWidth, settings.tileHeight, threads, budgetBytes)),
      lastTile_(settings.tileWidth, settings.tileHeight) {
  // One chain per worker, since a chain's caches serve one thread.
  for (int i = 0; i < plan_.Workers(); ++i) chains_.push_back(BuildModuleChain(settings));
  builder_.AttachModule(chains_.front().OutputModule());
  builder_.SetDestGrid(grid_);
  builder_.SetGridSize(settings.tileWidth, settings.tileHeight);
  builder_.SetSeamless(false);
  builder_.SetEvaluator(evaluator);
  if (plan_.Slots() > 0) {
    std::vector<const noise::module::Module*> outputs;
    for (const ModuleChain& chain : chains_) outputs.push_back(&chain.OutputModule());
    workers_ = std::make_unique<TileWorkers>(settings, outputs, plan_, evaluator);
  }
}

HeightArrayRun::~HeightArrayRun() = default;

void HeightArrayRun::Write(HeightArrayWriter& out, platform::ProgressReport* progress) {
  if (workers_) {
    workers_->Run(out, progress);
  } else if (plan_.BandsPerTile() > 1) {
    GenerateTileBands(settings_, builder_, grid_, plan_.BandRows(), out, lastTile_, progress);
  } else {
    GenerateTiles(settings_, builder_, grid_, out, progress);
  }
}

const noise::utils::HeightGrid& HeightArrayRun::LastTile() const {
  return workers_ ? workers_->LastTile() : plan_.BandsPerTile() > 1 ? lastTile_.Grid() : grid_;
}

}  // namespace duneforge
