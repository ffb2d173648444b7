// terrainview: draws a terrain as a lit, coloured relief picture.
//
// Usage: terrainview [options] INPUT PICTURE...
//   INPUT    an HMP terrain file (its first frame; the grid's columns are the
//            header's param0 and its spacing param1), a greyscale PNG, a
//            16-bit RAW file (.r16, .raw; needs --size) or a height array
//            noise_arr.txt, which needs --size; a name without a known
//            extension is read by its content, else as a height array
//   PICTURE  a .bmp file, or a .png file when PNG support is built in; one
//            picture per name, one pixel per sample, north at the top
// Options:
//   --size COLUMNSxROWS  the grid of a height array or RAW file
//   --tiles NXxNZ        the height array holds NX x NZ tiles (x running
//                        fastest), as duneforge writes them; default 1x1
//   --spacing D          horizontal distance between neighbouring samples in
//                        the heights' units (default: from the HMP header;
//                        for a height array, a quarter of the picture's width
//                        spans the height range)
// Exits 0 when every picture was written, 1 on any error (one line on
// standard error), 2 for a usage error.
#include <libnoise/noise.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "noisemap/error.h"
#include "noisemap/image_grid.h"
#include "platform/whole_file.h"
#include "terrain/terrain_convert.h"
#include "tools/grid_arguments.h"
#include "tools/terrain_picture.h"

namespace {

constexpr const char* kUsage =
    "usage: terrainview [--size COLUMNSxROWS] [--tiles NXxNZ] [--spacing D] INPUT PICTURE...\n";

int Usage(const std::string& problem) {
  std::fprintf(stderr, "terrainview: %s\n%s", problem.c_str(), kUsage);
  return 2;
}

int Fail(const std::string& problem) {
  std::fprintf(stderr, "terrainview: %s\n", problem.c_str());
  return 1;
}

// Reads `input` into `terrain` with the terrain room's readers: the format
// from the name, else from the content, else a height array. Returns the
// exit status of a failure, or 0.
int Load(const std::string& input, const terrain::ConvertSettings& settings, tools::TerrainHeights& terrain) {
  std::vector<uint8_t> bytes;
  platform::FailureReason reason;
  if (!platform::ReadWholeFile(input.c_str(), bytes, reason)) return Fail(input + ": " + reason.Text());
  terrain::TerrainFormat format = terrain::FormatOfName(input);
  if (format == terrain::TerrainFormat::kUnknown) format = terrain::FormatOfContent(bytes);
  if (format == terrain::TerrainFormat::kUnknown) format = terrain::TerrainFormat::kHeightArray;
  if (format == terrain::TerrainFormat::kHeightArray) {
    if (settings.columns == 0) return Usage(input + " is not an HMP file; a height array needs --size");
    if (settings.columns % settings.tilesX != 0 || settings.rows % settings.tilesZ != 0) {
      return Usage("--tiles must divide --size into whole tiles");
    }
  }
  terrain::ConvertTerrain read;
  std::string error;
  if (!terrain::ReadTerrainBytes(std::move(bytes), format, settings, read, error)) {
    return Fail(input + ": " + error);
  }
  terrain.columns = read.columns;
  terrain.rows = read.rows;
  terrain.heights = std::move(read.heights);
  if (terrain.spacing <= 0.0) terrain.spacing = read.spacingX;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int32_t columns = 0, rows = 0, tilesX = 1, tilesZ = 1;
  double spacing = 0.0;
  std::vector<std::string> names;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--size") {
      if (!hasValue || !tools::ParseGridPair(argv[++i], columns, rows))
        return Usage("--size takes COLUMNSxROWS");
    } else if (arg == "--tiles") {
      if (!hasValue || !tools::ParseGridPair(argv[++i], tilesX, tilesZ)) return Usage("--tiles takes NXxNZ");
    } else if (arg == "--spacing") {
      char* end = nullptr;
      if (hasValue) spacing = std::strtod(argv[++i], &end);
      if (!hasValue || end == argv[i] || *end != '\0' || !(spacing > 0.0) || !std::isfinite(spacing)) {
        return Usage("--spacing takes a positive number");
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Usage("unknown option " + arg);
    } else {
      names.push_back(arg);
    }
  }
  if (names.size() < 2) return Usage("name an input and at least one picture");
  const std::string input = names[0];

  tools::TerrainHeights terrain;
  terrain.spacing = spacing;
  terrain.spacingGiven = spacing > 0.0;
  terrain::ConvertSettings settings;
  settings.columns = columns;
  settings.rows = rows;
  settings.tilesX = tilesX;
  settings.tilesZ = tilesZ;
  if (const int status = Load(input, settings, terrain)) return status;

  try {
    noise::utils::ImageGrid image;
    tools::RenderTerrain(terrain, image);
    for (size_t i = 1; i < names.size(); ++i) {
      tools::WritePicture(image, names[i]);
      std::printf("%s: %d x %d pixels\n", names[i].c_str(), image.GetWidth(), image.GetHeight());
    }
  } catch (const noise::utils::ErrorMessage& e) {
    return Fail(e.Message());
  } catch (const noise::Exception&) {
    return Fail("cannot draw " + input);
  }
  return 0;
}
