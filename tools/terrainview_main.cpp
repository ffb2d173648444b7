// terrainview: draws a terrain as a lit, coloured relief picture.
//
// Usage: terrainview [options] INPUT PICTURE...
//   INPUT    a terrain as terrainconvert reads it: an HMP terrain file (its
//            first frame, spaced as its header says), a greyscale PNG, a
//            16-bit RAW file (.r16, .raw) or a height array noise_arr.txt;
//            the last two need --size, and --format where the name does not
//            tell them apart
//   PICTURE  a .bmp file, or a .png file when PNG support is built in; one
//            picture per name, one pixel per sample, north at the top; any
//            other extension is a usage error
// Exits 0 when every picture was written, 1 on any error (one line on
// standard error), 2 for a usage error.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "noisemap/error.h"
#include "noisemap/image_grid.h"
#include "platform/file_name.h"
#include "render/grid_arguments.h"
#include "render/terrain_picture.h"
#include "tools/option_parser.h"
#include "tools/terrain_options.h"

namespace {

constexpr const char* kAbout =
    "Draws a terrain as a lit, coloured relief picture, one pixel per sample, north\n"
    "at the top. INPUT is an HMP terrain file (its first frame), a greyscale PNG, a\n"
    "16-bit RAW file (.r16, .raw) or a height array noise_arr.txt (.txt); the last\n"
    "two need --size. A name without one of these extensions is read by its content\n"
    "(HMP, PNG), else as --format says. Each PICTURE is a .bmp file, or a .png file\n"
    "when PNG support is built in.\n"
    "Exits 0 when every picture was written, 1 on any error, 2 for a usage error.\n";

void AddSpacingOption(tools::OptionParser& parser, double& spacing) {
  parser.AddOption(
      "--spacing", "D",
      "horizontal distance between neighbouring samples in the heights' units (default: from the HMP "
      "header, else one that suits the height range and grid)",
      [&](const std::vector<std::string>& v) {
        double value = 0.0;
        if (!render::ParseFiniteNumber(v[0].c_str(), value) || !(value > 0.0)) return false;
        spacing = value;
        return true;
      },
      "--spacing takes a positive number");
}

// Draws `terrain` into every picture named; returns the exit status.
int Draw(const terrain::TerrainGrid& terrain, bool spacingGiven, const std::vector<std::string>& pictures) {
  try {
    noise::utils::ImageGrid image;
    render::RenderTerrain(terrain, spacingGiven, image);
    for (const std::string& picture : pictures) {
      render::WritePicture(image, picture);
      std::printf("%s: %d x %d pixels\n", picture.c_str(), image.GetWidth(), image.GetHeight());
    }
  } catch (const noise::utils::ErrorMessage& e) {
    std::fprintf(stderr, "terrainview: %s\n", e.Message().c_str());
    return tools::kExitFailed;
  } catch (const noise::Exception&) {
    std::fprintf(stderr, "terrainview: cannot draw the terrain\n");
    return tools::kExitFailed;
  }
  return tools::kExitDone;
}

}  // namespace

int main(int argc, char** argv) {
  tools::OptionParser parser("terrainview", "INPUT PICTURE...", kAbout, 2, SIZE_MAX);
  terrain::TerrainOptions options;
  double spacing = 0.0;
  tools::AddTerrainInputOptions(parser, options);
  AddSpacingOption(parser, spacing);
  int status = tools::kExitDone;
  if (!parser.ParseCommandLine(argc, argv, status)) return status;
  const std::vector<std::string> pictures(parser.Operands().begin() + 1, parser.Operands().end());
  for (const std::string& picture : pictures) {
    const std::string extension = platform::LowercaseExtension(picture);
    if (extension != ".bmp" && extension != ".png") {
      return parser.UsageError(picture + ": cannot write this format; pictures are .bmp and .png files");
    }
  }
  terrain::TerrainGrid terrain;
  terrain::TerrainFormat format = terrain::TerrainFormat::kUnknown;
  status = tools::LoadTerrainInput(parser, parser.Operands()[0], options, terrain, format);
  if (status != tools::kExitDone) return status;
  if (spacing > 0.0) terrain.spacingX = spacing;
  return Draw(terrain, spacing > 0.0, pictures);
}
