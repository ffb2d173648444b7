#include "platform/environment_variable.h"

#include <cstdlib>

namespace platform {

bool SetEnvironmentValue(const std::string& name, const std::string& value) {
  if (name.empty() || name.find('=') != std::string::npos) return false;
#if defined(_WIN32)  // the runtime's copy of the environment, which getenv reads
  return ::_putenv_s(name.c_str(), value.c_str()) == 0;
#else  // POSIX
  if (value.empty()) return ::unsetenv(name.c_str()) == 0;
  return ::setenv(name.c_str(), value.c_str(), 1) == 0;
#endif
}

}  // namespace platform
