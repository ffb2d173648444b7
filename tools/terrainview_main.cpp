// terrainview: draws a terrain as a lit, coloured relief picture.
//
// Usage: terrainview [options] INPUT PICTURE...
//   INPUT    an HMP terrain file (its first frame; the grid's columns are the
//            header's param0 and its spacing param1), a greyscale PNG, a
//            16-bit RAW file (.r16, .raw; needs --size) or a height array
//            noise_arr.txt, which needs --size; a name without a known
//            extension is read by its content, else as a height array
//   PICTURE  a .bmp file, or a .png file when PNG support is built in; one
//            picture per name, one pixel per sample, north at the top; any
//            other extension is a usage error
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

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "noisemap/error.h"
#include "noisemap/image_grid.h"
#include "platform/whole_file.h"
#include "terrain/terrain_convert.h"
#include "tools/grid_arguments.h"
#include "tools/option_parser.h"
#include "tools/terrain_picture.h"

namespace {

constexpr const char* kAbout =
    "Draws a terrain as a lit, coloured relief picture, one pixel per sample, north at\n"
    "the top. INPUT is an HMP terrain file (its first frame), a greyscale PNG, a 16-bit\n"
    "RAW file (.r16, .raw; needs --size) or a height array noise_arr.txt (needs --size);\n"
    "a name without a known extension is read by its content, else as a height array.\n"
    "Each PICTURE is a .bmp file, or a .png file when PNG support is built in.\n"
    "Exits 0 when every picture was written, 1 on any error, 2 for a usage error.\n";

int Fail(const std::string& problem) {
  std::fprintf(stderr, "terrainview: %s\n", problem.c_str());
  return tools::kExitFailed;
}

void DeclareOptions(tools::OptionParser& parser, terrain::ConvertSettings& settings, double& spacing) {
  using Values = std::vector<std::string>;
  parser.AddOption("--size", "COLUMNSxROWS", "the grid of a height array or RAW file", [&](const Values& v) {
    return tools::ParseGridPair(v[0].c_str(), settings.columns, settings.rows);
  });
  parser.AddOption(
      "--tiles", "NXxNZ",
      "the height array holds NX x NZ tiles (x running fastest), as duneforge writes them; default 1x1",
      [&](const Values& v) { return tools::ParseGridPair(v[0].c_str(), settings.tilesX, settings.tilesZ); });
  parser.AddOption(
      "--spacing", "D",
      "horizontal distance between neighbouring samples in the heights' units (default: from the HMP "
      "header; for a height array, a quarter of the picture's width spans the height range)",
      [&](const Values& v) {
        double value = 0.0;
        if (!tools::ParseFiniteNumber(v[0].c_str(), value) || !(value > 0.0)) return false;
        spacing = value;
        return true;
      },
      "--spacing takes a positive number");
}

// Reads `input` into `terrain` with the terrain room's readers: the format
// from the name, else from the content, else a height array. Returns the
// exit status of a failure, or 0.
int Load(const std::string& input, const terrain::ConvertSettings& settings,
         const tools::OptionParser& parser, tools::TerrainHeights& terrain) {
  std::vector<uint8_t> bytes;
  platform::FailureReason reason;
  if (!platform::ReadWholeFile(input.c_str(), bytes, reason)) return Fail(input + ": " + reason.Text());
  terrain::TerrainFormat format = terrain::FormatOfName(input);
  if (format == terrain::TerrainFormat::kUnknown) format = terrain::FormatOfContent(bytes);
  if (format == terrain::TerrainFormat::kUnknown) format = terrain::TerrainFormat::kHeightArray;
  if (format == terrain::TerrainFormat::kHeightArray) {
    if (settings.columns == 0) {
      return parser.UsageError(input + " is not an HMP file; a height array needs --size");
    }
    if (settings.columns % settings.tilesX != 0 || settings.rows % settings.tilesZ != 0) {
      return parser.UsageError("--tiles must divide --size into whole tiles");
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
  return tools::kExitDone;
}

// Draws `terrain` into every picture named; returns the exit status.
int Draw(const tools::TerrainHeights& terrain, const std::string& input,
         const std::vector<std::string>& pictures) {
  try {
    noise::utils::ImageGrid image;
    tools::RenderTerrain(terrain, image);
    for (const std::string& picture : pictures) {
      tools::WritePicture(image, picture);
      std::printf("%s: %d x %d pixels\n", picture.c_str(), image.GetWidth(), image.GetHeight());
    }
  } catch (const noise::utils::ErrorMessage& e) {
    return Fail(e.Message());
  } catch (const noise::Exception&) {
    return Fail("cannot draw " + input);
  }
  return tools::kExitDone;
}

}  // namespace

int main(int argc, char** argv) {
  tools::OptionParser parser("terrainview", "INPUT PICTURE...", kAbout, 2, SIZE_MAX);
  terrain::ConvertSettings settings;
  double spacing = 0.0;
  DeclareOptions(parser, settings, spacing);
  int status = tools::kExitDone;
  if (!parser.ParseCommandLine(argc, argv, status)) return status;
  const std::string& input = parser.Operands()[0];
  const std::vector<std::string> pictures(parser.Operands().begin() + 1, parser.Operands().end());
  for (const std::string& picture : pictures) {
    const std::string extension = tools::OptionParser::ExtensionOf(picture);
    if (extension != ".bmp" && extension != ".png") {
      return parser.UsageError(picture + ": cannot write this format; pictures are .bmp and .png files");
    }
  }
  tools::TerrainHeights terrain;
  terrain.spacing = spacing;
  terrain.spacingGiven = spacing > 0.0;
  if (const int failed = Load(input, settings, parser, terrain)) return failed;
  return Draw(terrain, input, pictures);
}
