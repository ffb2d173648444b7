// The heights of a command file's tiles, built on every core into memory.
#pragma once

#include <cstdint>
#include <exception>
#include <mutex>
#include <vector>

#include "generator/command_settings.h"
#include "generator/module_chain.h"
#include "generator/piece_plan.h"

namespace pybinding {

// Builds every tile of `settings` as duneforge builds them, into one array
// of floats: tile after tile (x running fastest), each row by row from the
// lower z edge, or with `assemble` as one grid of (tilesX x tileWidth)
// columns and (tilesZ x tileHeight) rows, row 0 at the lower z edge. The
// work is cut into pieces by duneforge's PiecePlan for its thread count and
// memory budget, and each worker builds pieces with a module chain, plane
// builder and grid of its own through duneforge::BuildTileBand, so every
// value is exactly the one duneforge writes. Does not touch Python.
class TileGenerator {
 public:
  TileGenerator(const duneforge::CommandSettings& settings, bool assemble);
  TileGenerator(const TileGenerator&) = delete;
  TileGenerator& operator=(const TileGenerator&) = delete;

  // Builds every tile. When pieces fail, the exception of the first of them
  // in tile order is thrown, as duneforge reports it; the chains' and
  // builders' exceptions (libnoise's types) pass.
  void Run();

  // The values, once Run has returned.
  std::vector<float>& Values() { return values_; }
  int64_t TileCount() const { return tileCount_; }

 private:
  void Work(const duneforge::ModuleChain& chain);
  void BuildPiece(const duneforge::ModuleChain& chain, int64_t piece);
  // Where row `row` of tile `tile` starts in the values.
  size_t RowStart(int64_t tile, int32_t row) const;

  const duneforge::CommandSettings settings_;
  const bool assemble_;
  const int64_t tileCount_;
  const duneforge::PiecePlan plan_;
  std::vector<float> values_;

  std::mutex mutex_;
  // Guarded by mutex_: the next piece to take, and the first piece that
  // failed with its exception (pieceCount while none has).
  int64_t nextPiece_ = 0;
  int64_t failedPiece_ = 0;
  std::exception_ptr failure_;
};

}  // namespace pybinding
