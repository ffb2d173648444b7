#include "platform/shared_library.h"

#if defined(_WIN32)  // the system loader
#include <windows.h>

#include "platform/windows_error_text.h"
#else  // the dynamic linker
#include <dlfcn.h>
#endif

namespace platform {

#if defined(_WIN32)  // module handles and procedure addresses

namespace {}  // namespace

bool SharedLibrary::Open(const std::string& path) {
  Close();
  // The loader wants backslashes in a path.
  std::string native = path;
  for (char& c : native) {
    if (c == '/') c = '\\';
  }
  // No error dialog when the library or one it needs is missing.
  const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryA(native.c_str());
  const DWORD code = module == nullptr ? GetLastError() : 0;
  SetErrorMode(previousMode);
  if (module == nullptr) {
    error_ = native + ": " + WindowsErrorText(code);
    return false;
  }
  handle_ = reinterpret_cast<void*>(module);
  error_.clear();
  return true;
}

void SharedLibrary::Close() {
  if (handle_ != nullptr) FreeLibrary(reinterpret_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

void* SharedLibrary::Symbol(const char* name) const {
  if (handle_ == nullptr || name == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), name));
}

#else  // dlopen handles, symbols local to the library

bool SharedLibrary::Open(const std::string& path) {
  Close();
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* reason = dlerror();
    error_ = reason != nullptr ? reason : path + ": cannot be loaded";
    return false;
  }
  error_.clear();
  return true;
}

void SharedLibrary::Close() {
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
}

void* SharedLibrary::Symbol(const char* name) const {
  if (handle_ == nullptr || name == nullptr) return nullptr;
  return dlsym(handle_, name);
}

#endif

SharedLibrary::~SharedLibrary() { Close(); }

}  // namespace platform
