// Writes terrains as HMP7 files, 16-bit greyscale PNG pictures, 16-bit RAW
// files and Wavefront OBJ meshes.
#pragma once

#include <string>

#include "terrain/bmp_image.h"
#include "terrain/terrain_grid.h"
#include "terrain/terrain_result.h"

namespace terrain {

// Makes `grid` ready to write: scales heights by options.heightScale, sets
// the spacing (the options', else the input's, else 1), and packs the
// heights between the range (the options', else the data's) and 0 .. 65535
// as the HMP exports pack them, unless the input's packed heights are kept:
// they are kept for PNG and RAW input always and for HMP input without a
// range. A failure when a height is not finite (kMalformed) or the range
// does not fit in the HMP header's engine numbers (kTooLarge); it names no
// file, as the grid may come from anywhere.
TerrainResult PrepareTerrain(const TerrainOptions& options, TerrainGrid& grid);

// Writes a prepared grid to `path` in `format`, replacing the file whole.
// HMP output carries options.skinPath's picture as its skin, else the skins
// of the HMP file read, else what options.defaultSkin says: by default the
// terrain's lit relief as a true-colour skin with mip levels (as the skin
// export takes an 888 engine bitmap), but no skin for an HMP file read
// without skins. Its first skin is thus never an 8-bit one unless a blank
// skin is asked for or the input held one. OBJ output comes with a material
// file and, when there is a skin, a PNG texture (see WriteObjMesh). A
// failure when it cannot be written, naming the file at fault (`path`, a file
// beside it, or the skin's picture) where one is; a file that was there then
// keeps its bytes. A skin whose sides are not multiples of 8, which some
// readers take differently, is written with a line in `warning`.
TerrainResult SaveTerrain(const TerrainGrid& grid, TerrainFormat format, const TerrainOptions& options,
                          const std::string& path, std::string* warning = nullptr);
// The same with `skin`, a picture in memory, as the skin of HMP output and
// the texture of OBJ output in place of options.skinPath's.
TerrainResult SaveTerrain(const TerrainGrid& grid, TerrainFormat format, const TerrainOptions& options,
                          const BmpImage& skin, const std::string& path);

}  // namespace terrain
