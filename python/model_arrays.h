// A model as the Python module hands it out and takes it in.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

namespace pybinding {

// The Python `Model`: a model's header, frames, triangles, texture
// coordinates, skins and materials as NumPy arrays and lists. Every field is
// a Python object, so a script may build one of its own for write_mdl7.
struct ModelArrays {
  std::string format;
  pybind11::dict header;
  pybind11::list frames;
  pybind11::list frameNames;
  pybind11::list normals;
  pybind11::object triangles = pybind11::none();
  pybind11::object texCoords = pybind11::none();
  pybind11::object triangleMaterials = pybind11::none();
  pybind11::list skins;
  pybind11::list skinNames;
  pybind11::list materials;
};

}  // namespace pybinding
