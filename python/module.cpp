// The compiled part of the Python module terrain_toolkit: the toolkit's model
// readers and writer, terrain room and generator on NumPy arrays. The module
// terrain_toolkit (terrain_toolkit.py) gives its functions their keywords.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <string>

#include "python/array_helpers.h"
#include "python/bindings.h"
#include "python/toolkit_error.h"

namespace py = pybind11;

namespace pybinding {

std::string DtypeName(const py::handle& object) {
  return py::str(py::reinterpret_borrow<py::array>(object).dtype()).cast<std::string>();
}

}  // namespace pybinding

PYBIND11_MODULE(_terrain_toolkit, module) {
  module.doc() = "The compiled part of terrain_toolkit, which gives its functions their keywords.";
  module.attr("__version__") = TOOLKIT_VERSION;
  pybinding::RegisterErrors(module);
  pybinding::BindModels(module);
  pybinding::BindTerrains(module);
  pybinding::BindRelief(module);
  pybinding::BindGenerator(module);
}
