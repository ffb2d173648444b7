// duneforge: turns the command file of the working directory into heights.
#include <libnoise/noise.h>

#include <cstdio>

#include "generator/duneforge_run.h"

int main() {
  try {
    return duneforge::RunDuneforge();
  } catch (const noise::Exception&) {
    std::fprintf(stderr, "duneforge: %s\n", duneforge::DescribeCurrentException().c_str());
    return 1;
  }
}
