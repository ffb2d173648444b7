#include "studio/stop_signal.h"

#include <pthread.h>
#include <signal.h>

#include <system_error>
#include <thread>
#include <utility>

namespace studio {

bool StopSignal::Install(std::function<void()> stop) {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);  // a closed terminal ends the studio as Ctrl-C does
  if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) return false;
  try {
    std::thread([signals, stop = std::move(stop)]() mutable {
      int received = 0;
      if (sigwait(&signals, &received) != 0) return;
      // Only this thread takes the signals again, before it stops anything:
      // the next one ends the program while it is still ending in order.
      pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
      stop();
      for (;;) pause();
    }).detach();
  } catch (const std::system_error&) {
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    return false;
  }
  return true;
}

}  // namespace studio
