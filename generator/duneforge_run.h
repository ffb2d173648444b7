// The run of duneforge: command file, module chain, tiles, outputs, message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "generator/command_settings.h"
#include "generator/exception_text.h"
#include "generator/height_array_writer.h"
#include "generator/tile_build.h"
#include "noisemap/height_grid.h"
#include "noisemap/noise_map_builder_plane.h"
#include "platform/progress_line.h"
#include "platform/window_messenger.h"

namespace duneforge {

// The command value of the completion message (0x59F5B: low word 0x9F5B,
// high word 5).
constexpr uint32_t GenerationDoneCommand = 368475;
// The preview picture, in the working directory.
constexpr const char* kPreviewFileName = "tutorial.bmp";

// Builds every tile with `builder` (configured as for BuildTile, filling
// `grid`) and appends each tile's values row by row to `out`, tiles in order
// t = 0 .. TileCount - 1. `progress`, when given, hears of every tile
// written. BuildTile's and the writer's exceptions pass.
void GenerateTiles(const CommandSettings& settings, noise::utils::NoiseMapBuilderPlane& builder,
                   noise::utils::HeightGrid& grid, HeightArrayWriter& out,
                   platform::ProgressReport* progress = nullptr);

// The environment variable that sets how many threads build tiles, and the
// largest number it takes.
constexpr const char* kThreadsVariable = "DUNEFORGE_THREADS";
constexpr int kMaxThreads = 256;

// How many threads build tiles: DUNEFORGE_THREADS when it is set and not
// empty, else the machine's hardware threads (at least 1). A value that is
// not a whole number from 1 to kMaxThreads throws
// noise::ExceptionInvalidParam.
int ThreadCount();

// The environment variable that sets the memory budget of the pieces in
// flight, in MiB, and the range it takes: 1 MiB, where one worker still
// builds bands of one row of the widest tile (128 KiB), to 1 TiB.
constexpr const char* kMemoryVariable = "DUNEFORGE_MEMORY_MB";
constexpr int64_t kMinMemoryMiB = 1;
constexpr int64_t kMaxMemoryMiB = int64_t{1} << 20;

// The budget in bytes: DUNEFORGE_MEMORY_MB MiB when it is set and not
// empty, else PiecePlan::kDefaultBudgetBytes. A value that is not a whole
// number from kMinMemoryMiB to kMaxMemoryMiB throws
// noise::ExceptionInvalidParam.
int64_t MemoryBudgetBytes();

// The environment variable that chooses how the chain is evaluated.
constexpr const char* kEvaluatorVariable = "DUNEFORGE_EVALUATOR";

// How the chain is evaluated: as DUNEFORGE_EVALUATOR names it when it is set
// and not empty ("batch", "libnoise" where libnoise is present, "portable",
// "x86-64-v3" or "x86-64-v4"), else in blocks with the best kernels of this
// processor. A name it does not know, or a level this processor lacks,
// throws noise::ExceptionInvalidParam.
noise::utils::EvaluatorChoice EvaluatorFromEnvironment();

// Renders `grid` with a new relief renderer in its initial state (grey
// ramp, no light) and writes it to tutorial.bmp. An empty grid throws
// noise::ExceptionInvalidParam; a file that cannot be written
// noise::ExceptionUnknown.
void WritePreview(const noise::utils::HeightGrid& grid);
// The same picture written to `path`, replaced whole; errors name it.
void WritePreview(const noise::utils::HeightGrid& grid, const std::string& path);

// Sends WM_COMMAND with GenerationDoneCommand and 0 to `hostWindow` and
// returns once it is handled. A handle that names no window does nothing.
void NotifyHost(platform::WindowHandle hostWindow);

// The whole run in the working directory. Returns the exit status, 0, on
// every path that ends normally, including a command file or height array
// file that cannot be opened; failures throw the noise::Exception types and
// leave the completion message unsent. Tiles are built on up to
// ThreadCount() threads, each with a plane builder of its own, in pieces
// that keep the memory they reserve within MemoryBudgetBytes(), and
// written in tile order, so the files are the same for every thread count
// and budget. While the tiles are
// built, a progress line is kept on standard error when it is a terminal.
int RunDuneforge();

// What `duneforge --help` prints: what the program reads and writes, the
// environment variables it reads and its exit statuses.
const char* UsageText();

}  // namespace duneforge
