#include "platform/shared_library.h"

#if defined(_WIN32)  // the system loader
#include <windows.h>
#else  // the dynamic linker
#include <dlfcn.h>
#endif

namespace platform {

#if defined(_WIN32)  // module handles and procedure addresses

namespace {

// The text of a system error code, without the trailing line break.
std::string SystemErrorText(DWORD code) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string message = length > 0 && text != nullptr ? std::string(text, length) : std::string();
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
    message.pop_back();
  }
  return "error " + std::to_string(code) + (message.empty() ? std::string() : ": " + message);
}

}  // namespace

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
    error_ = native + ": " + SystemErrorText(code);
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
