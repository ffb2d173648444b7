// terrainconvert: converts a terrain from one file format to another.
//
// Usage: terrainconvert [options] INPUT OUTPUT
// The formats follow from the file names' extensions (an input without one is
// known by its content, else by --format):
//   .txt        a height array noise_arr.txt (input; needs --size)
//   .hmp        an HMP terrain file: HMP5 or HMP7 in (its first frame),
//               HMP7 out, written as the plug-in's exports write it; its
//               skin is --skin's picture, else the input's skins, else the
//               terrain's lit relief (see --default-skin)
//   .png        a greyscale PNG picture (8 or 16 bits in, 16 bits out)
//   .r16, .raw  16-bit little-endian samples (input needs --size)
//   .obj        a Wavefront OBJ mesh (output only), with its material file
//               and, when there is a skin, a PNG texture beside it
// Pictures and RAW files run row by row from the north edge.
// Heights map linearly between their range and packed 0 .. 65535; the range
// used is printed, because RAW files cannot carry it (PNG pictures keep it,
// and the spacing, in text chunks that the readers take).
// Exits 0 when the output was written, 1 when the input cannot be read, is
// unsupported or damaged, or the output cannot be written (one line on
// standard error), 2 for a usage error.
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "render/grid_arguments.h"
#include "terrain/terrain_loader.h"
#include "terrain/terrain_saver.h"
#include "terrain/terrain_texts.h"
#include "tools/option_parser.h"
#include "tools/terrain_options.h"

namespace {

constexpr const char* kAbout =
    "Converts a terrain from one file format to another; the formats follow from the\n"
    "file names' extensions (an input without one is known by its content, else by\n"
    "--format).\n"
    "  INPUT   .txt (height array), .hmp (HMP5/HMP7), .png (greyscale),\n"
    "          .r16/.raw (16-bit)\n"
    "  OUTPUT  .hmp (HMP7), .png (16-bit greyscale), .r16/.raw (16-bit), .obj\n"
    "          (Wavefront, with NAME.mtl and, when there is a skin, the texture\n"
    "          NAME.png beside it)\n"
    "Pictures and RAW files run row by row from the north edge. Heights map\n"
    "linearly between their range and packed 0 .. 65535; the range used is\n"
    "printed, because RAW files cannot carry it (PNG pictures keep the range and\n"
    "the spacing in text chunks, which are read back).\n"
    "Exits 0 when the output was written, 1 for an input or output that cannot be\n"
    "read or written, 2 for a usage error.\n";

using Values = std::vector<std::string>;

int Fail(const std::string& problem) {
  std::fprintf(stderr, "terrainconvert: %s\n", problem.c_str());
  return tools::kExitFailed;
}

bool ParseRange(const Values& v, terrain::TerrainOptions& options) {
  double low = 0.0, high = 0.0;
  if (!render::ParseFiniteNumber(v[0].c_str(), low) || !render::ParseFiniteNumber(v[1].c_str(), high) ||
      !(low <= high)) {
    return false;
  }
  options.rangeLow = low;
  options.rangeHigh = high;
  options.hasRange = true;
  return true;
}

void DeclareOptions(tools::OptionParser& parser, terrain::TerrainOptions& options) {
  tools::AddTerrainInputOptions(parser, options);
  parser.AddOption(
      "--spacing", "DX[,DY]",
      "distance between neighbouring samples east and north (default: from the HMP header, else 1; DY "
      "defaults to DX)",
      [&](const Values& v) { return render::ParseSpacingPair(v[0], options.spacingX, options.spacingY); },
      "--spacing takes DX or DX,DY, positive numbers");
  parser.AddOption(
      "--range", "MIN MAX",
      "the heights packed 0 and 65535 stand for (default: the data's range; for PNG input its stored range, "
      "for RAW input and a PNG without one 0 .. "
      "65535); MIN may equal MAX",
      [&](const Values& v) { return ParseRange(v, options); },
      "--range takes two numbers MIN MAX with MIN not above MAX");
  parser.AddOption(
      "--height-scale", "F", "multiply every height (and the range) by F > 0 first",
      [&](const Values& v) {
        double scale = 0.0;
        if (!render::ParseFiniteNumber(v[0].c_str(), scale) || !(scale > 0.0)) return false;
        options.heightScale = scale;
        return true;
      },
      "--height-scale takes a positive number");
  parser.AddOption("--skin", "PICTURE.bmp",
                   "a 24-bit BMP as the HMP skin or OBJ texture (default: the HMP input's skins, else "
                   "as --default-skin says, and no texture)",
                   [&](const Values& v) {
                     options.skinPath = v[0];
                     return true;
                   });
  parser.AddOption(
      "--default-skin", "KIND",
      "the HMP skin when neither --skin nor the input gives one: relief (the terrain's lit relief as "
      "terrainview draws it, in true colour), blank (an 8-bit skin of zeros) or none (default: none for "
      "an HMP input without skins, else relief)",
      [&](const Values& v) { return terrain::DefaultSkinOfWord(v[0], options.defaultSkin); },
      "--default-skin takes relief, blank or none");
  parser.AddFlag("--engine-values", "round heights to 1/1024 first, as an engine script hands them over",
                 options.engineValues);
}

// Reads `input`, writes `output` and prints what was written; returns the
// exit status.
int Convert(const tools::OptionParser& parser, const std::string& input, const std::string& output,
            terrain::TerrainFormat outputFormat, const terrain::TerrainOptions& options) {
  terrain::TerrainGrid grid;
  terrain::TerrainFormat inputFormat = terrain::TerrainFormat::kUnknown;
  const int status = tools::LoadTerrainInput(parser, input, options, grid, inputFormat);
  if (status != tools::kExitDone) return status;
  // The heights come from the input, which a refusal of them names.
  const terrain::TerrainResult prepared = terrain::PrepareTerrain(options, grid);
  if (!prepared) return Fail(prepared.WithPath(input).Text());
  std::string warning;
  const terrain::TerrainResult saved = terrain::SaveTerrain(grid, outputFormat, options, output, &warning);
  if (!saved) return Fail(saved.Text());
  if (!warning.empty()) std::fprintf(stderr, "terrainconvert: warning: %s\n", warning.c_str());
  std::printf("%s: %s, %d x %d samples, %g x %g apart\n", output.c_str(), terrain::FormatName(outputFormat),
              grid.columns, grid.rows, grid.spacingX, grid.spacingY);
  std::printf("range: %s (packed 0 and 65535)\n",
              terrain::NumberPairText(grid.packedLow, grid.packedHigh).c_str());
  return tools::kExitDone;
}

}  // namespace

int main(int argc, char** argv) {
  tools::OptionParser parser("terrainconvert", "INPUT OUTPUT", kAbout, 2, 2);
  terrain::TerrainOptions options;
  DeclareOptions(parser, options);
  int status = tools::kExitDone;
  if (!parser.ParseCommandLine(argc, argv, status)) return status;
  const std::string& input = parser.Operands()[0];
  const std::string& output = parser.Operands()[1];
  const terrain::TerrainFormat outputFormat = terrain::FormatOfName(output);
  if (outputFormat == terrain::TerrainFormat::kUnknown ||
      outputFormat == terrain::TerrainFormat::kHeightArray) {
    return parser.UsageError(output +
                             ": cannot write this format; outputs are .hmp, .png, .r16, .raw and .obj");
  }
  if (!options.skinPath.empty() && outputFormat != terrain::TerrainFormat::kHmp &&
      outputFormat != terrain::TerrainFormat::kObj) {
    return parser.UsageError("--skin needs an .hmp or .obj output");
  }
  if (options.defaultSkin != terrain::DefaultSkin::kAutomatic) {
    if (outputFormat != terrain::TerrainFormat::kHmp)
      return parser.UsageError("--default-skin needs an .hmp output");
    if (!options.skinPath.empty()) return parser.UsageError("--skin and --default-skin exclude each other");
  }
  try {
    return Convert(parser, input, output, outputFormat, options);
  } catch (const std::bad_alloc&) {
    return Fail("not enough memory for the terrain");
  }
}
