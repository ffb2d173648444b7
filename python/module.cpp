// The Python module terrain_toolkit: the toolkit's model readers and writer,
// terrain room and generator on NumPy arrays.
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

PYBIND11_MODULE(terrain_toolkit, module) {
  module.doc() =
      "The terrain toolkit from Python: model files, terrains and the noise generator as NumPy arrays.";
  pybinding::RegisterErrors(module);
  pybinding::BindModels(module);
  pybinding::BindTerrains(module);
  pybinding::BindRelief(module);
  pybinding::BindGenerator(module);
}
