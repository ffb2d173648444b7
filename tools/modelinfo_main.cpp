// modelinfo: describes model and terrain files.
//
// Usage: modelinfo [--json] FILE...
// Prints, for each file, its format, header fields and counts, a line per
// group, skin and frame, and whether the structural walk reaches the end of
// its records. With --json the same goes to standard output as one JSON
// array with an object per file. A file that cannot be read, has an
// unsupported format or is truncated gets one line on standard error (and,
// with --json, an object with an "error" member); the status is then 1.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/model_summary.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: modelinfo [--json] FILE...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool json = false;
  std::vector<std::string> files;
  bool optionsEnd = false;
  for (int i = 1; i < argc; ++i) {
    if (!optionsEnd && std::strcmp(argv[i], "--json") == 0) {
      json = true;
    } else if (!optionsEnd && std::strcmp(argv[i], "--") == 0) {
      optionsEnd = true;
    } else if (!optionsEnd && (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)) {
      std::printf("usage: modelinfo [--json] FILE...\n");
      return 0;
    } else if (!optionsEnd && argv[i][0] == '-' && argv[i][1] != '\0') {
      std::fprintf(stderr, "modelinfo: unknown option %s\n", argv[i]);
      return Usage();
    } else {
      files.emplace_back(argv[i]);
    }
  }
  if (files.empty()) return Usage();

  int status = 0;
  if (json) std::fputs("[", stdout);
  for (size_t i = 0; i < files.size(); ++i) {
    const tools::ModelSummary summary = tools::SummarizeModelFile(files[i]);
    if (!summary.error.empty()) {
      status = 1;
      std::fputs(tools::SummaryText(summary).c_str(), stderr);
    }
    if (json) {
      std::fputs(i > 0 ? ",\n " : "", stdout);
      std::fputs(tools::SummaryJson(summary).c_str(), stdout);
    } else if (summary.error.empty()) {
      std::fputs(tools::SummaryText(summary).c_str(), stdout);
    }
  }
  if (json) std::fputs("]\n", stdout);
  if (std::fflush(stdout) != 0) {
    std::fprintf(stderr, "modelinfo: cannot write the output\n");
    return 1;
  }
  return status;
}
