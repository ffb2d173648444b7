// Fuzz target of duneforge's front half: any bytes as a command file, read
// and checked, the chain planned, and one 4 x 4 tile sampled from the
// chain's output (in blocks, and where libnoise is present also through the
// plan's libnoise modules) and rendered, all in memory. Only the library's
// documented exceptions may come out; an abort from a libnoise assertion,
// any other exception or undefined behaviour is a finding.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "generator/chain_plan_builder.h"
#include "generator/command_settings.h"
#include "generator/duneforge_run.h"
#include "noisemap/error.h"
#include "noisemap/height_grid.h"
#include "noisemap/image_grid.h"
#include "noisemap/noise_map_builder_plane.h"
#include "noisemap/relief_renderer.h"

namespace {

constexpr int kTileSize = 4;

void BuildTinyTile(const duneforge::CommandSettings& settings, const noise::utils::ChainPlan& chain,
                   noise::utils::EvaluatorChoice evaluator) {
  // The first tile of the file's layout, at the tiny size; without tiles the
  // whole area stands in for it.
  duneforge::CommandSettings layout = settings;
  if (layout.tilesX < 1 || layout.tilesZ < 1) layout.tilesX = layout.tilesZ = 1;
  const duneforge::TileBounds bounds = duneforge::ComputeTileBounds(layout, 0, 0);
  if (!(bounds.lowerX < bounds.upperX) || !(bounds.lowerZ < bounds.upperZ)) return;

  noise::utils::HeightGrid grid;
  noise::utils::NoiseMapBuilderPlane builder;
  builder.AttachPlan(chain);
  builder.SetEvaluator(evaluator);
  builder.SetDestGrid(grid);
  builder.SetGridSize(kTileSize, kTileSize);
  builder.SetBounds(bounds.lowerX, bounds.upperX, bounds.lowerZ, bounds.upperZ);
  builder.Build();

  noise::utils::ImageGrid image;
  noise::utils::ReliefRenderer renderer;
  renderer.SetSourceGrid(grid);
  renderer.SetDestImage(image);
  renderer.Render();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  duneforge::CommandSettings settings;
  duneforge::ReadCommandSettings(in, settings);
  try {
    duneforge::CheckCommandSettings(settings, duneforge::kCommandFileName);
    const noise::utils::ChainPlan chain = duneforge::BuildChainPlan(settings);
    for (noise::utils::EvaluatorChoice evaluator : noise::utils::AvailableEvaluators()) {
      BuildTinyTile(settings, chain, evaluator);
    }
  } catch (const noise::Exception&) {
    // A refused file or row: the documented outcome.
  }
  return 0;
}
