// Runs duneforge's whole run in this one process on every folder of a sweep,
// once for each evaluator level this processor runs, and compares what it
// wrote with the files another build of duneforge made there. Starting a
// program costs most of a minute where Windows programs run emulated, so
// many chains share one process here.
//
// Usage: chain_sweep FOLDER
// Every subfolder of FOLDER that holds cmd_noise.txt and expected.status
// (the other build's exit status) is run: its noise_arr.txt, tutorial.bmp
// and the one line a failure prints must equal expected.noise_arr.txt,
// expected.tutorial.bmp and expected.stderr (a file missing there must be
// missing here too). Prints one line per level and, at the end,
// "sweep: N chains identical on LEVELS"; exits 1 at the first difference,
// naming the folder, the level and the file.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "generator/duneforge_run.h"
#include "noisemap/error.h"
#include "noisemap/evaluator_choice.h"
#include "platform/environment_variable.h"

namespace {

namespace fs = std::filesystem;

// The whole file, and whether it exists.
bool ReadFile(const fs::path& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

// Trailing line ends of the other build's captured output.
std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// duneforge's run as its program runs it: the exit status, and the line a
// failure prints.
int RunAsTheProgram(std::string& line) {
  line.clear();
  try {
    return duneforge::RunDuneforge();
  } catch (const noise::Exception&) {
    line = "duneforge: " + duneforge::DescribeCurrentException();
    return 1;
  }
}

// Compares one output with the other build's; empty when equal.
std::string Difference(const fs::path& folder, const char* name) {
  std::string made, expected;
  const bool hasMade = ReadFile(folder / name, made);
  const bool hasExpected = ReadFile(folder / (std::string("expected.") + name), expected);
  if (hasMade != hasExpected) return std::string(name) + (hasMade ? " was written" : " is missing");
  if (made == expected) return std::string();
  const auto at = std::mismatch(made.begin(), made.end(), expected.begin(), expected.end());
  return std::string(name) + " differs from byte " + std::to_string(at.first - made.begin()) + " (" +
         std::to_string(made.size()) + " bytes here, " + std::to_string(expected.size()) + " there)";
}

// Runs one folder at the level the environment names; empty when everything
// is as the other build made it.
std::string RunFolder(const fs::path& folder) {
  std::error_code ignored;
  fs::remove(folder / "noise_arr.txt", ignored);
  fs::remove(folder / "tutorial.bmp", ignored);
  const fs::path home = fs::current_path();
  fs::current_path(folder);
  std::string line;
  const int status = RunAsTheProgram(line);
  fs::current_path(home);

  std::string expectedStatus, expectedLine;
  ReadFile(folder / "expected.status", expectedStatus);
  ReadFile(folder / "expected.stderr", expectedLine);
  if (std::to_string(status) != Trimmed(expectedStatus)) {
    return "status " + std::to_string(status) + " instead of " + Trimmed(expectedStatus) + " (" + line + ")";
  }
  if (line != Trimmed(expectedLine))
    return "the line \"" + line + "\" instead of \"" + Trimmed(expectedLine) + "\"";
  for (const char* name : {"noise_arr.txt", "tutorial.bmp"}) {
    const std::string difference = Difference(folder, name);
    if (!difference.empty()) return difference;
  }
  return std::string();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: chain_sweep FOLDER\n");
    return 2;
  }
  std::vector<fs::path> folders;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(argv[1], error)) {
    if (fs::exists(entry.path() / "cmd_noise.txt") && fs::exists(entry.path() / "expected.status")) {
      folders.push_back(entry.path());
    }
  }
  if (error || folders.empty()) {
    std::fprintf(stderr, "chain_sweep: no sweep folders in %s\n", argv[1]);
    return 1;
  }
  std::sort(folders.begin(), folders.end());

  std::string levels;
  for (noise::utils::EvaluatorChoice choice : noise::utils::AvailableEvaluators()) {
    const std::string level = noise::utils::EvaluatorName(choice);
    if (!platform::SetEnvironmentValue(duneforge::kEvaluatorVariable, level)) {
      std::fprintf(stderr, "chain_sweep: cannot set %s\n", duneforge::kEvaluatorVariable);
      return 1;
    }
    for (const fs::path& folder : folders) {
      const std::string difference = RunFolder(folder);
      if (!difference.empty()) {
        std::fprintf(stderr, "chain_sweep: %s on %s: %s\n", folder.string().c_str(), level.c_str(),
                     difference.c_str());
        return 1;
      }
    }
    std::printf("%s: %zu chains identical\n", level.c_str(), folders.size());
    levels += (levels.empty() ? "" : " ") + level;
  }
  std::printf("sweep: %zu chains identical on %s\n", folders.size(), levels.c_str());
  return 0;
}
