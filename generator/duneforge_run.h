// The run of duneforge: command file, module chain, tiles, outputs, message.
#pragma once

#include <cstdint>
#include <string>

#include "generator/command_settings.h"
#include "generator/height_array_writer.h"
#include "noisemap/height_grid.h"
#include "noisemap/noise_map_builder_plane.h"
#include "platform/window_messenger.h"

namespace duneforge {

// The command value of the completion message (0x59F5B: low word 0x9F5B,
// high word 5).
constexpr uint32_t GenerationDoneCommand = 368475;
// The preview picture, in the working directory.
constexpr const char* kPreviewFileName = "tutorial.bmp";

// The rectangle of one tile, in double precision.
struct TileBounds {
  double lowerX;
  double upperX;
  double lowerZ;
  double upperZ;
};

// The bounds of the tile at (cx, cz) of tilesX x tilesZ tiles: each fraction
// is formed first and then multiplied by the extent, lower bounds measured
// from the lower edge of the area and upper bounds from its upper edge, so
// the first tile starts exactly at (lowerX, lowerZ) and the last ends
// exactly at (upperX, upperZ). The counts are at least 1 and 0 <= cx <
// tilesX, 0 <= cz < tilesZ.
TileBounds ComputeTileBounds(const CommandSettings& settings, int32_t cx, int32_t cz);

// Builds every tile with `builder`, which is configured with the output
// module, `grid` and the tile size, and appends each tile's values row by
// row to `out`. Tiles go in order t = 0 .. tilesX x tilesZ - 1 with the x
// position running fastest; a count below 1 means no tile (also when both
// are negative). Bounds that are empty or reversed throw
// noise::ExceptionInvalidParam naming the tile; the builder's and the
// writer's exceptions pass.
void GenerateTiles(const CommandSettings& settings, noise::utils::NoiseMapBuilderPlane& builder,
                   noise::utils::HeightGrid& grid, HeightArrayWriter& out);

// Renders `grid` with a new relief renderer in its initial state (grey
// ramp, no light) and writes it to tutorial.bmp. An empty grid throws
// noise::ExceptionInvalidParam; a file that cannot be written
// noise::ExceptionUnknown.
void WritePreview(const noise::utils::HeightGrid& grid);

// Sends WM_COMMAND with GenerationDoneCommand and 0 to `hostWindow` and
// returns once it is handled. A handle that names no window does nothing.
void NotifyHost(platform::WindowHandle hostWindow);

// The whole run in the working directory. Returns the exit status, 0, on
// every path that ends normally, including a command file or height array
// file that cannot be opened; failures throw libnoise's exception types and
// leave the completion message unsent.
int RunDuneforge();

// One line describing the exception being handled (call it inside a catch
// block): its message when it carries one, else its kind.
std::string DescribeCurrentException();

}  // namespace duneforge
