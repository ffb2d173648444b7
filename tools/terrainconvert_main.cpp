// terrainconvert: converts a terrain from one file format to another.
//
// Usage: terrainconvert INPUT OUTPUT [options]
// The formats follow from the file names' extensions (an input without one is
// known by its content):
//   .txt        a height array noise_arr.txt (input; needs --size)
//   .hmp        an HMP terrain file: HMP5 or HMP7 in (its first frame),
//               HMP7 out, written as the plug-in's exports write it
//   .png        a greyscale PNG picture (8 or 16 bits in, 16 bits out)
//   .r16, .raw  16-bit little-endian samples (input needs --size)
//   .obj        a Wavefront OBJ mesh (output only)
// Pictures and RAW files run row by row from the north edge.
// Heights map linearly between their range and packed 0 .. 65535; the range
// used is printed, because PNG and RAW files cannot carry it.
// Exits 0 when the output was written, 1 when the input cannot be read, is
// unsupported or damaged, or the output cannot be written (one line on
// standard error), 2 for a usage error.
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "terrain/terrain_convert.h"
#include "tools/grid_arguments.h"
#include "tools/option_parser.h"

namespace {

constexpr const char* kAbout =
    "Converts a terrain from one file format to another; the formats follow from the\n"
    "file names' extensions (an input without one is known by its content).\n"
    "  INPUT   .txt (height array), .hmp (HMP5/HMP7), .png (greyscale), .r16/.raw (16-bit)\n"
    "  OUTPUT  .hmp (HMP7), .png (16-bit greyscale), .r16/.raw (16-bit), .obj (Wavefront)\n"
    "Exits 0 when the output was written, 1 for an input or output that cannot be read\n"
    "or written, 2 for a usage error.\n";

int Fail(const std::string& problem) {
  std::fprintf(stderr, "terrainconvert: %s\n", problem.c_str());
  return tools::kExitFailed;
}

void DeclareOptions(tools::OptionParser& parser, terrain::ConvertSettings& settings) {
  using Values = std::vector<std::string>;
  parser.AddOption("--size", "COLUMNSxROWS", "the grid of a height array or RAW file", [&](const Values& v) {
    return tools::ParseGridPair(v[0].c_str(), settings.columns, settings.rows);
  });
  parser.AddOption(
      "--tiles", "NXxNZ", "the height array holds NX x NZ tiles, x running fastest (default 1x1)",
      [&](const Values& v) { return tools::ParseGridPair(v[0].c_str(), settings.tilesX, settings.tilesZ); });
  parser.AddOption(
      "--spacing", "DX[,DY]",
      "distance between neighbouring samples east and north (default: from the HMP header, else 1; DY "
      "defaults to DX)",
      [&](const Values& v) { return tools::ParseSpacingPair(v[0], settings.spacingX, settings.spacingY); },
      "--spacing takes DX or DX,DY, positive numbers");
  parser.AddOption(
      "--range", "MIN MAX",
      "the heights packed 0 and 65535 stand for (default: the data's range; for PNG and RAW input 0 .. "
      "65535)",
      [&](const Values& v) {
        double low = 0.0, high = 0.0;
        if (!tools::ParseFiniteNumber(v[0].c_str(), low) || !tools::ParseFiniteNumber(v[1].c_str(), high) ||
            !(low <= high)) {
          return false;
        }
        settings.rangeLow = low;
        settings.rangeHigh = high;
        settings.hasRange = true;
        return true;
      },
      "--range takes two numbers MIN MAX with MIN not above MAX");
  parser.AddOption(
      "--height-scale", "F", "multiply every height (and the range) by F > 0 first",
      [&](const Values& v) {
        double scale = 0.0;
        if (!tools::ParseFiniteNumber(v[0].c_str(), scale) || !(scale > 0.0)) return false;
        settings.heightScale = scale;
        return true;
      },
      "--height-scale takes a positive number");
  parser.AddOption("--skin", "PICTURE.bmp", "a 24-bit BMP as the HMP skin (default: a blank skin)",
                   [&](const Values& v) {
                     settings.skinPath = v[0];
                     return true;
                   });
  parser.AddFlag("--engine-values", "round heights to 1/1024 first, as an engine script hands them over",
                 settings.engineValues);
}

const char* FormatName(terrain::TerrainFormat format) {
  switch (format) {
    case terrain::TerrainFormat::kHeightArray:
      return "height array";
    case terrain::TerrainFormat::kHmp:
      return "HMP";
    case terrain::TerrainFormat::kPng:
      return "PNG";
    case terrain::TerrainFormat::kRaw:
      return "RAW";
    case terrain::TerrainFormat::kObj:
      return "OBJ";
    default:
      return "unknown";
  }
}

// Reads `input`, writes `output` and prints what was written; returns the
// exit status.
int Convert(const std::string& input, const std::string& output, terrain::TerrainFormat outputFormat,
            const terrain::ConvertSettings& settings) {
  terrain::TerrainFormat inputFormat = terrain::FormatOfName(input);
  terrain::ConvertTerrain terrain;
  std::string error;
  if (!terrain::ReadTerrain(input, inputFormat, settings, terrain, error) ||
      !terrain::PrepareTerrain(settings, inputFormat, terrain, error)) {
    return Fail(input + ": " + error);
  }
  std::string warning;
  if (!terrain::WriteTerrain(terrain, outputFormat, settings, output, error, &warning)) return Fail(error);
  if (!warning.empty()) std::fprintf(stderr, "terrainconvert: warning: %s\n", warning.c_str());
  std::printf("%s: %s, %d x %d samples, %g x %g apart\n", output.c_str(), FormatName(outputFormat),
              terrain.columns, terrain.rows, terrain.spacingX, terrain.spacingY);
  std::printf("range: %.9g %.9g (packed 0 and 65535)\n", terrain.low, terrain.high);
  return tools::kExitDone;
}

}  // namespace

int main(int argc, char** argv) {
  tools::OptionParser parser("terrainconvert", "INPUT OUTPUT", kAbout, 2, 2);
  terrain::ConvertSettings settings;
  DeclareOptions(parser, settings);
  int status = tools::kExitDone;
  if (!parser.ParseCommandLine(argc, argv, status)) return status;
  const std::string& input = parser.Operands()[0];
  const std::string& output = parser.Operands()[1];
  const terrain::TerrainFormat outputFormat = terrain::FormatOfName(output);
  if (terrain::FormatOfName(input) == terrain::TerrainFormat::kObj) {
    return Fail(input + ": cannot read this format; inputs are .txt, .hmp, .png, .r16 and .raw");
  }
  if (outputFormat == terrain::TerrainFormat::kUnknown ||
      outputFormat == terrain::TerrainFormat::kHeightArray) {
    return Fail(output + ": cannot write this format; outputs are .hmp, .png, .r16, .raw and .obj");
  }
  if (!settings.skinPath.empty() && outputFormat != terrain::TerrainFormat::kHmp) {
    return parser.UsageError("--skin needs an .hmp output");
  }
  try {
    return Convert(input, output, outputFormat, settings);
  } catch (const std::bad_alloc&) {
    return Fail("not enough memory for the terrain");
  }
}
