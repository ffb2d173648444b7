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
#include "generator/piece_plan.h"
#include "noisemap/bmp_file_writer.h"
#include "noisemap/error.h"
#include "noisemap/image_grid.h"
#include "noisemap/relief_renderer.h"

namespace duneforge {

namespace {

std::string BoundsText(const TileBounds& b) {
  std::ostringstream text;
  text << "x " << b.lowerX << " .. " << b.upperX << ", z " << b.lowerZ << " .. " << b.upperZ;
  return text.str();
}

// Rethrows the exception being handled with `context` in front of its text,
// keeping its kind, so the one line main prints says where it happened.
[[noreturn]] void RethrowInContext(const std::string& context) {
  std::string text;
  try {
    throw;
  } catch (const noise::utils::ErrorMessage& e) {
    text = e.Message();
  } catch (...) {
  }
  try {
    throw;
  } catch (const noise::ExceptionInvalidParam&) {
    throw noise::utils::InvalidParamError(context + ": " + (text.empty() ? "invalid parameter" : text));
  } catch (const noise::ExceptionOutOfMemory&) {
    throw noise::utils::OutOfMemoryError(context + ": " + (text.empty() ? "out of memory" : text));
  } catch (const noise::ExceptionUnknown&) {
    throw noise::utils::FileError(context + ": " + (text.empty() ? "input or output failed" : text));
  } catch (...) {
    throw;  // other kinds pass unchanged
  }
}

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

std::vector<std::string> TileSidesOutOfRange(const CommandSettings& settings) {
  std::vector<std::string> sides;
  if (!HeaderFieldNamed("tileWidth").InRange(settings.tileWidth)) sides.emplace_back("tileWidth");
  if (!HeaderFieldNamed("tileHeight").InRange(settings.tileHeight)) sides.emplace_back("tileHeight");
  return sides;
}

TileBounds ComputeTileBounds(const CommandSettings& settings, int32_t cx, int32_t cz) {
  const double nX = static_cast<double>(settings.tilesX);
  const double nZ = static_cast<double>(settings.tilesZ);
  const double lowerX = static_cast<double>(settings.lowerX);
  const double upperX = static_cast<double>(settings.upperX);
  const double lowerZ = static_cast<double>(settings.lowerZ);
  const double upperZ = static_cast<double>(settings.upperZ);
  const double extentX = upperX - lowerX;
  const double extentZ = upperZ - lowerZ;
  // Counts up to 2^31 - 1 are exact in a double, and so is nX - cx - 1.
  TileBounds bounds;
  bounds.lowerX = lowerX + (static_cast<double>(cx) / nX) * extentX;
  bounds.upperX = upperX - ((nX - static_cast<double>(cx) - 1.0) / nX) * extentX;
  bounds.lowerZ = lowerZ + (static_cast<double>(cz) / nZ) * extentZ;
  bounds.upperZ = upperZ - ((nZ - static_cast<double>(cz) - 1.0) / nZ) * extentZ;
  return bounds;
}

int64_t TileCount(const CommandSettings& settings) {
  if (settings.tilesX < 1 || settings.tilesZ < 1) return 0;
  // Up to (2^31 - 1)^2 tiles: the count needs 64 bits.
  return static_cast<int64_t>(settings.tilesX) * static_cast<int64_t>(settings.tilesZ);
}

namespace {

// Sets the bounds of tile `tile` on `builder`, then builds the whole tile
// (rowCount < 0) or the band of rows from firstRow.
void BuildTileRows(const CommandSettings& settings, noise::utils::NoiseMapBuilderPlane& builder, int64_t tile,
                   int32_t firstRow, int32_t rowCount) {
  const int32_t cx = static_cast<int32_t>(tile % settings.tilesX);
  const int32_t cz = static_cast<int32_t>(tile / settings.tilesX);
  const TileBounds bounds = ComputeTileBounds(settings, cx, cz);
  // The same test the builder makes, written so that NaN bounds fail it.
  if (!(bounds.lowerX < bounds.upperX) || !(bounds.lowerZ < bounds.upperZ)) {
    std::vector<std::string> fields;
    if (!(bounds.lowerX < bounds.upperX)) fields = {"lowerX", "upperX"};
    if (!(bounds.lowerZ < bounds.upperZ)) fields.insert(fields.end(), {"lowerZ", "upperZ"});
    throw HeaderError("tile " + std::to_string(tile) + " (" + std::to_string(cx) + ", " + std::to_string(cz) +
                          "): bounds " + BoundsText(bounds) +
                          " are empty or reversed; lowerX must lie below upperX and lowerZ below upperZ",
                      fields);
  }
  try {
    builder.SetBounds(bounds.lowerX, bounds.upperX, bounds.lowerZ, bounds.upperZ);
    if (rowCount < 0) {
      builder.Build();
    } else {
      builder.BuildBand(firstRow, rowCount);
    }
  } catch (const noise::Exception&) {
    const std::string context = "tile " + std::to_string(tile) + " (tileWidth " +
                                std::to_string(settings.tileWidth) + ", tileHeight " +
                                std::to_string(settings.tileHeight) + ")";
    // The builder refuses a tile side it cannot hold in its own words; the
    // sides at fault go with them.
    const std::vector<std::string> sides = TileSidesOutOfRange(settings);
    if (sides.empty()) RethrowInContext(context);
    try {
      throw;
    } catch (const noise::ExceptionInvalidParam&) {
      throw HeaderError(context + ": " + DescribeCurrentException(), sides);
    } catch (...) {
      RethrowInContext(context);
    }
  }
}

}  // namespace

void SetUpPlaneBuilder(noise::utils::NoiseMapBuilderPlane& builder, const noise::utils::ChainPlan& chain,
                       noise::utils::HeightGrid& grid, int32_t width, int32_t height,
                       noise::utils::EvaluatorChoice evaluator) {
  builder.AttachPlan(chain);
  builder.SetDestGrid(grid);
  builder.SetGridSize(width, height);
  builder.SetSeamless(false);
  builder.SetEvaluator(evaluator);
}

void BuildTile(const CommandSettings& settings, noise::utils::NoiseMapBuilderPlane& builder, int64_t tile) {
  BuildTileRows(settings, builder, tile, 0, -1);
}

void BuildTileBand(const CommandSettings& settings, noise::utils::NoiseMapBuilderPlane& builder, int64_t tile,
                   int32_t firstRow, int32_t rowCount) {
  BuildTileRows(settings, builder, tile, firstRow, rowCount);
}

void GenerateTiles(const CommandSettings& settings, noise::utils::NoiseMapBuilderPlane& builder,
                   noise::utils::HeightGrid& grid, HeightArrayWriter& out,
                   platform::ProgressReport* progress) {
  const int64_t tileCount = TileCount(settings);
  for (int64_t t = 0; t < tileCount; ++t) {
    BuildTile(settings, builder, t);
    const int width = grid.GetWidth();
    for (int y = 0; y < grid.GetHeight(); ++y) {
      out.Append(grid.RowData(y), static_cast<size_t>(width));
    }
    if (progress != nullptr) progress->Update(static_cast<uint64_t>(t + 1));
  }
}

void GenerateTileBands(const CommandSettings& settings, noise::utils::NoiseMapBuilderPlane& builder,
                       noise::utils::HeightGrid& grid, int32_t bandRows, HeightArrayWriter& out,
                       PreviewTile& lastTile, platform::ProgressReport* progress) {
  const int64_t tileCount = TileCount(settings);
  const int32_t height = settings.tileHeight;
  for (int64_t t = 0; t < tileCount; ++t) {
    // Where this tile's values begin: a band that fails takes the tile back
    // to here, so a tile is in the file whole or not at all.
    const int64_t tileStart = out.Position();
    for (int32_t firstRow = 0; firstRow < height; firstRow += bandRows) {
      try {
        BuildTileBand(settings, builder, t, firstRow, std::min(bandRows, height - firstRow));
        // The whole last tile may not fit in memory: that fails the tile
        // as a band that cannot be built does.
        if (t == tileCount - 1) lastTile.Place(grid, firstRow);
      } catch (...) {
        if (firstRow > 0) out.TakeBack(tileStart);
        throw;
      }
      const int width = grid.GetWidth();
      for (int y = 0; y < grid.GetHeight(); ++y) {
        out.Append(grid.RowData(y), static_cast<size_t>(width));
      }
    }
    if (progress != nullptr) progress->Update(static_cast<uint64_t>(t + 1));
  }
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

std::string DescribeCurrentException() {
  try {
    throw;
  } catch (const noise::utils::ErrorMessage& e) {
    return e.Message();
  } catch (const noise::ExceptionInvalidParam&) {
    return "invalid parameter";
  } catch (const noise::ExceptionOutOfMemory&) {
    return "out of memory";
  } catch (const noise::ExceptionNoModule&) {
    return "a module lacks a source module";
  } catch (const noise::ExceptionUnknown&) {
    return "file input or output failed";
  } catch (const noise::Exception&) {
    return "noise library error";
  }
}

}  // namespace duneforge
