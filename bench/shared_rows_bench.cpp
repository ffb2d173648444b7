// Measures what reading shared rows through caches saves and costs: chains
// built with BuildModuleChain against the same chains built without caches
// (SharedRows::kUncached), sampled by the bare loop at duneforge's positions.
//
// Usage: shared_rows_bench [rounds] [seconds]
// - The doubling chains: a Perlin row and rows of type 6 that add the row
//   before to itself, 17, 21 and 25 rows, on one tile of 16 x 16 samples.
//   With caches the tile is sampled kCachedRepeats times in a row for one
//   time. Without caches each row doubles the cost; such a chain is timed
//   only when the time it is expected to take (from the chain four rows
//   shorter, x 16) lies within `seconds` (default 120), else its expected
//   time is printed.
// - The terrain example, which shares no row, over its 4 x 4 tiles of
//   128 x 128.
// Each round times both builds side by side, in alternating order (default 5
// rounds for the doubling chains, three times as many for the terrain).
// Times are the thread's processor time.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bare_loop.h"
#include "bench/bench_timing.h"
#include "generator/command_settings.h"
#include "generator/duneforge_run.h"
#include "generator/module_chain.h"
#include "noisemap/error.h"

namespace {

using duneforge::CommandSettings;
using duneforge::ModuleChain;
using duneforge::SharedRows;

struct Timed {
  double seconds;
  double sum;
};

// The time of one pass over the tiles, from `repeats` passes in a row; the
// sum is that of one pass.
Timed TimeChain(const CommandSettings& settings, const ModuleChain& chain, int repeats = 1) {
  const double start = bench::ThreadSeconds();
  double sum = 0.0;
  for (int i = 0; i < repeats; ++i) sum = bench::SampleTilesBare(settings, chain.OutputModule());
  return {(bench::ThreadSeconds() - start) / repeats, sum};
}

void RequireSameSums(const char* name, const Timed& cached, const Timed& uncached) {
  if (std::memcmp(&cached.sum, &uncached.sum, sizeof cached.sum) != 0) {
    std::fprintf(stderr, "shared_rows_bench: %s: the chains' values differ (%.17g against %.17g)\n", name,
                 cached.sum, uncached.sum);
    std::exit(1);
  }
}

CommandSettings DoublingChain(int rows) {
  CommandSettings settings;
  settings.moduleCount = rows;
  settings.tilesX = settings.tilesZ = 1;
  settings.tileWidth = settings.tileHeight = 16;
  settings.lowerX = settings.lowerZ = 0.0f;
  settings.upperX = settings.upperZ = 1.0f;
  settings.rows[0] = duneforge::ModuleSpec{0, 6, 1.0f, 0.5f, 0.3f};
  for (int row = 1; row < rows; ++row) {
    settings.rows[static_cast<size_t>(row)] =
        duneforge::ModuleSpec{6, row - 1, static_cast<float>(row - 1), 0, 0};
  }
  return settings;
}

// Passes in a row over the doubling chain's tile with caches, which takes
// about 0.1 ms.
constexpr int kCachedRepeats = 200;

void MeasureDoubling(int rounds, double limitSeconds) {
  double uncachedBefore = 0.0;  // best uncached time of the chain four rows shorter
  for (const int rows : {17, 21, 25}) {
    const CommandSettings settings = DoublingChain(rows);
    const ModuleChain cached = duneforge::BuildModuleChain(settings);
    const ModuleChain uncached = duneforge::BuildModuleChain(settings, SharedRows::kUncached);
    const double expected = uncachedBefore * 16.0;
    const bool timeUncached = uncachedBefore == 0.0 || expected <= limitSeconds;
    std::vector<double> cachedTimes, uncachedTimes, ratios;
    for (int i = 0; i < rounds; ++i) {
      Timed c, u{0.0, 0.0};
      if (i % 2 == 0 || !timeUncached) {
        c = TimeChain(settings, cached, kCachedRepeats);
        if (timeUncached) u = TimeChain(settings, uncached);
      } else {
        u = TimeChain(settings, uncached);
        c = TimeChain(settings, cached, kCachedRepeats);
      }
      cachedTimes.push_back(c.seconds);
      if (timeUncached) {
        RequireSameSums("doubling chain", c, u);
        uncachedTimes.push_back(u.seconds);
        ratios.push_back(u.seconds / c.seconds);
      }
    }
    const bench::Spread c = bench::SpreadOf(cachedTimes);
    std::printf("doubling, %2d rows: cached %8.3f ms (%.3f to %.3f)", rows, c.median * 1e3, c.low * 1e3,
                c.high * 1e3);
    if (timeUncached) {
      const bench::Spread u = bench::SpreadOf(uncachedTimes);
      const bench::Spread r = bench::SpreadOf(ratios);
      std::printf("  uncached %9.3f s (%.3f to %.3f)  uncached / cached %.0f (%.0f to %.0f)\n", u.median,
                  u.low, u.high, r.median, r.low, r.high);
      uncachedBefore = u.low;
    } else {
      std::printf("  uncached not timed: about %.0f s expected, above %.0f s\n", expected, limitSeconds);
      uncachedBefore = expected;
    }
    std::fflush(stdout);
  }
}

void MeasureTerrain(const CommandSettings& settings, int rounds) {
  const ModuleChain cached = duneforge::BuildModuleChain(settings);
  const ModuleChain uncached = duneforge::BuildModuleChain(settings, SharedRows::kUncached);
  int cachedRows = 0;
  for (int row = 0; row < cached.Size(); ++row) cachedRows += cached.IsCached(row) ? 1 : 0;
  std::vector<double> ratios;
  double bestCached = 1e300, bestUncached = 1e300;
  for (int i = 0; i < rounds; ++i) {
    Timed c, u;
    if (i % 2 == 0) {
      c = TimeChain(settings, cached);
      u = TimeChain(settings, uncached);
    } else {
      u = TimeChain(settings, uncached);
      c = TimeChain(settings, cached);
    }
    RequireSameSums("terrain", c, u);
    bestCached = std::min(bestCached, c.seconds);
    bestUncached = std::min(bestUncached, u.seconds);
    ratios.push_back(c.seconds / u.seconds);
  }
  const bench::Spread r = bench::SpreadOf(ratios);
  std::printf(
      "terrain (%d cached rows): cached %.3f s  uncached %.3f s (best)  cached / uncached %.4f (median of "
      "%d; "
      "%.4f to %.4f), %.4f (best times)\n",
      cachedRows, bestCached, bestUncached, r.median, rounds, r.low, r.high, bestCached / bestUncached);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const double limitSeconds = argc > 2 ? std::atof(argv[2]) : 120.0;
  try {
    MeasureDoubling(rounds, limitSeconds);
    CommandSettings terrain;
    if (!duneforge::LoadCommandFile(DUNEFORGE_BENCH_TERRAIN, terrain)) {
      std::fprintf(stderr, "shared_rows_bench: cannot open %s\n", DUNEFORGE_BENCH_TERRAIN);
      return 1;
    }
    MeasureTerrain(terrain, 3 * rounds);
  } catch (const noise::Exception&) {
    std::fprintf(stderr, "shared_rows_bench: %s\n", duneforge::DescribeCurrentException().c_str());
    return 1;
  }
  return 0;
}
