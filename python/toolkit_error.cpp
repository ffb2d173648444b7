#include "python/toolkit_error.h"

#include "generator/duneforge_run.h"
#include "noisemap/error.h"

namespace py = pybind11;

namespace pybinding {

namespace {

// The Python exception types, created once when the module loads; the
// module keeps them alive.
PyObject* modelErrorType = nullptr;
PyObject* terrainErrorType = nullptr;

void RaiseWithReason(PyObject* type, const ToolkitError& error) {
  const py::str text = FileSystemText(error.what());
  py::object exception = py::reinterpret_borrow<py::object>(type)(text);
  exception.attr("reason") = text;
  exception.attr("offset") =
      error.Offset() >= 0 ? py::object(py::int_(error.Offset())) : py::object(py::none());
  PyErr_SetObject(type, exception.ptr());
}

void RaiseSystemError(const ToolkitError& error) {
  const py::str text = FileSystemText(error.what());
  py::tuple arguments = error.Path().empty()
                            ? py::make_tuple(error.SystemError(), text)
                            : py::make_tuple(error.SystemError(), text, FileSystemText(error.Path()));
  PyErr_SetObject(PyExc_OSError, arguments.ptr());
}

void Translate(std::exception_ptr thrown) {
  try {
    if (thrown) std::rethrow_exception(thrown);
  } catch (const ToolkitError& error) {
    switch (error.GetKind()) {
      case ToolkitError::Kind::kModel:
        RaiseWithReason(modelErrorType, error);
        break;
      case ToolkitError::Kind::kTerrain:
        RaiseWithReason(terrainErrorType, error);
        break;
      case ToolkitError::Kind::kValue:
        PyErr_SetObject(PyExc_ValueError, FileSystemText(error.what()).ptr());
        break;
      case ToolkitError::Kind::kSystem:
        RaiseSystemError(error);
        break;
    }
  } catch (const noise::ExceptionOutOfMemory&) {
    PyErr_SetString(PyExc_MemoryError, duneforge::DescribeCurrentException().c_str());
  } catch (const noise::ExceptionUnknown&) {
    PyErr_SetString(PyExc_OSError, duneforge::DescribeCurrentException().c_str());
  } catch (const noise::Exception&) {
    PyErr_SetString(PyExc_ValueError, duneforge::DescribeCurrentException().c_str());
  }
}

}  // namespace

py::str FileSystemText(const std::string& text) {
  PyObject* decoded = PyUnicode_DecodeFSDefaultAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
  if (decoded == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(decoded);
}

std::string FilePath(const py::handle& path) {
  if (py::isinstance<py::bytes>(path)) return path.cast<std::string>();
  return py::module_::import("os").attr("fsencode")(path).cast<std::string>();
}

ToolkitError ToolkitError::FromReason(Kind kind, const platform::FailureReason& reason, int systemError,
                                      const std::string& path) {
  using FailureKind = platform::FailureReason::Kind;
  const FailureKind failure = reason.GetKind();
  if (failure == FailureKind::kCannotOpen || failure == FailureKind::kInputOutput) {
    return ToolkitError(Kind::kSystem, reason.Text(), -1, systemError, path);
  }
  const bool hasOffset = failure == FailureKind::kTruncated || failure == FailureKind::kMalformed;
  return ToolkitError(kind, reason.Text(), hasOffset ? static_cast<int64_t>(reason.Offset()) : -1);
}

void RegisterErrors(py::module_& module) {
  modelErrorType = PyErr_NewExceptionWithDoc(
      "terrain_toolkit.ModelError",
      "A model file the readers refuse, or a model the writer cannot take. `reason` holds the "
      "reader's text, `offset` the byte offset it names (None where it names none).",
      PyExc_ValueError, nullptr);
  terrainErrorType = PyErr_NewExceptionWithDoc(
      "terrain_toolkit.TerrainError",
      "A terrain file that cannot be read or a terrain that cannot be written. `reason` holds the "
      "reason's text, `offset` the byte offset it names (None where it names none).",
      PyExc_ValueError, nullptr);
  if (modelErrorType == nullptr || terrainErrorType == nullptr) throw py::error_already_set();
  module.add_object("ModelError", py::handle(modelErrorType));
  module.add_object("TerrainError", py::handle(terrainErrorType));
  py::register_exception_translator(Translate);
}

}  // namespace pybinding
