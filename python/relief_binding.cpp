// render_relief of the Python module.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "noisemap/error.h"
#include "noisemap/image_grid.h"
#include "python/array_helpers.h"
#include "python/bindings.h"
#include "render/terrain_picture.h"

namespace py = pybind11;

namespace pybinding {

namespace {

terrain::TerrainGrid HeightsGrid(const py::object& heights) {
  terrain::TerrainGrid grid;
  py::array shaped;
  if (py::isinstance<py::array_t<float>>(heights)) {
    const auto single = RequireArray<float>(heights, "heights", {-1, -1});
    grid.heights.assign(single.data(), single.data() + single.size());
    shaped = single;
  } else {
    const auto values = RequireArray<double>(heights, "heights", {-1, -1});
    grid.heights.assign(values.data(), values.data() + values.size());
    shaped = values;
  }
  if (shaped.shape(0) < 1 || shaped.shape(1) < 1 || shaped.shape(0) > 32767 || shaped.shape(1) > 32767) {
    throw py::value_error("a relief takes 1 to 32767 rows and columns");
  }
  grid.rows = static_cast<int32_t>(shaped.shape(0));
  grid.columns = static_cast<int32_t>(shaped.shape(1));
  return grid;
}

render::ReliefLight LightFrom(const py::dict& keywords, double& spacing) {
  render::ReliefLight light;
  for (const auto& item : keywords) {
    const std::string key = item.first.cast<std::string>();
    const double value = item.second.cast<double>();
    if (key == "azimuth") {
      light.azimuth = value;
    } else if (key == "elevation") {
      light.elevation = value;
    } else if (key == "brightness") {
      light.brightness = value;
    } else if (key == "contrast") {
      light.contrast = value;
    } else if (key == "spacing") {
      if (!(value > 0.0)) throw py::value_error("spacing must be positive");
      spacing = value;
    } else {
      throw py::type_error("render_relief() takes no option '" + key + "'");
    }
  }
  return light;
}

py::array_t<uint8_t> RenderRelief(const py::object& heights, const py::kwargs& keywords) {
  terrain::TerrainGrid grid = HeightsGrid(heights);
  double spacing = 0.0;
  const render::ReliefLight light = LightFrom(keywords, spacing);
  grid.spacingX = grid.spacingY = spacing;
  std::vector<uint8_t> rgb(static_cast<size_t>(grid.rows) * static_cast<size_t>(grid.columns) * 3);
  try {
    py::gil_scoped_release release;
    noise::utils::ImageGrid image;
    render::RenderTerrain(grid, spacing > 0.0, image, light);
    // Image row 0 is the southern edge; the array's row 0 is the north.
    for (int32_t y = 0; y < grid.rows; ++y) {
      uint8_t* out = &rgb[static_cast<size_t>(grid.rows - 1 - y) * static_cast<size_t>(grid.columns) * 3];
      for (int32_t x = 0; x < grid.columns; ++x) {
        const noise::utils::PixelColor& pixel = image.RowData(y)[x];
        out[3 * x] = pixel.red;
        out[3 * x + 1] = pixel.green;
        out[3 * x + 2] = pixel.blue;
      }
    }
  } catch (const noise::utils::ErrorMessage& error) {
    throw py::value_error(error.Message());
  }
  return ArrayOwning(std::move(rgb), {grid.rows, grid.columns, 3});
}

}  // namespace

void BindRelief(py::module_& module) {
  module.def("render_relief", &RenderRelief, py::arg("heights"),
             "A lit, coloured relief of (rows, columns) float32 or float64 heights (row 0 at the south), "
             "as terrainview draws it: (rows, columns, 3) uint8 RGB, north at row 0. Options: spacing (the "
             "distance between samples; by default one that keeps rough ground readable), azimuth, "
             "elevation, brightness and contrast of the light.");
}

}  // namespace pybinding
