#include "generator/header_field.h"

#include <cassert>
#include <cstring>
#include <string>

namespace duneforge {

namespace {

constexpr const char* kNoTiles = "the command file makes no tiles, so duneforge and the exports write none";
constexpr const char* kTileSide = "duneforge and the exports refuse a tile side outside 1 .. 32767";
constexpr const char* kRowCount = "duneforge refuses the command file";

constexpr HeaderField Open(const char* name, const char* label, HeaderUse use) {
  return {name, label, use, false, 0.0, false, 0.0, ""};
}

// Tiles are counted only where both counts are at least 1 (TileCount); the
// tile sides are checked by the tile generator, the row count by
// RequireModuleCountInRange.
const std::array<HeaderField, 12> kHeaderFields = {{
    Open("hostWindow", "host window", HeaderUse::kHandle),
    {"moduleCount", "module rows", HeaderUse::kRowCount, true, 1.0, true, MaxModuleRows, kRowCount},
    {"tilesX", "tiles x", HeaderUse::kInteger, true, 1.0, false, 0.0, kNoTiles},
    {"tilesZ", "tiles z", HeaderUse::kInteger, true, 1.0, false, 0.0, kNoTiles},
    {"tileWidth", "tile width", HeaderUse::kInteger, true, 1.0, true, kLargestTileSide, kTileSide},
    {"tileHeight", "tile height", HeaderUse::kInteger, true, 1.0, true, kLargestTileSide, kTileSide},
    Open("lowerX", "lower x", HeaderUse::kNumber),
    Open("upperX", "upper x", HeaderUse::kNumber),
    Open("lowerZ", "lower z", HeaderUse::kNumber),
    Open("upperZ", "upper z", HeaderUse::kNumber),
    Open("seedBase", "seed base", HeaderUse::kInteger),
    Open("preview", "picture (tutorial.bmp)", HeaderUse::kFlag),
}};

}  // namespace

const std::array<HeaderField, 12>& HeaderFields() { return kHeaderFields; }

const HeaderField& HeaderFieldNamed(const char* name) {
  for (const HeaderField& field : kHeaderFields) {
    if (std::strcmp(field.name, name) == 0) return field;
  }
  assert(false && "not a header field");
  return kHeaderFields[0];
}

}  // namespace duneforge
