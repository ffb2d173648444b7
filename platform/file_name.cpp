#include "platform/file_name.h"

#include <cctype>

namespace platform {

std::string LowercaseExtension(const std::string& path) {
#ifdef _WIN32
  const char* const kSeparators = "/\\";
#else
  const char* const kSeparators = "/";
#endif
  const size_t dot = path.find_last_of('.');
  const size_t separator = path.find_last_of(kSeparators);
  if (dot == std::string::npos || (separator != std::string::npos && dot < separator)) return "";
  std::string extension = path.substr(dot);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

}  // namespace platform
