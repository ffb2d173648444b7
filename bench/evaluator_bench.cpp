// Measures the batch evaluator against libnoise's point-by-point evaluation
// on one core: the terrain example's chain (or the command file given),
// sampled by the plane builder over the example's area in a grid of rows of
// 256 samples, once with the evaluator kLibnoise and once with each batch
// level this processor runs.
//
// Usage: evaluator_bench [command file] [rounds] [rows]
// Each round times libnoise and every level side by side, the order turned
// round every other round (default 9 rounds, 256 rows). Times are the
// thread's processor time; the ratios are taken within each round, so that
// other work on the machine weighs on both sides alike. Every level's grid
// is checked to hold libnoise's floats, bit for bit.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "generator/chain_plan_builder.h"
#include "generator/command_settings.h"
#include "noisemap/noise_map_builder_plane.h"

namespace {

using noise::utils::EvaluatorChoice;
using noise::utils::HeightGrid;
using noise::utils::NoiseMapBuilderPlane;

constexpr int kRowLength = 256;

// Builds the grid with `choice` and returns the thread time it took.
double TimeBuild(NoiseMapBuilderPlane& builder, EvaluatorChoice choice) {
  builder.SetEvaluator(choice);
  const double start = bench::ThreadSeconds();
  builder.Build();
  return bench::ThreadSeconds() - start;
}

bool SameGrid(const HeightGrid& a, const HeightGrid& b) {
  for (int y = 0; y < a.GetHeight(); ++y) {
    if (std::memcmp(a.RowData(y), b.RowData(y), sizeof(float) * static_cast<size_t>(a.GetWidth())) != 0) {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string commandFile = argc > 1 && argv[1][0] != '\0' ? argv[1] : DUNEFORGE_BENCH_TERRAIN;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
  const int rows = argc > 3 ? std::max(1, std::atoi(argv[3])) : 256;
  duneforge::CommandSettings settings;
  if (!duneforge::LoadCommandFile(commandFile, settings)) {
    std::fprintf(stderr, "evaluator_bench: cannot open %s\n", commandFile.c_str());
    return 1;
  }
  const noise::utils::ChainPlan plan = duneforge::BuildChainPlan(settings);

  // The reference grid and one grid per level, all over the example's area.
  std::vector<EvaluatorChoice> levels;
  for (EvaluatorChoice choice : noise::utils::AvailableEvaluators()) {
    if (choice != EvaluatorChoice::kLibnoise) levels.push_back(choice);
  }
  std::vector<HeightGrid> grids(levels.size() + 1);
  std::vector<std::unique_ptr<NoiseMapBuilderPlane>> builders;
  for (HeightGrid& grid : grids) {
    builders.push_back(std::make_unique<NoiseMapBuilderPlane>());
    NoiseMapBuilderPlane& builder = *builders.back();
    builder.AttachPlan(plan);
    builder.SetDestGrid(grid);
    builder.SetGridSize(kRowLength, rows);
    builder.SetBounds(settings.lowerX, settings.upperX, settings.lowerZ, settings.upperZ);
  }

  std::vector<double> libnoiseTimes;
  std::vector<std::vector<double>> ratios(levels.size());
  for (int round = 0; round < rounds; ++round) {
    const bool libnoiseFirst = round % 2 == 0;
    double reference = libnoiseFirst ? TimeBuild(*builders[0], EvaluatorChoice::kLibnoise) : 0.0;
    std::vector<double> times(levels.size());
    for (size_t i = 0; i < levels.size(); ++i) times[i] = TimeBuild(*builders[i + 1], levels[i]);
    if (!libnoiseFirst) reference = TimeBuild(*builders[0], EvaluatorChoice::kLibnoise);
    libnoiseTimes.push_back(reference);
    for (size_t i = 0; i < levels.size(); ++i) {
      if (!SameGrid(grids[0], grids[i + 1])) {
        std::fprintf(stderr, "evaluator_bench: %s gives other values than libnoise\n",
                     noise::utils::EvaluatorName(levels[i]));
        return 1;
      }
      ratios[i].push_back(times[i] / reference);
    }
  }

  const double samples = static_cast<double>(kRowLength) * rows;
  const bench::Spread base = bench::SpreadOf(libnoiseTimes);
  std::printf("%s, %d x %d samples, %d rounds, one thread\n", commandFile.c_str(), kRowLength, rows, rounds);
  std::printf("  libnoise      %7.1f ns a sample (%.1f .. %.1f)\n", base.median / samples * 1e9,
              base.low / samples * 1e9, base.high / samples * 1e9);
  for (size_t i = 0; i < levels.size(); ++i) {
    const bench::Spread r = bench::SpreadOf(ratios[i]);
    std::printf("  %-12s  %.3f of libnoise's time (%.3f .. %.3f)\n", noise::utils::EvaluatorName(levels[i]),
                r.median, r.low, r.high);
  }
  return 0;
}
