// The running program's own process id.
#pragma once

#include <cstdint>

namespace platform {

// The id the system gives this process: getpid, or GetCurrentProcessId on
// Windows. Unique among the processes running at the same time, so it names
// things (folders, endpoints) that concurrent runs must not share.
uint32_t CurrentProcessId();

}  // namespace platform
