// Measures what duneforge spends per sample beyond evaluating its module
// chain: the generator's whole tile loop (plane builder, grid, formatting and
// writing noise_arr.txt) against a bare loop that calls the same chain's
// GetValue at the same coordinates.
//
// Usage: duneforge_bench [command file] [rounds]
// The command file defaults to the bundled terrain example; its chain and a
// single default Perlin module are both measured over its tiles. Times are
// the thread's processor time, so that other work on the machine counts less.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bare_loop.h"
#include "bench/bench_timing.h"
#include "generator/command_settings.h"
#include "generator/duneforge_run.h"
#include "generator/height_array_writer.h"
#include "generator/module_chain.h"
#include "noisemap/error.h"

namespace {

using duneforge::CommandSettings;

// The generator's work for all tiles: build, format, write, close.
double TimeGenerator(const CommandSettings& settings, const noise::module::Module& output,
                     const std::string& path) {
  std::remove(path.c_str());
  noise::utils::HeightGrid grid;
  noise::utils::NoiseMapBuilderPlane builder;
  builder.AttachModule(output);
  builder.SetDestGrid(grid);
  builder.SetGridSize(settings.tileWidth, settings.tileHeight);
  duneforge::HeightArrayWriter out;
  if (!out.Open(path)) {
    std::fprintf(stderr, "duneforge_bench: cannot open %s\n", path.c_str());
    std::exit(1);
  }
  const double start = bench::ThreadSeconds();
  duneforge::GenerateTiles(settings, builder, grid, out);
  out.Close();
  return bench::ThreadSeconds() - start;
}

volatile double sink;

// The chain alone, at the positions the plane builder samples.
double TimeBareLoop(const CommandSettings& settings, const noise::module::Module& output) {
  const double start = bench::ThreadSeconds();
  sink = bench::SampleTilesBare(settings, output);
  return bench::ThreadSeconds() - start;
}

void Measure(const char* name, const CommandSettings& settings, const std::string& path, int rounds) {
  const duneforge::ModuleChain chain = duneforge::BuildModuleChain(settings);
  double bestGenerator = 1e300, bestBare = 1e300;
  std::vector<double> ratios;
  // Each round times both, in alternating order, so that both see the same
  // machine load; the median of the rounds' ratios resists load that changes
  // between rounds, the best times that which changes within one.
  for (int i = 0; i < rounds; ++i) {
    double bare, generator;
    if (i % 2 == 0) {
      bare = TimeBareLoop(settings, chain.OutputModule());
      generator = TimeGenerator(settings, chain.OutputModule(), path);
    } else {
      generator = TimeGenerator(settings, chain.OutputModule(), path);
      bare = TimeBareLoop(settings, chain.OutputModule());
    }
    bestBare = std::min(bestBare, bare);
    bestGenerator = std::min(bestGenerator, generator);
    ratios.push_back(generator / bare);
  }
  const double samples =
      static_cast<double>(settings.tilesX) * settings.tilesZ * settings.tileWidth * settings.tileHeight;
  std::printf(
      "%-15s %7.0f samples  bare %6.1f ns  generator %6.1f ns per sample  ratio %.3f (best times), %.3f "
      "(median of %d rounds)\n",
      name, samples, bestBare / samples * 1e9, bestGenerator / samples * 1e9, bestGenerator / bestBare,
      bench::Median(ratios), rounds);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string commandFile = argc > 1 ? argv[1] : DUNEFORGE_BENCH_TERRAIN;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;
  const char* tmp = std::getenv("TMPDIR");
  const std::string path =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/duneforge_bench_arr.txt";
  try {
    CommandSettings settings;
    if (!duneforge::LoadCommandFile(commandFile, settings)) {
      std::fprintf(stderr, "duneforge_bench: cannot open %s\n", commandFile.c_str());
      return 1;
    }
    Measure("command file", settings, path, rounds);
    // A single Perlin module at the library's defaults, same tiles.
    settings.moduleCount = 1;
    settings.rows[0] = duneforge::ModuleSpec{16, 0, 0.0f, 0.0f, 0.0f};
    Measure("default Perlin", settings, path, rounds);
  } catch (const noise::Exception&) {
    std::fprintf(stderr, "duneforge_bench: %s\n", duneforge::DescribeCurrentException().c_str());
    std::remove(path.c_str());
    return 1;
  }
  std::remove(path.c_str());
  return 0;
}
