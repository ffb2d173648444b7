// A small host that runs the whole road of one terrain: it opens a window,
// writes the command file with that window's handle into a folder, runs
// duneforge there and waits for its completion message, reads the height
// array back, and then plays the engine: it loads loamwriter, binds it with
// the engine stand-in and writes terrain.hmp through its exports.
//
// Usage: example_host [--timeout SECONDS] COMMANDS FOLDER DUNEFORGE LOAMWRITER
// The command file's first number (the host window) is replaced by the
// window's handle. Outputs of an earlier run in FOLDER are removed first,
// because duneforge appends to its height array. Exits 0 when terrain.hmp
// was written, with duneforge's status when that is not 0, and 1 on any
// other failure, with one line on standard error.
#include <libnoise/noise.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "examples/engine_script.h"
#include "generator/command_settings.h"
#include "noisemap/error.h"
#include "platform/engine_stand_in.h"
#include "platform/host_window.h"
#include "tools/bmp_image.h"
#include "tools/hmp_file.h"
#include "tools/noise_array.h"

namespace {

constexpr uint32_t kGenerationDone = 368475;
// How long the host waits for the completion message unless told otherwise.
constexpr int kDefaultTimeoutSeconds = 300;
// The generated area is mapped onto this many engine units along its longer
// side; heights are scaled by the same factor, so slopes keep their shape.
constexpr double kTerrainUnits = 4096.0;

int Fail(const std::string& what) {
  std::fprintf(stderr, "example_host: %s\n", what.c_str());
  return 1;
}

// Removes `path` if it exists; false when it exists and cannot be removed.
bool RemoveStale(const std::string& path) { return std::remove(path.c_str()) == 0 || errno == ENOENT; }

// Runs `program` in `folder` and handles the window's messages until it
// exits. `done` tells whether the completion message arrived. False with a
// reason when it cannot start or does not end within `timeoutSeconds`, in
// which case it is stopped.
bool RunDuneforge(platform::HostWindow& window, const std::string& program, const std::string& folder,
                  int timeoutSeconds, bool& done, int& status, std::string& error) {
  const pid_t child = ::fork();
  if (child < 0) {
    error = std::string("cannot start duneforge: ") + std::strerror(errno);
    return false;
  }
  if (child == 0) {
    if (::chdir(folder.c_str()) == 0) ::execl(program.c_str(), "duneforge", static_cast<char*>(nullptr));
    _exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  int waitStatus = 0;
  for (;;) {
    // duneforge's message is handled while it waits in its send, so it
    // arrives before duneforge can exit.
    window.ReceiveOne(
        [&](uint32_t message, uintptr_t wParam, intptr_t) -> intptr_t {
          if (message == platform::kWmCommand && wParam == kGenerationDone) {
            done = true;
            std::printf("message %u received: the height array is complete\n", kGenerationDone);
          }
          return 0;
        },
        100);
    if (::waitpid(child, &waitStatus, WNOHANG) == child) break;
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(child, SIGTERM);
      ::waitpid(child, &waitStatus, 0);
      error = "duneforge sent no completion message within " + std::to_string(timeoutSeconds) +
              " seconds; it was stopped";
      return false;
    }
  }
  status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 1;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int timeoutSeconds = kDefaultTimeoutSeconds;
  int first = 1;
  if (argc > 2 && std::strcmp(argv[1], "--timeout") == 0) {
    char* end = nullptr;
    const long value = std::strtol(argv[2], &end, 10);
    if (end == argv[2] || *end != '\0' || value <= 0 || value > 86400) {
      return Fail("--timeout takes a number of seconds from 1 to 86400");
    }
    timeoutSeconds = static_cast<int>(value);
    first = 3;
  }
  if (argc - first != 4) {
    return Fail("usage: example_host [--timeout SECONDS] COMMANDS FOLDER DUNEFORGE LOAMWRITER");
  }
  const std::string commandPath = argv[first];
  const std::string folder = argv[first + 1];
  const std::string arrayPath = folder + "/noise_arr.txt";
  const std::string previewPath = folder + "/tutorial.bmp";
  const std::string terrainPath = folder + "/terrain.hmp";

  // The command file, read as duneforge will read it: the tile layout and
  // the area decide the terrain's grid.
  std::ifstream source(commandPath);
  std::stringstream text;
  text << source.rdbuf();
  if (!source) return Fail("cannot read " + commandPath);
  duneforge::CommandSettings settings;
  try {
    std::istringstream in(text.str());
    duneforge::ReadCommandSettings(in, settings);
    duneforge::CheckCommandSettings(settings, commandPath);
  } catch (const noise::utils::ErrorMessage& e) {
    return Fail(e.Message());
  }
  if (settings.tilesX <= 0 || settings.tilesZ <= 0 || !(settings.upperX > settings.lowerX) ||
      !(settings.upperZ > settings.lowerZ)) {
    return Fail(commandPath +
                ": a terrain needs at least one tile and an area with upper bounds above lower");
  }

  ::mkdir(folder.c_str(), 0777);
  if (!RemoveStale(arrayPath) || !RemoveStale(previewPath) || !RemoveStale(terrainPath)) {
    return Fail("cannot remove the outputs of an earlier run in " + folder);
  }
  platform::HostWindow window;
  if (!window.Open()) return Fail("cannot open a window");
  {
    std::string rest = text.str();
    const size_t start = rest.find_first_not_of(" \t\r\n\v\f");
    const size_t end = rest.find_first_of(" \t\r\n\v\f", start);
    rest = end == std::string::npos ? std::string() : rest.substr(end);
    std::ofstream out(folder + "/cmd_noise.txt", std::ios::binary);
    out << window.Handle() << rest;
    if (!out.flush()) return Fail("cannot write " + folder + "/cmd_noise.txt");
  }

  // The program is started from inside the folder.
  char* resolved = ::realpath(argv[first + 2], nullptr);
  if (resolved == nullptr) return Fail(std::string("cannot find ") + argv[first + 2]);
  const std::string program = resolved;
  std::free(resolved);
  bool done = false;
  int status = 0;
  std::string error;
  if (!RunDuneforge(window, program, folder, timeoutSeconds, done, status, error)) return Fail(error);
  window.Close();
  std::printf("duneforge exited with status %d\n", status);
  if (status != 0) return status;
  if (!done) return Fail("duneforge ended without sending its completion message");

  // The heights, tile by tile as duneforge appended them, put into one grid.
  std::vector<float> values, grid;
  if (!tools::ReadNoiseArray(arrayPath, values, error)) return Fail(arrayPath + ": " + error);
  if (!tools::AssembleTiles(values, settings.tilesX, settings.tilesZ, settings.tileWidth, settings.tileHeight,
                            grid, error)) {
    return Fail(arrayPath + ": " + error);
  }
  const auto range = std::minmax_element(values.begin(), values.end());
  std::printf("height array: %s\n  %zu values from %g to %g (%d x %d tiles of %d x %d)\n", arrayPath.c_str(),
              values.size(), static_cast<double>(*range.first), static_cast<double>(*range.second),
              settings.tilesX, settings.tilesZ, settings.tileWidth, settings.tileHeight);

  tools::BmpImage preview;
  const bool hasPreview = ::access(previewPath.c_str(), F_OK) == 0;
  if (hasPreview) {
    if (!tools::ReadBmp24(previewPath, preview, error)) return Fail(previewPath + ": " + error);
    std::printf("preview:      %s (%d x %d)\n", previewPath.c_str(), preview.width, preview.height);
  }

  // World units: the area's longer side becomes kTerrainUnits; samples lie
  // (upper - lower) / samples apart, as the plane builder places them.
  example::WorldTerrain terrain;
  terrain.columns = settings.tilesX * settings.tileWidth;
  terrain.rows = settings.tilesZ * settings.tileHeight;
  const double extentX = static_cast<double>(settings.upperX) - static_cast<double>(settings.lowerX);
  const double extentZ = static_cast<double>(settings.upperZ) - static_cast<double>(settings.lowerZ);
  const double unitsPerNoise = kTerrainUnits / std::max(extentX, extentZ);
  terrain.spacingX = extentX / terrain.columns * unitsPerNoise;
  terrain.spacingY = extentZ / terrain.rows * unitsPerNoise;
  terrain.heights.resize(grid.size());
  for (size_t i = 0; i < grid.size(); ++i) terrain.heights[i] = static_cast<double>(grid[i]) * unitsPerNoise;

  example::LoamwriterLibrary library;
  if (!library.Load(argv[first + 3], error)) return Fail(error);
  platform::EngineStandIn engine;
  example::TerrainFileReport report;
  if (!example::WriteTerrainFile(library, engine, terrain, hasPreview ? &preview : nullptr, terrainPath,
                                 report, error)) {
    return Fail(terrainPath + ": " + error);
  }

  // Read back, so the summary says what the file holds.
  tools::HmpFile written;
  int32_t columns = 0, rows = 0;
  std::vector<uint16_t> packed;
  if (!written.Load(terrainPath) || !written.WalkComplete() || !written.GridSize(columns, rows) ||
      !written.FrameHeights(0, packed) || packed.size() != grid.size()) {
    return Fail(terrainPath + ": the written file does not read back as the terrain");
  }
  double largest = 0.0;
  for (size_t i = 0; i < packed.size(); ++i) {
    largest = std::max(largest,
                       std::fabs(written.Height(packed[i]) / unitsPerNoise - static_cast<double>(grid[i])));
  }
  std::printf("terrain:      %s (%u bytes)\n", terrainPath.c_str(), written.FileSize());
  std::printf("  %s, %d x %d vertices in %d frame, %d skin (%s)\n", written.Magic().c_str(), columns, rows,
              written.Header().numFrames, written.Header().numSkins, report.skin.c_str());
  std::printf("  %g x %g engine units, heights %g to %g, packed in steps of %g\n",
              (columns - 1) * terrain.spacingX, (rows - 1) * terrain.spacingY, report.lowest, report.highest,
              report.packedStep);
  std::printf("  every height within %g of noise_arr.txt (one packed step is %g there)\n", largest,
              report.packedStep / unitsPerNoise);
  return 0;
}
