// Setting the program's own environment variables.
#pragma once

#include <string>

namespace platform {

// Sets the environment variable `name` of this process to `value`, as
// getenv then reads it; an empty value removes the variable. False when the
// system refuses (a name with '=' in it, no memory).
bool SetEnvironmentValue(const std::string& name, const std::string& value);

}  // namespace platform
