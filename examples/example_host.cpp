// A small host for duneforge: it opens a window, writes the command file
// with that window's handle into a folder, runs duneforge there, waits for
// the completion message and summarises noise_arr.txt.
//
// Usage: example_host <command file> <folder> <duneforge program>
// The command file's first number (the host window) is replaced by the
// window's handle. Exits with duneforge's status, or 1 when duneforge ended
// normally but no completion message arrived.
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "platform/host_window.h"

namespace {

constexpr uint32_t kGenerationDone = 368475;

int Fail(const std::string& what) {
  std::fprintf(stderr, "example_host: %s\n", what.c_str());
  return 1;
}

// Counts the comma-terminated values of noise_arr.txt and prints their range.
void Summarise(const std::string& folder) {
  const std::string path = folder + "/noise_arr.txt";
  std::ifstream in(path, std::ios::binary);
  std::string token;
  long long count = 0;
  double low = std::numeric_limits<double>::infinity(), high = -low;
  while (std::getline(in, token, ',')) {
    const double value = std::strtod(token.c_str(), nullptr);
    low = value < low ? value : low;
    high = value > high ? value : high;
    ++count;
  }
  std::printf("height array: %s\n  %lld values", path.c_str(), count);
  if (count > 0) std::printf(" from %g to %g", low, high);
  std::printf("\n");
  const std::string preview = folder + "/tutorial.bmp";
  if (::access(preview.c_str(), F_OK) == 0) std::printf("preview:      %s\n", preview.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return Fail("usage: example_host <command file> <folder> <duneforge program>");
  const std::string folder = argv[2];

  platform::HostWindow window;
  if (!window.Open()) return Fail("cannot open a window");

  std::ifstream source(argv[1]);
  std::string firstNumber;
  if (!(source >> firstNumber)) return Fail(std::string("cannot read ") + argv[1]);
  std::ostringstream commands;
  commands << window.Handle() << source.rdbuf();
  std::ofstream(folder + "/cmd_noise.txt") << commands.str();

  // The program is started from inside the folder.
  char* program = ::realpath(argv[3], nullptr);
  if (program == nullptr) return Fail(std::string("cannot find ") + argv[3]);
  const pid_t child = ::fork();
  if (child < 0) return Fail("cannot start duneforge");
  if (child == 0) {
    if (::chdir(folder.c_str()) == 0) ::execl(program, "duneforge", static_cast<char*>(nullptr));
    _exit(127);
  }

  // duneforge's message is handled while it waits in its send, so it
  // arrives before duneforge can exit.
  bool done = false;
  int status = 0;
  for (;;) {
    window.ReceiveOne(
        [&](uint32_t message, uintptr_t wParam, intptr_t) -> intptr_t {
          if (message == platform::kWmCommand && wParam == kGenerationDone) {
            done = true;
            std::printf("message %u received: the height array is complete\n", kGenerationDone);
          }
          return 0;
        },
        100);
    if (::waitpid(child, &status, WNOHANG) == child) break;
  }
  std::free(program);
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
  std::printf("duneforge exited with status %d\n", code);
  if (code != 0) return code;
  if (!done) return Fail("duneforge sent no completion message");
  Summarise(folder);
  return 0;
}
