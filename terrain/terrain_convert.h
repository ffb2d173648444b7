// Converts terrains between height arrays, HMP files, greyscale PNG
// pictures, 16-bit RAW files and Wavefront OBJ meshes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plugin/hmp_records.h"

namespace terrain {

// The file formats, taken from a file name's extension.
enum class TerrainFormat {
  kUnknown,
  kHeightArray,  // .txt: duneforge's noise_arr.txt
  kHmp,          // .hmp: HMP5 or HMP7 in, HMP7 out
  kPng,          // .png: greyscale PNG
  kRaw,          // .r16 or .raw: 16-bit little-endian samples
  kObj,          // .obj: Wavefront OBJ (output only)
};

TerrainFormat FormatOfName(const std::string& path);
// The format the bytes announce: HMP by its magic, PNG by its signature,
// else kUnknown (a height array and a RAW file cannot be told apart).
TerrainFormat FormatOfContent(const std::vector<uint8_t>& bytes);

// What the command line sets. Zero spacings and sizes mean "not given".
struct ConvertSettings {
  int32_t columns = 0;  // --size, for height arrays and RAW files
  int32_t rows = 0;
  int32_t tilesX = 1;  // --tiles, for height arrays
  int32_t tilesZ = 1;
  double spacingX = 0.0;  // --spacing
  double spacingY = 0.0;
  bool hasRange = false;  // --range
  double rangeLow = 0.0;
  double rangeHigh = 0.0;
  double heightScale = 1.0;   // --height-scale
  std::string skinPath;       // --skin, a 24-bit BMP for HMP output
  bool engineValues = false;  // --engine-values: heights rounded to 1/1024 as the exports take them
};

// A terrain between reading and writing: `columns` x `rows` heights row by
// row, row 0 at the southern (lower z) edge. When the input already held
// packed heights (HMP, PNG, RAW), `packed` keeps them exactly, and `low` and
// `high` are the heights packed 0 and 65535 stand for.
// A skin of an HMP file: its type code, size and levels as stored.
struct TerrainSkin {
  uint8_t type = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t bytesPerPixel = 0;
  bool mipmaps = false;
  std::vector<uint8_t> levels[4];
};

struct ConvertTerrain {
  int32_t columns = 0;
  int32_t rows = 0;
  std::vector<double> heights;
  std::vector<uint16_t> packed;
  double low = 0.0;
  double high = 0.0;
  double spacingX = 0.0;  // 0: the input does not say
  double spacingY = 0.0;
  // Read from an HMP file: its header and skins, which an HMP output gives
  // back (the header when the heights and spacings stay as they were).
  bool hasHmpHeader = false;
  loamwriter::HmpHeader hmpHeader{};
  std::vector<TerrainSkin> skins;
};

// Reads `path` in `format`; kUnknown takes the format from the content and
// sets it. Heights of PNG and RAW files stand for the
// range of --range, else 0 .. 65535. False with a one-line reason in
// `error` when the file cannot be read, is damaged, or does not fit the
// settings.
bool ReadTerrain(const std::string& path, TerrainFormat& format, const ConvertSettings& settings,
                 ConvertTerrain& terrain, std::string& error);
// The same for the file's bytes already in memory.
bool ReadTerrainBytes(std::vector<uint8_t> bytes, TerrainFormat format, const ConvertSettings& settings,
                      ConvertTerrain& terrain, std::string& error);

// Makes `terrain` ready to write: scales heights by --height-scale, sets the
// spacing (--spacing, else the input's, else 1), and packs the heights
// between the range (--range, else the data's) and 0 .. 65535 as the HMP
// exports pack them, unless the input's packed heights are kept: they are
// kept for PNG and RAW input always and for HMP input without --range.
// False with a reason when a height is not finite or the range or grid does
// not fit in the HMP header's engine numbers.
bool PrepareTerrain(const ConvertSettings& settings, TerrainFormat inputFormat, ConvertTerrain& terrain,
                    std::string& error);

// Writes a prepared terrain to `path` in `format`, replacing the file whole.
// False with a one-line reason when it cannot be written; a file that was
// there then keeps its bytes. A skin whose sides are not multiples of 8,
// which some readers take differently, is written with a line in `warning`.
bool WriteTerrain(const ConvertTerrain& terrain, TerrainFormat format, const ConvertSettings& settings,
                  const std::string& path, std::string& error, std::string* warning = nullptr);

}  // namespace terrain
