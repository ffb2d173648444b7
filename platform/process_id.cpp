#include "platform/process_id.h"

#if defined(_WIN32)  // the process id of the Windows API
#include <windows.h>
#else  // getpid
#include <unistd.h>
#endif

namespace platform {

#if defined(_WIN32)  // a DWORD
uint32_t CurrentProcessId() { return static_cast<uint32_t>(GetCurrentProcessId()); }
#else  // a pid_t, positive
uint32_t CurrentProcessId() { return static_cast<uint32_t>(::getpid()); }
#endif

}  // namespace platform
