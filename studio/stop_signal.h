// Ending a server cleanly on Ctrl-C or a termination request.
#pragma once

#include <functional>

namespace studio {

// Turns the first SIGINT, SIGTERM or SIGHUP into a call of `stop`, made on a thread
// of its own, so that the program can end its work in order (exports
// abandon their unfinished files) instead of ending at once. A second
// signal ends the program as usual. Install before any other thread starts,
// since threads take the signal mask of the thread that starts them; once.
// False when the signals cannot be taken.
class StopSignal {
 public:
  static bool Install(std::function<void()> stop);
};

}  // namespace studio
