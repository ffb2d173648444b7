// duneforge: turns the command file of the working directory into heights.
#include <cstdio>
#include <cstring>
#include <new>

#include "generator/duneforge_run.h"
#include "noisemap/error.h"

int main(int argc, char** argv) {
  // The host starts it bare; any argument but --help runs nothing.
  if (argc > 1) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
      return std::fputs(duneforge::UsageText(), stdout) >= 0 && std::fflush(stdout) == 0 ? 0 : 1;
    }
    std::fprintf(stderr, "duneforge: unexpected argument \"%s\"; duneforge takes no arguments (see --help)\n",
                 argv[1]);
    return 2;
  }
  try {
    return duneforge::RunDuneforge();
  } catch (const noise::Exception&) {
    std::fprintf(stderr, "duneforge: %s\n", duneforge::DescribeCurrentException().c_str());
    return 1;
  } catch (const std::bad_alloc&) {
    // Storage that the run does not turn into its own error (a 32-bit
    // process runs out of addresses first) still ends with one line.
    std::fputs("duneforge: out of memory\n", stderr);
    return 1;
  }
}
