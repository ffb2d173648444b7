// The system's text for a Windows error code.
#pragma once

#include <string>

namespace platform {

// "error CODE: the system's text" (the text without its line break), or
// "error CODE" where the system has none. Windows only.
std::string WindowsErrorText(unsigned long code);

}  // namespace platform
