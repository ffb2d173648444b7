// The text chunks by which a 16-bit terrain picture says what its samples
// stand for, since a PNG picture has no place of its own for a height range
// or a spacing. Each chunk's text is two numbers with one space between:
//   "Terrain height range"  "LOW HIGH"    the heights packed 0 and 65535
//                                         stand for (LOW may equal HIGH)
//   "Terrain spacing"       "EAST NORTH"  the distance between neighbouring
//                                         samples
// Each number is the shortest decimal text that reads back as the same
// double ("0.1", "-2.5e-05", "1024"). A reader takes a chunk only when it
// holds two finite numbers in that form, LOW not above HIGH and spacings
// above 0; it reads the picture as if any other chunk were not there.
#pragma once

#include <string>
#include <vector>

#include "terrain/grey_png.h"
#include "terrain/terrain_grid.h"

namespace terrain {

inline constexpr char kRangeKeyword[] = "Terrain height range";
inline constexpr char kSpacingKeyword[] = "Terrain spacing";

// "A B" with each number as its shortest round-trip decimal text.
std::string NumberPairText(double first, double second);

// The texts of a prepared grid: its packed range and its spacing.
std::vector<PictureText> TerrainTexts(const TerrainGrid& grid);

// What a picture's texts say. Unset where a chunk is missing or cannot be
// taken.
struct StoredTerrainTexts {
  bool hasRange = false;
  double low = 0.0;
  double high = 0.0;
  bool hasSpacing = false;
  double spacingX = 0.0;
  double spacingY = 0.0;
};
StoredTerrainTexts ReadTerrainTexts(const std::vector<PictureText>& texts);

}  // namespace terrain
