// Runs a built program the way a user would and collects what it printed.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct ProgramResult {
  int status = -1;  // exit status; -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Runs `program` with `args` in `folder` (the current folder when empty),
// waits for it and returns its exit status and output. `scratch` is a folder
// for the captured output.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& scratch, const std::string& folder = "");

// The comma-terminated values of a height array file, parsed here on their
// own: any malformed value fails the calling test.
std::vector<float> ParseHeightArray(const std::string& path);

}  // namespace testsupport
