// A terrain as the Python module hands it out and takes it in.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <string>

#include "terrain/terrain_grid.h"

namespace pybinding {

// The Python `Terrain`: heights as a (rows, columns) float64 array, row 0 at
// the southern edge, with what the file said about them. `kept` holds what
// the file had beyond the heights (an HMP header and skins as stored, the
// packed heights) so that saving gives them back; its packed heights are
// given back only while the heights are those read (`heightsHash`).
struct TerrainArrays {
  pybind11::object heights = pybind11::none();
  double spacingX = 0.0;
  double spacingY = 0.0;
  pybind11::object range = pybind11::none();
  bool rangeKnown = false;
  pybind11::object hmp = pybind11::none();
  pybind11::list skins;
  std::string format;
  std::shared_ptr<const terrain::TerrainGrid> kept;
  uint64_t heightsHash = 0;
};

// A hash of `count` heights, to tell whether a terrain's heights changed.
uint64_t HashHeights(const double* heights, size_t count);

}  // namespace pybinding
