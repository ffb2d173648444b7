// Starts a program as a child process and follows it until it ends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// One child process: started in a folder of the caller's choosing, asked
// without blocking whether it has ended, and stopped when it must not run
// on. On Windows CreateProcessA starts it with the folder as its current
// directory; elsewhere fork and exec, with the child entering the folder
// before the exec. The child shares the caller's standard input, output and
// error. The object owns the child: destroying it stops a child that still
// runs and collects one that ended, so no child is left running or
// unreaped. Cannot be copied.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts `program` with `arguments` (without the program's own name) in
  // `folder`; a child started earlier is stopped first. A relative
  // `program` is taken from the caller's current folder, not from `folder`.
  // The program's name in its own argument list is `program` as given.
  // False with a one-line reason in `error` when no child runs the program:
  // a program that does not exist or cannot be executed, or a folder that
  // cannot be entered. Such a failure is never reported as a child that
  // started and ended (no exit status 127).
  bool Start(const std::string& program, const std::vector<std::string>& arguments, const std::string& folder,
             std::string& error);

  // True while a started child has not been seen to end.
  bool IsRunning() const;

  // Does not block. True once the child has ended; `status` then receives
  // its exit status, the same on every later call. On POSIX systems that
  // is the status the child passed to exit, and 1 for a child ended by a
  // signal; on Windows the process's exit code. False while it runs, or
  // when none was started.
  bool HasEnded(int& status);

  // Ends a child that still runs and waits for it: TerminateProcess on
  // Windows; elsewhere SIGTERM, and SIGKILL when it has not ended two
  // seconds later. A child that this ends has status 1 (one that catches
  // SIGTERM and exits keeps its own). Nothing when no child runs.
  void Stop();

 private:
  // POSIX: the process id; Windows: the process handle. 0 when none.
  std::intptr_t process_ = 0;
  bool running_ = false;
  bool ended_ = false;
  int status_ = 0;
};

}  // namespace platform
