#include "generator/duneforge_run.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "generator/header_error.h"
#include "generator/header_field.h"
#include "generator/height_array_run.h"
#include "generator/piece_appender.h"
#include "generator/piece_plan.h"
#include "noisemap/bmp_file_writer.h"
#include "noisemap/error.h"
#include "noisemap/image_grid.h"
#include "noisemap/relief_renderer.h"

namespace duneforge {

namespace {

// Renders the grid with a renderer in its initial state and writes the file.
void WritePreviewFile(const noise::utils::HeightGrid& grid, const std::string& path) {
  noise::utils::ImageGrid image;
  noise::utils::ReliefRenderer renderer;
  renderer.SetSourceGrid(grid);
  renderer.SetDestImage(image);
  renderer.Render();
  noise::utils::BmpFileWriter writer;
  writer.SetSourceImage(image);
  writer.SetFileName(path);
  writer.WriteFile();
}

}  // namespace

void GenerateTiles(const CommandSettings& settings, noise::utils::NoiseMapBuilderPlane& builder,
                   noise::utils::HeightGrid& grid, HeightArrayWriter& out,
                   platform::ProgressReport* progress) {
  const PiecePlan wholeTiles =
      PiecePlan::WholeTiles(TileCount(settings), settings.tileWidth, settings.tileHeight);
  PieceAppender(wholeTiles, out, progress).BuildAll(settings, builder, grid, nullptr);
}

int ThreadCount() {
  const char* text = std::getenv(kThreadsVariable);
  if (text == nullptr || *text == '\0') {
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware == 0 ? 1 : static_cast<int>(std::min<unsigned>(hardware, kMaxThreads));
  }
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || errno != 0 || value < 1 || value > kMaxThreads) {
    throw noise::utils::InvalidParamError(std::string(kThreadsVariable) + "=\"" + text +
                                          "\" is not a whole number of threads from 1 to " +
                                          std::to_string(kMaxThreads));
  }
  return static_cast<int>(value);
}

int64_t MemoryBudgetBytes() {
  const char* text = std::getenv(kMemoryVariable);
  if (text == nullptr || *text == '\0') return PiecePlan::kDefaultBudgetBytes;
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0' || errno != 0 || value < kMinMemoryMiB || value > kMaxMemoryMiB) {
    throw noise::utils::InvalidParamError(
        std::string(kMemoryVariable) + "=\"" + text + "\" is not a whole number of MiB from " +
        std::to_string(kMinMemoryMiB) + " to " + std::to_string(kMaxMemoryMiB));
  }
  return static_cast<int64_t>(value) << 20;
}

noise::utils::EvaluatorChoice EvaluatorFromEnvironment() {
  const char* text = std::getenv(kEvaluatorVariable);
  return noise::utils::ParseEvaluatorChoice(text == nullptr ? "" : text, kEvaluatorVariable);
}

void WritePreview(const noise::utils::HeightGrid& grid) { WritePreview(grid, kPreviewFileName); }

void WritePreview(const noise::utils::HeightGrid& grid, const std::string& path) {
  try {
    WritePreviewFile(grid, path);
  } catch (const noise::Exception&) {
    RethrowInContext("preview " + path);
  }
}

void NotifyHost(platform::WindowHandle hostWindow) {
  platform::SendMessageA(hostWindow, platform::kWmCommand, GenerationDoneCommand, 0);
}

int RunDuneforge() {
  CommandSettings settings;
  if (!LoadCommandFile(kCommandFileName, settings)) return 0;
  const int threads = ThreadCount();
  const noise::utils::EvaluatorChoice evaluator = EvaluatorFromEnvironment();
  // The chains are built before the height array is opened, so that a row
  // the chain refuses leaves the array untouched.
  HeightArrayRun run(settings, threads, MemoryBudgetBytes(), evaluator);
  HeightArrayWriter out;
  if (!out.Open(kHeightArrayFileName)) return 0;
  {
    const uint64_t valuesPerTile = static_cast<uint64_t>(std::max(settings.tileWidth, 0)) *
                                   static_cast<uint64_t>(std::max(settings.tileHeight, 0));
    platform::ProgressLine progress(stderr, "duneforge", "tiles", static_cast<uint64_t>(run.TileCount()),
                                    valuesPerTile);
    run.Write(out, &progress);
  }
  // Every value is on disk, checked, before the preview and the message.
  out.Close();
  // The preview is the last tile, whichever thread built it.
  if (settings.preview != 0) WritePreview(run.LastTile());
  NotifyHost(settings.hostWindow);
  return 0;
}

const char* UsageText() {
  return "Usage: duneforge [--help]\n"
         "\n"
         "Turns the command file of the working directory into terrain heights. It takes no\n"
         "arguments; every file is in the working directory.\n"
         "\n"
         "Reads:\n"
         "  cmd_noise.txt   the header (host window, module count, tiles, tile size, area,\n"
         "                  seed base, preview) and one row per module of the chain\n"
         "Writes:\n"
         "  noise_arr.txt   appended to: every height of every tile, each followed by a comma\n"
         "  tutorial.bmp    when preview is nonzero: the last tile as a grey-scale picture\n"
         "then tells the host window, whose handle the command file gives, that it is done.\n"
         "\n"
         "Environment:\n"
         "  DUNEFORGE_THREADS    threads that build tiles, 1 to 256 (default: the machine's\n"
         "                       hardware threads)\n"
         "  DUNEFORGE_MEMORY_MB  MiB the pieces in flight may reserve, 1 to 1048576\n"
         "                       (default 256); fewer rows a piece, then fewer threads, keep\n"
         "                       them within it\n"
         "  DUNEFORGE_EVALUATOR  how the chain is evaluated: batch (default: in blocks, with\n"
         "                       the best of portable, x86-64-v3 and x86-64-v4 that the\n"
#if TOOLKIT_WITH_LIBNOISE
         "                       processor runs), libnoise (point by point), or one of\n"
         "                       those three levels; the values are the same\n"
#else
         "                       processor runs), or one of those three levels; the\n"
         "                       values are the same\n"
#endif
         "\n"
         "Exit status:\n"
         "  0  done, or no cmd_noise.txt, or a noise_arr.txt that cannot be opened\n"
         "  1  the run failed: one line on standard error, no message to the host window\n"
         "  2  an argument other than --help: nothing is read or written\n";
}

}  // namespace duneforge
