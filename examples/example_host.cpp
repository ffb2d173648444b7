// A small host that runs the whole road of one terrain: it opens a window,
// writes the command file with that window's handle into a folder, runs
// duneforge there and waits for its completion message, reads the height
// array back, and then plays the engine: it loads loamwriter, binds it with
// the engine stand-in and writes terrain.hmp through its exports.
//
// Usage: example_host [--timeout SECONDS] COMMANDS FOLDER DUNEFORGE LOAMWRITER
// The command file's first number (the host window) is replaced by the
// window's handle. The run happens in a fresh folder inside FOLDER, since
// duneforge appends to its height array; only when terrain.hmp is written
// and reads back do its files (cmd_noise.txt, noise_arr.txt, tutorial.bmp,
// terrain.hmp) replace those of an earlier run in FOLDER, so a failed run
// loses nothing. Exits 0 when terrain.hmp was written, with duneforge's
// status when that is not 0, and 1 on any other failure, with one line on
// standard error.
//
// The same program runs on Windows, where the window is a real one and
// duneforge.exe sends its message with SendMessageA; paths there may use
// backslashes or slashes.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "examples/engine_script.h"
#include "generator/command_settings.h"
#include "noisemap/error.h"
#include "platform/child_process.h"
#include "platform/engine_stand_in.h"
#include "platform/file_replacement.h"
#include "platform/host_window.h"
#include "platform/low_level_file.h"
#include "platform/process_id.h"
#include "platform/whole_file.h"
#include "terrain/bmp_image.h"
#include "terrain/hmp_file.h"
#include "terrain/terrain_loader.h"

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

// The files of one run, in the order they are put in place.
const char* const kRunFiles[] = {"cmd_noise.txt", "noise_arr.txt", "tutorial.bmp", "terrain.hmp"};

// The folder a run works in, inside the output folder (so its files move
// into place by rename), removed with its files when the run ends.
class RunFolder {
 public:
  explicit RunFolder(const std::string& folder)
      : path_(folder + "/.example_host." + std::to_string(platform::CurrentProcessId())) {}
  ~RunFolder() { Remove(); }
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  const std::string& Path() const { return path_; }
  // Makes the folder empty and new; false with the system's reason.
  bool Create(std::string& error) {
    Remove();
    std::error_code code;
    // A folder still there after Remove holds files that are not a run's
    // (or is no folder): it is refused as mkdir refuses it, not taken over.
    if (!std::filesystem::create_directory(path_, code)) {
      if (!code) code = std::make_error_code(std::errc::file_exists);
      error = "cannot make the run's folder " + path_ + ": " + code.message();
      return false;
    }
    return true;
  }
  void Remove() {
    std::error_code ignored;
    for (const char* name : kRunFiles) std::filesystem::remove(path_ + "/" + name, ignored);
    // Only when empty, so nothing else in it is lost.
    std::filesystem::remove(path_, ignored);
  }

 private:
  std::string path_;
};

// Runs `program` in `folder` and handles the window's messages until it
// exits. `done` tells whether the completion message arrived. False with a
// reason when it cannot start or does not end within `timeoutSeconds`, in
// which case it is stopped.
bool RunDuneforge(platform::HostWindow& window, const std::string& program, const std::string& folder,
                  int timeoutSeconds, bool& done, int& status, std::string& error) {
  platform::ChildProcess child;
  std::string reason;
  if (!child.Start(program, {}, folder, reason)) {
    error = "cannot start duneforge: " + reason;
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
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
    if (child.HasEnded(status)) return true;
    if (std::chrono::steady_clock::now() > deadline) {
      child.Stop();
      error = "duneforge sent no completion message within " + std::to_string(timeoutSeconds) +
              " seconds; it was stopped";
      return false;
    }
  }
}

// What the command line names.
struct HostArguments {
  int timeoutSeconds = kDefaultTimeoutSeconds;
  std::string commandPath;
  std::string folder;
  std::string duneforgePath;
  std::string loamwriterPath;
  // The folder duneforge runs in; the outputs stay there until the run is
  // complete.
  std::string runFolder;
  std::string ArrayPath() const { return runFolder + "/noise_arr.txt"; }
  std::string PreviewPath() const { return runFolder + "/tutorial.bmp"; }
  std::string TerrainPath() const { return runFolder + "/terrain.hmp"; }
  // Where a file of the run is put once the run is complete.
  std::string FinalPath(const std::string& name) const { return folder + "/" + name; }
};

bool ReadArguments(int argc, char** argv, HostArguments& arguments, std::string& error) {
  int first = 1;
  if (argc > 2 && std::strcmp(argv[1], "--timeout") == 0) {
    char* end = nullptr;
    const long value = std::strtol(argv[2], &end, 10);
    if (end == argv[2] || *end != '\0' || value <= 0 || value > 86400) {
      error = "--timeout takes a number of seconds from 1 to 86400";
      return false;
    }
    arguments.timeoutSeconds = static_cast<int>(value);
    first = 3;
  }
  if (argc - first != 4) {
    error = "usage: example_host [--timeout SECONDS] COMMANDS FOLDER DUNEFORGE LOAMWRITER";
    return false;
  }
  arguments.commandPath = argv[first];
  // Slashes throughout (the form paths already have on POSIX systems), so
  // the paths this host prints and builds look alike on every system.
  arguments.folder = std::filesystem::path(argv[first + 1]).generic_string();
  arguments.duneforgePath = argv[first + 2];
  arguments.loamwriterPath = std::filesystem::path(argv[first + 3]).generic_string();
  return true;
}

// The command file, read as duneforge will read it: the tile layout and the
// area decide the terrain's grid. `text` receives the file as it is.
bool ReadCommands(const std::string& commandPath, duneforge::CommandSettings& settings, std::string& text,
                  std::string& error) {
  std::vector<uint8_t> bytes;
  platform::FailureReason reason;
  if (!platform::ReadWholeFile(commandPath.c_str(), bytes, reason)) {
    error = commandPath + ": " + reason.Text();
    return false;
  }
  text.assign(bytes.begin(), bytes.end());
  try {
    std::istringstream in(text);
    duneforge::ReadCommandSettings(in, settings);
    duneforge::CheckCommandSettings(settings, commandPath);
  } catch (const noise::utils::ErrorMessage& e) {
    error = e.Message();
    return false;
  }
  if (settings.tilesX <= 0 || settings.tilesZ <= 0 || !(settings.upperX > settings.lowerX) ||
      !(settings.upperZ > settings.lowerZ)) {
    error = commandPath + ": a terrain needs at least one tile and an area with upper bounds above lower";
    return false;
  }
  return true;
}

// Makes the run's folder, opens the window and writes the command file there
// with the window's handle in front.
bool PrepareFolder(const HostArguments& arguments, const std::string& commands, RunFolder& run,
                   platform::HostWindow& window, std::string& error) {
  std::error_code ignored;
  std::filesystem::create_directory(arguments.folder, ignored);
  if (!run.Create(error)) return false;
  if (!window.Open()) {
    error = "cannot open a window";
    return false;
  }
  std::string rest = commands;
  const size_t start = rest.find_first_not_of(" \t\r\n\v\f");
  const size_t end = rest.find_first_of(" \t\r\n\v\f", start);
  rest = end == std::string::npos ? std::string() : rest.substr(end);
  const std::string text = std::to_string(window.Handle()) + rest;
  const std::string path = arguments.runFolder + "/cmd_noise.txt";
  platform::FailureReason reason;
  if (!platform::WriteWholeFile(path.c_str(), text.data(), text.size(), reason)) {
    error = path + ": " + reason.Text();
    return false;
  }
  return true;
}

// Puts the complete run's files in place of an earlier run's, each by one
// rename; a file this run did not make (the preview) is removed.
bool PublishRun(const HostArguments& arguments, std::string& error) {
  for (const char* name : kRunFiles) {
    const std::string made = arguments.runFolder + "/" + name;
    const std::string target = arguments.FinalPath(name);
    std::error_code ignored;
    if (!std::filesystem::exists(made, ignored)) {
      if (platform::LowLevelFile::Remove(target.c_str()) != 0 && errno != ENOENT) {
        error = "cannot remove the earlier " + target + ": " + std::strerror(errno);
        return false;
      }
    } else if (platform::LowLevelFile::Replace(made.c_str(), target.c_str()) != 0) {
      error = "cannot put " + target + " in place: " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

// Runs duneforge from inside the folder and waits for it, then closes the
// window. True when it ended with status 0 after its message; otherwise
// false with the host's exit status: duneforge's own when it is not 0, else
// 1 after the line that says why.
bool RunAndAwaitMessage(const HostArguments& arguments, platform::HostWindow& window, int& exitStatus) {
  exitStatus = 1;
  // Its full path: it runs in the run's folder.
  std::error_code code;
  const std::string program = std::filesystem::canonical(arguments.duneforgePath, code).string();
  if (code) {
    Fail("cannot find " + arguments.duneforgePath);
    return false;
  }
  bool done = false;
  int status = 0;
  std::string error;
  if (!RunDuneforge(window, program, arguments.runFolder, arguments.timeoutSeconds, done, status, error)) {
    Fail(error);
    return false;
  }
  window.Close();
  std::printf("duneforge exited with status %d\n", status);
  if (status != 0) {
    exitStatus = status;
    return false;
  }
  if (!done) {
    Fail("duneforge ended without sending its completion message");
    return false;
  }
  return true;
}

// The heights, tile by tile as duneforge appended them, put into one grid.
bool ReadHeights(const HostArguments& arguments, const duneforge::CommandSettings& settings,
                 std::vector<double>& grid, std::string& error) {
  const std::string arrayPath = arguments.ArrayPath();
  terrain::TerrainOptions options;
  options.format = terrain::TerrainFormat::kHeightArray;
  options.columns = settings.tilesX * settings.tileWidth;
  options.rows = settings.tilesZ * settings.tileHeight;
  options.tilesX = settings.tilesX;
  options.tilesZ = settings.tilesZ;
  terrain::TerrainGrid read;
  terrain::TerrainFormat format = terrain::TerrainFormat::kUnknown;
  const terrain::TerrainResult loaded = terrain::LoadTerrain(arrayPath, options, read, format);
  if (!loaded) {
    error = loaded.Text();
    return false;
  }
  grid = std::move(read.heights);
  const auto range = std::minmax_element(grid.begin(), grid.end());
  std::printf("height array: %s\n  %zu values from %g to %g (%d x %d tiles of %d x %d)\n",
              arguments.FinalPath("noise_arr.txt").c_str(), grid.size(), *range.first, *range.second,
              settings.tilesX, settings.tilesZ, settings.tileWidth, settings.tileHeight);
  return true;
}

// The preview, when duneforge wrote one.
bool ReadPreview(const HostArguments& arguments, terrain::BmpImage& preview, bool& hasPreview,
                 std::string& error) {
  const std::string previewPath = arguments.PreviewPath();
  std::error_code ignored;
  hasPreview = std::filesystem::exists(previewPath, ignored);
  if (!hasPreview) return true;
  const terrain::TerrainResult read = terrain::ReadBmp24(previewPath, preview);
  if (!read) {
    error = read.Text();
    return false;
  }
  std::printf("preview:      %s (%d x %d)\n", arguments.FinalPath("tutorial.bmp").c_str(), preview.width,
              preview.height);
  return true;
}

// World units: the area's longer side becomes kTerrainUnits; samples lie
// (upper - lower) / samples apart, as the plane builder places them.
// `unitsPerNoise` receives the scale.
terrain::TerrainGrid ToWorldTerrain(const duneforge::CommandSettings& settings,
                                    const std::vector<double>& grid, double& unitsPerNoise) {
  terrain::TerrainGrid terrain;
  terrain.columns = settings.tilesX * settings.tileWidth;
  terrain.rows = settings.tilesZ * settings.tileHeight;
  const double extentX = static_cast<double>(settings.upperX) - static_cast<double>(settings.lowerX);
  const double extentZ = static_cast<double>(settings.upperZ) - static_cast<double>(settings.lowerZ);
  unitsPerNoise = kTerrainUnits / std::max(extentX, extentZ);
  terrain.spacingX = extentX / terrain.columns * unitsPerNoise;
  terrain.spacingY = extentZ / terrain.rows * unitsPerNoise;
  terrain.heights.resize(grid.size());
  for (size_t i = 0; i < grid.size(); ++i) terrain.heights[i] = grid[i] * unitsPerNoise;
  return terrain;
}

// Plays the engine: loads loamwriter, binds it with the engine stand-in and
// writes terrain.hmp through its exports.
bool DriveExports(const HostArguments& arguments, const terrain::TerrainGrid& terrain,
                  const terrain::BmpImage* preview, example::TerrainFileReport& report, std::string& error) {
  example::LoamwriterLibrary library;
  if (!library.Load(arguments.loamwriterPath, error)) return false;
  platform::EngineStandIn engine;
  if (!example::WriteTerrainFile(library, engine, terrain, preview, arguments.TerrainPath(), report, error)) {
    error = arguments.TerrainPath() + ": " + error;
    return false;
  }
  return true;
}

// Reads the terrain file back, so the summary says what the file holds.
bool ReportTerrain(const std::string& terrainPath, const std::string& finalPath,
                   const terrain::TerrainGrid& terrain, const std::vector<double>& grid, double unitsPerNoise,
                   const example::TerrainFileReport& report, std::string& error) {
  terrain::HmpFile written;
  int32_t columns = 0, rows = 0;
  std::vector<uint16_t> packed;
  if (!written.Load(terrainPath) || !written.WalkComplete() || !written.GridSize(columns, rows) ||
      !written.FrameHeights(0, packed) || packed.size() != grid.size()) {
    error = terrainPath + ": the written file does not read back as the terrain";
    return false;
  }
  double largest = 0.0;
  for (size_t i = 0; i < packed.size(); ++i) {
    largest = std::max(largest, std::fabs(written.Height(packed[i]) / unitsPerNoise - grid[i]));
  }
  std::printf("terrain:      %s (%u bytes)\n", finalPath.c_str(), written.FileSize());
  std::printf("  %s, %d x %d vertices in %d frame, %d skin (%s)\n", written.Magic().c_str(), columns, rows,
              written.Header().numFrames, written.Header().numSkins, report.skin.c_str());
  std::printf("  %g x %g engine units, heights %g to %g, packed in steps of %g\n",
              (columns - 1) * terrain.spacingX, (rows - 1) * terrain.spacingY, report.lowest, report.highest,
              report.packedStep);
  std::printf("  every height within %g of noise_arr.txt (one packed step is %g there)\n", largest,
              report.packedStep / unitsPerNoise);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  HostArguments arguments;
  std::string error;
  if (!ReadArguments(argc, argv, arguments, error)) return Fail(error);
  duneforge::CommandSettings settings;
  std::string commands;
  if (!ReadCommands(arguments.commandPath, settings, commands, error)) return Fail(error);

  RunFolder run(arguments.folder);
  arguments.runFolder = run.Path();
  platform::HostWindow window;
  if (!PrepareFolder(arguments, commands, run, window, error)) return Fail(error);
  int exitStatus = 0;
  if (!RunAndAwaitMessage(arguments, window, exitStatus)) return exitStatus;

  std::vector<double> grid;
  if (!ReadHeights(arguments, settings, grid, error)) return Fail(error);
  terrain::BmpImage preview;
  bool hasPreview = false;
  if (!ReadPreview(arguments, preview, hasPreview, error)) return Fail(error);

  double unitsPerNoise = 0.0;
  const terrain::TerrainGrid terrain = ToWorldTerrain(settings, grid, unitsPerNoise);
  example::TerrainFileReport report;
  if (!DriveExports(arguments, terrain, hasPreview ? &preview : nullptr, report, error)) return Fail(error);
  if (!ReportTerrain(arguments.TerrainPath(), arguments.FinalPath("terrain.hmp"), terrain, grid,
                     unitsPerNoise, report, error) ||
      !PublishRun(arguments, error)) {
    return Fail(error);
  }
  return 0;
}
