// The parts of the Python module terrain_toolkit, each adding its classes
// and functions to the module.
#pragma once

#include <pybind11/pybind11.h>

namespace pybinding {

// Model, open_model (model_binding.cpp).
void BindModels(pybind11::module_& module);
// write_mdl7 (model_writer.cpp).
void BindModelWriter(pybind11::module_& module);
// Terrain, load_terrain, save_terrain (terrain_binding.cpp).
void BindTerrains(pybind11::module_& module);
// render_relief (relief_binding.cpp).
void BindRelief(pybind11::module_& module);
// generate (generator_binding.cpp).
void BindGenerator(pybind11::module_& module);

}  // namespace pybinding
