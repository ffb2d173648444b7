// The failures the Python module reports, and how they become Python
// exceptions.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/failure_reason.h"

namespace pybinding {

// A failure of a reader, writer or the file system, thrown inside the
// module and turned into its Python exception at the module's edge:
// kModel into ModelError, kTerrain into TerrainError (both ValueErrors, with
// the reason's text as `reason` and the byte offset it names as `offset`,
// None where it names none), kValue into ValueError and kSystem into OSError
// with the system's error number, text and the file's name. Texts may quote
// file names as the file system gives them: their bytes that are not UTF-8
// become surrogate escapes, as os.fsdecode gives them.
class ToolkitError : public std::runtime_error {
 public:
  enum class Kind { kModel, kTerrain, kValue, kSystem };

  ToolkitError(Kind kind, const std::string& text, int64_t offset = -1, int systemError = 0,
               const std::string& path = std::string())
      : std::runtime_error(text), kind_(kind), offset_(offset), systemError_(systemError), path_(path) {}

  // A reader's or writer's reason: kSystem for a file that cannot be opened,
  // read or written (the error number given, as the reason keeps only its
  // text), else `kind` with the reason's offset where its kind names one.
  static ToolkitError FromReason(Kind kind, const platform::FailureReason& reason, int systemError,
                                 const std::string& path);

  Kind GetKind() const { return kind_; }
  int64_t Offset() const { return offset_; }
  int SystemError() const { return systemError_; }
  const std::string& Path() const { return path_; }

 private:
  Kind kind_;
  int64_t offset_;
  int systemError_;
  std::string path_;
};

// `text` as a Python str, bytes that are not UTF-8 as surrogate escapes.
pybind11::str FileSystemText(const std::string& text);

// A path given as bytes (as os.fsencode gives it) or as anything os.fsencode
// takes, as the bytes the file system is handed.
std::string FilePath(const pybind11::handle& path);

// Creates ModelError and TerrainError in `module` and translates every
// ToolkitError and libnoise exception thrown through a binding.
void RegisterErrors(pybind11::module_& module);

}  // namespace pybinding
