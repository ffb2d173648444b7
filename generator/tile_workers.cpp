#include "generator/tile_workers.h"

#include <algorithm>
#include <new>
#include <string>

#include "generator/piece_appender.h"
#include "generator/piece_runner.h"
#include "generator/tile_build.h"
#include "noisemap/error.h"

namespace duneforge {

TileWorkers::SourceSetUp TileWorkers::ForChain(const noise::utils::ChainPlan& chain,
                                               noise::utils::EvaluatorChoice evaluator) {
  return [&chain, evaluator](noise::utils::NoiseMapBuilderPlane& builder) {
    builder.AttachPlan(chain);
    builder.SetEvaluator(evaluator);
  };
}

TileWorkers::TileWorkers(const CommandSettings& settings, const SourceSetUp& setUp, const PiecePlan& plan)
    : settings_(settings),
      plan_(plan),
      slots_(static_cast<size_t>(std::max(plan.Slots(), 1))),
      lastTile_(settings.tileWidth, settings.tileHeight) {
  for (int i = 0; i < plan.Workers(); ++i) {
    auto worker = std::make_unique<Worker>();
    setUp(worker->builder);
    SetUpPlaneGrid(worker->builder, worker->grid, settings.tileWidth, settings.tileHeight);
    workers_.push_back(std::move(worker));
  }
}

void TileWorkers::FillSlot(Worker& worker, int64_t piece) {
  const PlannedPiece planned = plan_.Piece(piece);
  try {
    BuildPiece(settings_, worker.builder, planned);
    if (planned.tile == plan_.Tiles() - 1) lastTile_.Place(worker.grid, planned.firstRow);
    slots_[static_cast<size_t>(piece) % slots_.size()].Format(worker.grid,
                                                              static_cast<size_t>(plan_.TextBytes()));
  } catch (const std::bad_alloc&) {
    throw noise::utils::OutOfMemoryError("tile " + std::to_string(planned.tile) +
                                         ": no memory for its values");
  }
}

void TileWorkers::Run(HeightArrayWriter& out, platform::ProgressReport* progress) {
  const int64_t pieces = plan_.Pieces();
  if (pieces == 0) return;
  PieceRunner runner(pieces, static_cast<int>(workers_.size()), static_cast<int64_t>(slots_.size()));
  runner.Start(
      [this](int worker, int64_t piece) { FillSlot(*workers_[static_cast<size_t>(worker)], piece); });
  PieceAppender appender(plan_, out, progress);
  for (int64_t piece = 0; piece < pieces; ++piece) {
    appender.Begin(piece);
    if (!runner.WaitFor(piece)) {
      appender.Fail(piece);
      runner.Finish();  // throws the piece's failure
    }
    // The slot is the writer's until the piece is released.
    const PieceText& text = slots_[static_cast<size_t>(piece) % slots_.size()];
    out.AppendText(text.Data(), text.Size());
    runner.Release(piece);
    appender.End(piece);
  }
  runner.Finish();
}

const noise::utils::HeightGrid& TileWorkers::LastTile() const { return lastTile_.Grid(); }

}  // namespace duneforge
