// NumPy arrays to and from the toolkit's vectors.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace pybinding {

// Hands `values` to a new array of `shape` without copying them: the array
// owns the vector from then on.
template <typename T>
pybind11::array_t<T> ArrayOwning(std::vector<T>&& values, const std::vector<pybind11::ssize_t>& shape) {
  auto* owned = new std::vector<T>(std::move(values));
  pybind11::capsule owner(owned, [](void* p) { delete static_cast<std::vector<T>*>(p); });
  return pybind11::array_t<T>(shape, owned->data(), owner);
}

// Three floats (a header's scale, origin or colour) as a tuple.
inline pybind11::tuple Triple(const float (&values)[3]) {
  return pybind11::make_tuple(values[0], values[1], values[2]);
}

// The dtype's name, for messages: "float32", "int64", ...
std::string DtypeName(const pybind11::handle& object);

// `object` as a C-contiguous array of T whose shape has `dimensions`
// dimensions and, where `sides` gives a size above -1, that size. Raises
// ValueError naming `what` for anything that is not a NumPy array of
// exactly T's dtype, or of another shape: values are never converted
// silently.
template <typename T>
pybind11::array_t<T, pybind11::array::c_style> RequireArray(const pybind11::handle& object, const char* what,
                                                            const std::vector<pybind11::ssize_t>& sides);

// A human name of T's dtype.
template <typename T>
std::string DtypeOf() {
  return pybind11::str(pybind11::dtype::of<T>()).cast<std::string>();
}

template <typename T>
pybind11::array_t<T, pybind11::array::c_style> RequireArray(const pybind11::handle& object, const char* what,
                                                            const std::vector<pybind11::ssize_t>& sides) {
  namespace py = pybind11;
  if (!py::isinstance<py::array>(object)) {
    throw py::value_error(std::string(what) + " must be a NumPy array of " + DtypeOf<T>() + ", not " +
                          py::str(py::type::of(object).attr("__name__")).cast<std::string>());
  }
  if (!py::isinstance<py::array_t<T>>(object)) {
    throw py::value_error(std::string(what) + " must be a NumPy array of " + DtypeOf<T>() + ", not " +
                          DtypeName(object));
  }
  const py::array array = py::reinterpret_borrow<py::array>(object);
  bool shapeFits = array.ndim() == static_cast<py::ssize_t>(sides.size());
  for (size_t i = 0; shapeFits && i < sides.size(); ++i) {
    shapeFits = sides[i] < 0 || array.shape(static_cast<py::ssize_t>(i)) == sides[i];
  }
  if (!shapeFits) {
    std::string wanted = "(";
    for (size_t i = 0; i < sides.size(); ++i) {
      wanted += (i > 0 ? ", " : "") + (sides[i] < 0 ? std::string("n") : std::to_string(sides[i]));
    }
    wanted += sides.size() == 1 ? ",)" : ")";
    throw py::value_error(std::string(what) + " must have the shape " + wanted + ", not " +
                          py::str(array.attr("shape")).cast<std::string>());
  }
  return py::array_t<T, py::array::c_style>::ensure(array);
}

}  // namespace pybinding
