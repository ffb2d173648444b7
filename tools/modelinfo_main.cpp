// modelinfo: describes model and terrain files.
#include <cstdio>

#include "render/model_summary.h"
#include "tools/option_parser.h"

namespace {

constexpr const char* kAbout =
    "Describes model and terrain files (IDPO, MDL2 to MDL7, IDP2, HMP5, HMP7): for\n"
    "each file its format, header fields and counts, a line per group, skin and\n"
    "frame (with the bounds of its positions), and whether the structural walk\n"
    "reaches the end of its records. A file that cannot be read, has an unsupported\n"
    "format or is truncated gets one line on standard error.\n"
    "Exits 0 when every file was described, 1 when one was not, 2 for a usage error.\n";

}  // namespace

int main(int argc, char** argv) {
  tools::OptionParser parser("modelinfo", "FILE...", kAbout, 1, static_cast<size_t>(-1));
  bool json = false;
  parser.AddFlag("--json",
                 "print the same as one JSON array on standard output, an object per file (with an "
                 "\"error\" member for a file that cannot be described)",
                 json);
  int status = tools::kExitDone;
  if (!parser.ParseCommandLine(argc, argv, status)) return status;
  return render::PrintModelSummaries(parser.Operands(), json, stdout, stderr);
}
