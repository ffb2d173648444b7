// A terrain between reading and writing, and the options that say how a
// file becomes one and how one becomes a file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plugin/hmp_records.h"
#include "plugin/terrain_recipe.h"
#include "terrain/terrain_format.h"

namespace terrain {

// A skin of an HMP file: its type code, size and levels as stored.
using TerrainSkin = loamwriter::SkinLevels;

// `columns` x `rows` heights row by row, row 0 at the southern (lower z)
// edge, each row from west to east. When the input already held packed
// heights (HMP, PNG, RAW), `packed` keeps them exactly, and `low` and `high`
// are the heights packed 0 and 65535 stand for; once prepared for writing,
// every terrain has them.
struct TerrainGrid {
  int32_t columns = 0;
  int32_t rows = 0;
  std::vector<double> heights;
  std::vector<uint16_t> packed;
  double low = 0.0;
  double high = 0.0;
  // Whether low and high are known: an HMP file's header, a PNG picture's
  // stored range or the options gave them; false where 0 .. 65535 stands in.
  bool rangeKnown = false;
  // Once prepared: what packed 0 and 65535 stand for exactly, as a reader
  // of the packed heights takes them (low and high on the steps of the
  // header's numbers where the heights were packed anew).
  double packedLow = 0.0;
  double packedHigh = 0.0;
  double spacingX = 0.0;  // east; 0: the input does not say
  double spacingY = 0.0;  // north
  // Read from an HMP file: its header and skins, which an HMP output gives
  // back (the header when the heights and spacings stay as they were).
  bool hasHmpHeader = false;
  loamwriter::HmpHeader hmpHeader{};
  std::vector<TerrainSkin> skins;
  // The skins came from an HMP file, which may have held none: a file read
  // without skins is written back without skins.
  bool skinsRead = false;

  size_t Index(int32_t x, int32_t y) const {
    return static_cast<size_t>(y) * static_cast<size_t>(columns) + static_cast<size_t>(x);
  }
};

// The skin of HMP output when no picture is given and the input holds no
// skin.
enum class DefaultSkin {
  kAutomatic,  // none for an HMP file read without skins, else the relief
  kRelief,     // the terrain's lit relief in true colour with mip levels
  kBlank,      // an 8-bit skin of zero bytes, as the blank skin export writes
  kNone,       // no skin at all
};

// The default skin a user names: "relief", "blank" or "none"; false for any
// other word.
inline bool DefaultSkinOfWord(const std::string& word, DefaultSkin& skin) {
  if (word == "relief") {
    skin = DefaultSkin::kRelief;
  } else if (word == "blank") {
    skin = DefaultSkin::kBlank;
  } else if (word == "none") {
    skin = DefaultSkin::kNone;
  } else {
    return false;
  }
  return true;
}

// How a refusal of the grid options names them, in the words of the
// caller: the command-line flags by default.
struct GridOptionNames {
  std::string needsSize = "--size COLUMNSxROWS";  // what a height array or RAW file needs
  std::string size = "--size";                    // the size option, as a refusal quotes it
  std::string tiles = "--tiles";
  // A size quoted with its value: "(rows, columns)" right after `size`
  // where true, else " COLUMNSxROWS" after it.
  bool rowsFirst = false;
};

// What a user sets. Zero spacings and sizes mean "not given".
struct TerrainOptions {
  // The input's format when its name and content do not tell it (a height
  // array and a RAW file look alike) or when the user names it.
  TerrainFormat format = TerrainFormat::kUnknown;
  int32_t columns = 0;  // the grid of a height array or RAW file
  int32_t rows = 0;
  int32_t tilesX = 1;  // a height array's tiles, x running fastest
  int32_t tilesZ = 1;
  double spacingX = 0.0;
  double spacingY = 0.0;
  bool hasRange = false;  // the heights packed 0 and 65535 stand for
  double rangeLow = 0.0;
  double rangeHigh = 0.0;
  double heightScale = 1.0;
  std::string skinPath;  // a 24-bit BMP as the skin of HMP and OBJ output
  DefaultSkin defaultSkin = DefaultSkin::kAutomatic;
  bool engineValues = false;  // heights rounded to 1/1024 as the exports take them
  // The OBJ texture's file name beside the mesh; empty for the mesh's name
  // ending in .png.
  std::string objTextureName;
  // How refusals name the size and tiles options.
  GridOptionNames gridNames;
};

}  // namespace terrain
