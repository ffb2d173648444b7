#include "fuzz/fuzz_input.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>

namespace fuzzing {

namespace {

// A tag that tells this process's scratch files from those of fuzzers run
// beside it: the start time and a random word.
std::string ProcessTag() {
  std::random_device device;
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  return std::to_string(static_cast<unsigned long long>(now)) + "-" + std::to_string(device());
}

// Removes the scratch files when the process ends normally.
struct ScratchFiles {
  std::map<std::string, std::string> paths;
  ~ScratchFiles() {
    for (const auto& entry : paths) std::remove(entry.second.c_str());
  }
};

}  // namespace

const std::string& ScratchPath(const char* suffix) {
  static ScratchFiles files;
  static const std::string tag = ProcessTag();
  std::string& path = files.paths[suffix];
  if (path.empty()) {
    // A memory-backed folder where the system has one: every input is
    // written and read back, and a disk makes that the slowest part.
    std::error_code error;
    std::filesystem::path folder = "/dev/shm";
    if (!std::filesystem::is_directory(folder, error)) folder = std::filesystem::temp_directory_path(error);
    if (error) folder = ".";
    path = (folder / ("toolkit-fuzz-" + tag + "-" + suffix)).string();
  }
  return path;
}

}  // namespace fuzzing
