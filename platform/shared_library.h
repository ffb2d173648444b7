// Loads a shared library at run time and finds its exported functions.
#pragma once

#include <string>

namespace platform {

// One loaded shared library: LoadLibraryA / GetProcAddress / FreeLibrary on
// Windows, dlopen / dlsym / dlclose elsewhere. The library stays loaded until
// Close or destruction; addresses taken from it are valid until then. Cannot
// be copied.
class SharedLibrary {
 public:
  SharedLibrary() = default;
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // Loads the library at `path`, resolving all its symbols now; a library
  // already open is closed first. False when it cannot be loaded; Error()
  // then says why.
  bool Open(const std::string& path);
  // Unloads the library; nothing when none is open.
  void Close();
  bool IsOpen() const { return handle_ != nullptr; }

  // The address of the exported symbol `name`, or null when the library does
  // not export it (or none is open).
  void* Symbol(const char* name) const;

  // The system's description of the last failed Open; empty after a success.
  const std::string& Error() const { return error_; }

 private:
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace platform
