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
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "terrain/terrain_convert.h"
#include "tools/grid_arguments.h"

namespace {

constexpr const char* kUsage =
    "usage: terrainconvert INPUT OUTPUT [options]\n"
    "  INPUT   .txt (height array), .hmp (HMP5/HMP7), .png (greyscale), .r16/.raw (16-bit)\n"
    "  OUTPUT  .hmp (HMP7), .png (16-bit greyscale), .r16/.raw (16-bit), .obj (Wavefront)\n"
    "options:\n"
    "  --size COLUMNSxROWS   the grid of a height array or RAW file\n"
    "  --tiles NXxNZ         the height array holds NX x NZ tiles, x running fastest (default 1x1)\n"
    "  --spacing DX[,DY]     distance between neighbouring samples east and north\n"
    "                        (default: from the HMP header, else 1; DY defaults to DX)\n"
    "  --range MIN MAX       the heights packed 0 and 65535 stand for (default: the data's\n"
    "                        range; for PNG and RAW input 0 .. 65535)\n"
    "  --height-scale F      multiply every height (and the range) by F > 0 first\n"
    "  --skin PICTURE.bmp    a 24-bit BMP as the HMP skin (default: a blank skin)\n"
    "  --engine-values       round heights to 1/1024 first, as an engine script hands them over\n"
    "  --help                show this text\n";

int Usage(const std::string& problem) {
  std::fprintf(stderr, "terrainconvert: %s (see terrainconvert --help)\n", problem.c_str());
  return 2;
}

int Fail(const std::string& problem) {
  std::fprintf(stderr, "terrainconvert: %s\n", problem.c_str());
  return 1;
}

// "DX" or "DX,DY", both positive.
bool ParseSpacing(const std::string& text, double& x, double& y) {
  const size_t comma = text.find(',');
  double first = 0.0, second = 0.0;
  if (!tools::ParseFiniteNumber(text.substr(0, comma).c_str(), first) || !(first > 0.0)) return false;
  second = first;
  if (comma != std::string::npos &&
      (!tools::ParseFiniteNumber(text.substr(comma + 1).c_str(), second) || !(second > 0.0))) {
    return false;
  }
  x = first;
  y = second;
  return true;
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

int Convert(int argc, char** argv) {
  terrain::ConvertSettings settings;
  std::string names[2];
  int nameCount = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--size") {
      if (!hasValue || !tools::ParseGridPair(argv[++i], settings.columns, settings.rows)) {
        return Usage("--size takes COLUMNSxROWS");
      }
    } else if (arg == "--tiles") {
      if (!hasValue || !tools::ParseGridPair(argv[++i], settings.tilesX, settings.tilesZ)) {
        return Usage("--tiles takes NXxNZ");
      }
    } else if (arg == "--spacing") {
      if (!hasValue || !ParseSpacing(argv[++i], settings.spacingX, settings.spacingY)) {
        return Usage("--spacing takes DX or DX,DY, positive numbers");
      }
    } else if (arg == "--range") {
      if (i + 2 >= argc || !tools::ParseFiniteNumber(argv[i + 1], settings.rangeLow) ||
          !tools::ParseFiniteNumber(argv[i + 2], settings.rangeHigh) ||
          !(settings.rangeLow <= settings.rangeHigh)) {
        return Usage("--range takes two numbers MIN MAX with MIN not above MAX");
      }
      settings.hasRange = true;
      i += 2;
    } else if (arg == "--height-scale") {
      if (!hasValue || !tools::ParseFiniteNumber(argv[++i], settings.heightScale) ||
          !(settings.heightScale > 0.0)) {
        return Usage("--height-scale takes a positive number");
      }
    } else if (arg == "--engine-values") {
      settings.engineValues = true;
    } else if (arg == "--skin") {
      if (!hasValue) return Usage("--skin takes a BMP picture");
      settings.skinPath = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Usage("unknown option " + arg);
    } else if (nameCount < 2) {
      names[nameCount++] = arg;
    } else {
      return Usage("name one input and one output");
    }
  }
  if (nameCount != 2) return Usage("name one input and one output");
  const std::string& input = names[0];
  const std::string& output = names[1];
  terrain::TerrainFormat inputFormat = terrain::FormatOfName(input);
  const terrain::TerrainFormat outputFormat = terrain::FormatOfName(output);
  if (inputFormat == terrain::TerrainFormat::kObj) {
    return Fail(input + ": cannot read this format; inputs are .txt, .hmp, .png, .r16 and .raw");
  }
  if (outputFormat == terrain::TerrainFormat::kUnknown ||
      outputFormat == terrain::TerrainFormat::kHeightArray) {
    return Fail(output + ": cannot write this format; outputs are .hmp, .png, .r16, .raw and .obj");
  }
  if (!settings.skinPath.empty() && outputFormat != terrain::TerrainFormat::kHmp) {
    return Usage("--skin needs an .hmp output");
  }

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
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Convert(argc, argv);
  } catch (const std::bad_alloc&) {
    return Fail("not enough memory for the terrain");
  }
}
