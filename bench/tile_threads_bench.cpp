// Measures how much of the machine duneforge uses: the built program's wall
// time with 1 and with 2 threads (DUNEFORGE_THREADS), against evaluating the
// same tiles' chain on one thread with nothing written.
//
// Usage: tile_threads_bench [command file] [rounds] [TILESxSIZE]
// The command file defaults to the bundled terrain example; its chain is run
// over TILES x TILES tiles of SIZE x SIZE, by default 8x256: 8 x 8 tiles of
// 256 x 256 (4.2 million values), with no preview; 1x2048 is one tile of
// 2048 x 2048, which threads share out in bands of rows. Each
// round times the three side by side, in a changing order, and the ratios
// are taken within a round, so that load that comes and goes on a shared
// machine touches all three alike.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/bare_loop.h"
#include "bench/bench_timing.h"
#include "generator/command_settings.h"
#include "generator/duneforge_run.h"
#include "generator/module_chain.h"

namespace {

using duneforge::CommandSettings;

double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The settings as a command file duneforge reads back exactly: floats with
// nine significant digits survive the trip.
bool WriteCommandFile(const CommandSettings& s, const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) return false;
  std::fprintf(file, "%d %d %d %d %d %d %.9g %.9g %.9g %.9g %d %d\n", s.hostWindow, s.moduleCount, s.tilesX,
               s.tilesZ, s.tileWidth, s.tileHeight, static_cast<double>(s.lowerX),
               static_cast<double>(s.upperX), static_cast<double>(s.lowerZ), static_cast<double>(s.upperZ),
               s.seedBase, s.preview);
  for (int i = 0; i < s.moduleCount; ++i) {
    const duneforge::ModuleSpec& row = s.rows[static_cast<size_t>(i)];
    std::fprintf(file, "%d %d %.9g %.9g %.9g\n", row.type, row.p1, static_cast<double>(row.p2),
                 static_cast<double>(row.p3), static_cast<double>(row.p4));
  }
  return std::fclose(file) == 0;
}

// Runs duneforge in `folder` with DUNEFORGE_THREADS = `threads` on a fresh
// height array; exits the benchmark when the run fails or writes nothing.
void RunDuneforge(const std::string& folder, int threads) {
  const std::string array = folder + "/noise_arr.txt";
  std::remove(array.c_str());
  const pid_t child = ::fork();
  if (child == 0) {
    ::setenv("DUNEFORGE_THREADS", std::to_string(threads).c_str(), 1);
    if (::chdir(folder.c_str()) == 0) ::execl(DUNEFORGE_PATH, "duneforge", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  struct stat info;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
      ::stat(array.c_str(), &info) != 0 || info.st_size == 0) {
    std::fprintf(stderr, "tile_threads_bench: duneforge with %d threads failed\n", threads);
    std::exit(1);
  }
}

// The command file's chain over `tiles` x `tiles` tiles of `size` x `size`,
// without a window or preview, and the chain built from it; false, said on
// standard error, when the file cannot be read or its chain built.
bool LoadSettings(const std::string& commandFile, int tiles, int size, CommandSettings& settings,
                  std::unique_ptr<duneforge::ModuleChain>& chain) {
  try {
    if (!duneforge::LoadCommandFile(commandFile, settings)) {
      std::fprintf(stderr, "tile_threads_bench: cannot open %s\n", commandFile.c_str());
      return false;
    }
    settings.hostWindow = 0;
    settings.tilesX = settings.tilesZ = tiles;
    settings.tileWidth = settings.tileHeight = size;
    settings.preview = 0;
    chain = std::make_unique<duneforge::ModuleChain>(duneforge::BuildModuleChain(settings));
  } catch (const noise::Exception&) {
    std::fprintf(stderr, "tile_threads_bench: %s\n", duneforge::DescribeCurrentException().c_str());
    return false;
  }
  return true;
}

// What the rounds measured: each run's best time (the bare loop, 1 thread,
// 2 threads) and, round by round, the threads' times over the bare loop's
// and 2 threads' over 1 thread's.
struct Timings {
  double best[3] = {1e300, 1e300, 1e300};
  std::vector<double> one, two, twoOverOne;
};

Timings TimeRounds(const std::function<void()> (&runs)[3], int rounds) {
  Timings t;
  for (int round = 0; round < rounds; ++round) {
    double seconds[3];
    // The order turns each round, so no variant always follows another.
    for (int k = 0; k < 3; ++k) {
      const int which = (round + k) % 3;
      seconds[which] = Seconds(runs[which]);
      t.best[which] = std::min(t.best[which], seconds[which]);
    }
    t.one.push_back(seconds[1] / seconds[0]);
    t.two.push_back(seconds[2] / seconds[0]);
    t.twoOverOne.push_back(seconds[2] / seconds[1]);
    std::printf("round %d: bare %.3f s, 1 thread %.3f s (%.3f), 2 threads %.3f s (%.3f)\n", round + 1,
                seconds[0], seconds[1], t.one.back(), seconds[2], t.two.back());
  }
  return t;
}

// One line of the summary: a threaded run's best time and its ratios to the
// bare loop.
void PrintThreadedLine(const char* name, double best, const std::vector<double>& ratios, double bestBare) {
  std::printf("  %-11s best %.3f s  ratio median %.3f (%.3f .. %.3f), of best times %.3f\n", name, best,
              bench::Median(ratios), *std::min_element(ratios.begin(), ratios.end()),
              *std::max_element(ratios.begin(), ratios.end()), best / bestBare);
}

void PrintSummary(const Timings& t, int tiles, int size, int rounds) {
  const double values = static_cast<double>(tiles) * tiles * size * size;
  std::printf(
      "\n%d x %d tiles of %d x %d, %.0f values, %d rounds; wall time against the chain evaluated on one "
      "thread, nothing written\n",
      tiles, tiles, size, size, values, rounds);
  std::printf("  bare loop   best %.3f s (%.0f ns a value)\n", t.best[0], t.best[0] / values * 1e9);
  PrintThreadedLine("1 thread", t.best[1], t.one, t.best[0]);
  PrintThreadedLine("2 threads", t.best[2], t.two, t.best[0]);
  std::printf("  2 threads against 1 thread: median %.3f (%.3f .. %.3f), of best times %.3f\n",
              bench::Median(t.twoOverOne), *std::min_element(t.twoOverOne.begin(), t.twoOverOne.end()),
              *std::max_element(t.twoOverOne.begin(), t.twoOverOne.end()), t.best[2] / t.best[1]);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string commandFile = argc > 1 && argv[1][0] != '\0' ? argv[1] : DUNEFORGE_BENCH_TERRAIN;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
  int tiles = 8, size = 256;
  if (argc > 3 && (std::sscanf(argv[3], "%dx%d", &tiles, &size) != 2 || tiles < 1 || size < 1)) {
    std::fprintf(stderr, "tile_threads_bench: layout %s is not TILESxSIZE\n", argv[3]);
    return 2;
  }
  const char* tmp = std::getenv("TMPDIR");
  const std::string folder =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/tile_threads_bench";
  ::mkdir(folder.c_str(), 0700);

  CommandSettings settings;
  std::unique_ptr<duneforge::ModuleChain> chain;
  if (!LoadSettings(commandFile, tiles, size, settings, chain)) return 1;
  if (!WriteCommandFile(settings, folder + "/cmd_noise.txt")) {
    std::fprintf(stderr, "tile_threads_bench: cannot write the command file in %s\n", folder.c_str());
    return 1;
  }

  volatile double sink = 0.0;
  const std::function<void()> runs[3] = {
      [&] { sink = bench::SampleTilesBare(settings, chain->OutputModule()); },
      [&] { RunDuneforge(folder, 1); }, [&] { RunDuneforge(folder, 2); }};
  PrintSummary(TimeRounds(runs, rounds), tiles, size, rounds);
  std::remove((folder + "/noise_arr.txt").c_str());
  std::remove((folder + "/cmd_noise.txt").c_str());
  ::rmdir(folder.c_str());
  return 0;
}
