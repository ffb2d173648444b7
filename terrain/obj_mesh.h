// Terrains as Wavefront OBJ meshes with their material and texture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "terrain/terrain_grid.h"
#include "terrain/terrain_result.h"

namespace terrain {

// The picture an OBJ mesh is textured with: rows from the top (the north
// edge), 8-bit red, green, blue and alpha.
struct ObjTexture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rgba;
  // Its file name beside the mesh, named in the material; empty for the
  // mesh's name ending in .png.
  std::string fileName;
};

// Writes `grid` (prepared, with its spacings) to `path` as an OBJ mesh: a
// vertex per sample (x east, y up, z south, so that the faces turn
// counter-clockwise seen from above), its normal from the neighbouring
// heights, texture coordinates spanning the grid, and two triangles per
// cell. Beside it go a material file and, given a `texture`, a PNG picture,
// named after the mesh (terrain.obj, terrain.mtl, terrain.png) unless the
// texture names its own file. The files are written whole beside their
// names and flushed before any of them takes its name, so that a failure to
// write one (a full disk, a name that cannot be written) leaves every name
// as it was. Only a failure of the final moves, which touch no data, can
// leave some files new: those that had no earlier file are removed again,
// but an earlier texture or material already replaced stays replaced. A
// failure, naming the file, when a file cannot be written.
TerrainResult WriteObjMesh(const TerrainGrid& grid, const ObjTexture* texture, const std::string& path);

}  // namespace terrain
