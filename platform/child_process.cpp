#include "platform/child_process.h"

#include <filesystem>
#include <system_error>

#if defined(_WIN32)  // CreateProcessA and a process handle
#include <windows.h>

#include "platform/windows_error_text.h"
#else  // fork, exec in the folder, and waitpid
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#endif

namespace platform {

namespace {

// The program's full path, so that the child finds it whatever folder it
// runs in; empty with the reason in `error` when the path has none.
std::string AbsoluteProgram(const std::string& program, std::string& error) {
  std::error_code code;
  std::filesystem::path path = std::filesystem::absolute(program, code);
  if (code || program.empty()) {
    error = program + ": " + (program.empty() ? std::string("no program named") : code.message());
    return std::string();
  }
  return path.make_preferred().string();
}

}  // namespace

#if defined(_WIN32)  // the child is a process handle

namespace {

// Appends `argument` to a command line so that the C runtime's parser gives
// it back unchanged: quoted when it is empty or holds blanks or quotes, a
// quote escaped with a backslash, and backslashes doubled where they stand
// before a quote (the closing one included).
void AppendArgument(std::string& line, const std::string& argument) {
  line += ' ';
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
    line += argument;
    return;
  }
  line += '"';
  size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    line += c;
  }
  line.append(2 * backslashes, '\\');
  line += '"';
}

HANDLE ProcessOf(std::intptr_t process) { return reinterpret_cast<HANDLE>(process); }

// A standard handle the child can inherit; null when the caller has none.
HANDLE InheritableStandardHandle(DWORD which) {
  HANDLE handle = GetStdHandle(which);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  if (handle != nullptr) SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  return handle;
}

// Starts `program`, found at `path`, with `arguments` in `folder`; the
// child's process handle goes to `process`. False with the reason in
// `error` when no child runs the program.
bool Launch(const std::string& program, const std::string& path, const std::vector<std::string>& arguments,
            const std::string& folder, std::intptr_t& process, std::string& error) {
  // The program's name is the command line's first word, which the runtime
  // takes up to the next quote without escapes: a quote cannot be in it
  // (nor in any Windows file name).
  if (program.find('"') != std::string::npos) {
    error = program + ": a program name cannot hold a double quote";
    return false;
  }
  std::string line = "\"" + program + "\"";
  for (const std::string& argument : arguments) AppendArgument(line, argument);
  std::filesystem::path directory(folder);
  const std::string nativeFolder = directory.make_preferred().string();
  std::error_code code;
  if (!folder.empty() && !std::filesystem::is_directory(directory, code)) {
    error = "cannot enter the folder " + folder + ": " + (code ? code.message() : "no such folder");
    return false;
  }

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = InheritableStandardHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = InheritableStandardHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = InheritableStandardHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION started{};
  // The command line must be writable: CreateProcessA may change it.
  if (!CreateProcessA(path.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr,
                      folder.empty() ? nullptr : nativeFolder.c_str(), &startup, &started)) {
    const DWORD failure = GetLastError();
    error = (failure == ERROR_DIRECTORY ? "cannot enter the folder " + folder : program) + ": " +
            WindowsErrorText(failure);
    return false;
  }
  CloseHandle(started.hThread);
  process = reinterpret_cast<std::intptr_t>(started.hProcess);
  return true;
}

}  // namespace

bool ChildProcess::HasEnded(int& status) {
  if (running_ && WaitForSingleObject(ProcessOf(process_), 0) == WAIT_OBJECT_0) {
    DWORD code = 1;
    if (!GetExitCodeProcess(ProcessOf(process_), &code)) code = 1;
    CloseHandle(ProcessOf(process_));
    process_ = 0;
    running_ = false;
    ended_ = true;
    status_ = static_cast<int>(code);
  }
  if (ended_) status = status_;
  return ended_;
}

void ChildProcess::Stop() {
  if (!running_) return;
  TerminateProcess(ProcessOf(process_), 1);
  WaitForSingleObject(ProcessOf(process_), INFINITE);
  int status = 0;
  HasEnded(status);
}

#else  // the child is a process id, collected with waitpid

namespace {

// How long a child may take to end after SIGTERM before SIGKILL ends it.
constexpr auto kTermGrace = std::chrono::seconds(2);

// What a child that could not run the program reports through the pipe
// before it exits: the step that failed and its errno value.
struct StartFailure {
  int enteringFolder;
  int error;
};

// Collects the ended (or ending) child `child`, waiting for it.
void Reap(pid_t child) {
  int waitStatus = 0;
  while (::waitpid(child, &waitStatus, 0) < 0 && errno == EINTR) {
  }
}

// The child's side of the fork: enters `directory` (unless null) and runs
// the program at `path`; when either fails, reports the step and its errno
// through `report` and exits. Only system calls here: the child of a
// threaded caller may make no others before the exec.
[[noreturn]] void RunInChild(int report, const char* directory, const char* path, char* const* argv) {
  StartFailure failure{0, 0};
  if (directory != nullptr && ::chdir(directory) != 0) {
    failure = StartFailure{1, errno};
  } else {
    ::execv(path, argv);
    failure = StartFailure{0, errno};
  }
  // The pipe takes these few bytes at once; should the write fail all the
  // same, the caller sees a child that started and exited with 127.
  const ssize_t written = ::write(report, &failure, sizeof failure);
  _exit(written == static_cast<ssize_t>(sizeof failure) ? 127 : 126);
}

// Reads what the child reports through `report` until the exec closes it;
// the count of bytes read, 0 when the program runs.
size_t ReadStartFailure(int report, StartFailure& failure) {
  size_t got = 0;
  while (got < sizeof failure) {
    const ssize_t part = ::read(report, reinterpret_cast<char*>(&failure) + got, sizeof failure - got);
    if (part < 0 && errno == EINTR) continue;
    if (part <= 0) break;
    got += static_cast<size_t>(part);
  }
  return got;
}

// Starts `program`, found at `path`, with `arguments` in `folder`; the
// child's process id goes to `process`. False with the reason in `error`
// when no child runs the program.
bool Launch(const std::string& program, const std::string& path, const std::vector<std::string>& arguments,
            const std::string& folder, std::intptr_t& process, std::string& error) {
  // Everything the child uses is made before the fork: between fork and
  // exec a child of a threaded caller may only make system calls.
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const char* const directory = folder.empty() ? nullptr : folder.c_str();

  // A pipe that the exec closes: the child writes to it only when it could
  // not run the program, so the caller tells a failed start from a program
  // that ran and exited.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    error = program + ": " + std::strerror(errno);
    return false;
  }
  const pid_t child = ::fork();
  if (child < 0) {
    const int code = errno;
    ::close(report[0]);
    ::close(report[1]);
    error = program + ": " + std::strerror(code);
    return false;
  }
  if (child == 0) RunInChild(report[1], directory, path.c_str(), argv.data());
  ::close(report[1]);
  StartFailure failure{0, 0};
  const size_t got = ReadStartFailure(report[0], failure);
  ::close(report[0]);
  if (got == 0) {
    process = child;
    return true;
  }
  Reap(child);
  error = (failure.enteringFolder ? "cannot enter the folder " + folder : program) + ": " +
          std::strerror(failure.error);
  return false;
}

}  // namespace

bool ChildProcess::HasEnded(int& status) {
  if (running_) {
    int waitStatus = 0;
    pid_t result;
    do {
      result = ::waitpid(static_cast<pid_t>(process_), &waitStatus, WNOHANG);
    } while (result < 0 && errno == EINTR);
    // A child that someone else collected (SIGCHLD ignored) has ended with
    // a status no one can know.
    if (result == static_cast<pid_t>(process_) || result < 0) {
      running_ = false;
      ended_ = true;
      status_ = result > 0 && WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 1;
      process_ = 0;
    }
  }
  if (ended_) status = status_;
  return ended_;
}

void ChildProcess::Stop() {
  int status = 0;
  if (!running_ || HasEnded(status)) return;
  ::kill(static_cast<pid_t>(process_), SIGTERM);
  // Worst case the child ignores SIGTERM; it must not hold the caller.
  const auto deadline = std::chrono::steady_clock::now() + kTermGrace;
  while (!HasEnded(status)) {
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(static_cast<pid_t>(process_), SIGKILL);
      Reap(static_cast<pid_t>(process_));
      running_ = false;
      ended_ = true;
      status_ = 1;
      process_ = 0;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

#endif

bool ChildProcess::IsRunning() const { return running_; }

ChildProcess::~ChildProcess() { Stop(); }

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& folder, std::string& error) {
  Stop();
  process_ = 0;
  running_ = ended_ = false;
  status_ = 0;
  const std::string path = AbsoluteProgram(program, error);
  if (path.empty() || !Launch(program, path, arguments, folder, process_, error)) return false;
  running_ = true;
  return true;
}

}  // namespace platform
