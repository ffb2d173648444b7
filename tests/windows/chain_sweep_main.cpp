// Runs duneforge's whole run in this one process on every folder of a sweep,
// once for each evaluator level this processor runs, and compares what it
// wrote with the files another build of duneforge made there. Starting a
// program costs most of a minute where Windows programs run emulated, so
// many chains share one process here.
//
// The files hold floats in six digits, which a fault in the last bit of a
// double seldom reaches; so the chain's output is also compared as doubles:
// the chain planned from cmd_noise.txt, evaluated in blocks at the sample
// positions of the first tile (at most 64 x 64 of them), must give the
// other build's doubles bit for bit. Chains with an Exponent row are left
// out there: the Windows build's pow is its own, correctly rounded, and
// glibc's is not always (their files are still compared).
//
// Usage: chain_sweep FOLDER         compare with the other build's files
//        chain_sweep --expect FOLDER  write expected.values for the others
// Every subfolder of FOLDER that holds cmd_noise.txt and expected.status
// (the other build's exit status) is run: its noise_arr.txt, tutorial.bmp
// and the one line a failure prints must equal expected.noise_arr.txt,
// expected.tutorial.bmp and expected.stderr (a file missing there must be
// missing here too), and its doubles expected.values, where that exists.
// Prints one line per level and, at the end, "sweep: N chains identical on
// LEVELS (D of them to the bit of their doubles)"; exits 1 at the first
// difference, naming the folder, the level and the file.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "generator/chain_plan_builder.h"
#include "generator/duneforge_run.h"
#include "noisemap/batch_evaluator.h"
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

// The output of the folder's chain as doubles, at the sample positions of
// its first tile (at most 64 x 64 of them), reached by repeated addition as
// the plane builder reaches them, evaluated in blocks at `level`. Empty when
// the command file is refused, has no tile, or has an Exponent row.
std::vector<double> ChainValues(const fs::path& folder, noise::utils::EvaluatorChoice level) {
  duneforge::CommandSettings settings;
  try {
    if (!duneforge::LoadCommandFile((folder / duneforge::kCommandFileName).string(), settings)) return {};
    if (duneforge::TileCount(settings) < 1) return {};
    for (int32_t row = 0; row < settings.moduleCount; ++row) {
      if (settings.rows[static_cast<size_t>(row)].type ==
          static_cast<int32_t>(duneforge::ModuleType::kExponent)) {
        return {};
      }
    }
    const noise::utils::ChainPlan plan = duneforge::BuildChainPlan(settings);
    const duneforge::TileBounds bounds = duneforge::ComputeTileBounds(settings, 0, 0);
    const int columns = std::min(settings.tileWidth, 64);
    const int rows = std::min(settings.tileHeight, 64);
    const double xDelta = (bounds.upperX - bounds.lowerX) / settings.tileWidth;
    const double zDelta = (bounds.upperZ - bounds.lowerZ) / settings.tileHeight;
    std::vector<double> x, y, z;
    double curZ = bounds.lowerZ;
    for (int row = 0; row < rows; ++row, curZ += zDelta) {
      double curX = bounds.lowerX;
      for (int column = 0; column < columns; ++column, curX += xDelta) {
        x.push_back(curX);
        y.push_back(0.0);
        z.push_back(curZ);
      }
    }
    std::vector<double> values(x.size());
    noise::utils::BatchEvaluator evaluator(plan, level);
    evaluator.Evaluate(x.data(), y.data(), z.data(), static_cast<int>(x.size()), values.data());
    return values;
  } catch (const noise::Exception&) {
    return {};
  }
}

// The doubles as bytes, little-endian as both builds store them.
std::string ValueBytes(const std::vector<double>& values) {
  std::string bytes(values.size() * sizeof(double), '\0');
  if (!values.empty()) std::memcpy(&bytes[0], values.data(), bytes.size());
  return bytes;
}

// Runs one folder at `level`, which the environment names as well; empty
// when everything is as the other build made it.
std::string RunFolder(const fs::path& folder, const std::string& level) {
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
  // The doubles are the batch evaluator's; libnoise's own (where it is
  // built in) are compared with them by the identity tests.
  std::string expectedValues;
  if (level != "libnoise" && ReadFile(folder / "expected.values", expectedValues)) {
    const std::string values =
        ValueBytes(ChainValues(folder, noise::utils::ParseEvaluatorChoice(level, "level")));
    if (values != expectedValues) {
      const auto at =
          std::mismatch(values.begin(), values.end(), expectedValues.begin(), expectedValues.end());
      return "the chain's doubles differ from value " + std::to_string((at.first - values.begin()) / 8) +
             " on";
    }
  }
  return std::string();
}

// Writes expected.values into every folder whose chain has doubles to
// compare; returns how many.
int WriteExpectedValues(const std::vector<fs::path>& folders) {
  int written = 0;
  for (const fs::path& folder : folders) {
    const std::vector<double> values = ChainValues(folder, noise::utils::EvaluatorChoice::kPortable);
    if (values.empty()) continue;
    std::ofstream out(folder / "expected.values", std::ios::binary);
    const std::string bytes = ValueBytes(values);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
      std::fprintf(stderr, "chain_sweep: cannot write %s\n", (folder / "expected.values").string().c_str());
      return -1;
    }
    ++written;
  }
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  const bool expect = argc == 3 && std::strcmp(argv[1], "--expect") == 0;
  if (argc != 2 && !expect) {
    std::fprintf(stderr, "usage: chain_sweep [--expect] FOLDER\n");
    return 2;
  }
  const char* sweep = argv[argc - 1];
  std::vector<fs::path> folders;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(sweep, error)) {
    if (fs::exists(entry.path() / "cmd_noise.txt") && fs::exists(entry.path() / "expected.status")) {
      folders.push_back(entry.path());
    }
  }
  if (error || folders.empty()) {
    std::fprintf(stderr, "chain_sweep: no sweep folders in %s\n", sweep);
    return 1;
  }
  std::sort(folders.begin(), folders.end());
  if (expect) {
    const int written = WriteExpectedValues(folders);
    if (written < 0) return 1;
    std::printf("chain_sweep: doubles of %d of %zu chains written\n", written, folders.size());
    return 0;
  }
  size_t withValues = 0;
  for (const fs::path& folder : folders) withValues += fs::exists(folder / "expected.values") ? 1 : 0;

  std::string levels;
  for (noise::utils::EvaluatorChoice choice : noise::utils::AvailableEvaluators()) {
    const std::string level = noise::utils::EvaluatorName(choice);
    if (!platform::SetEnvironmentValue(duneforge::kEvaluatorVariable, level)) {
      std::fprintf(stderr, "chain_sweep: cannot set %s\n", duneforge::kEvaluatorVariable);
      return 1;
    }
    for (const fs::path& folder : folders) {
      const std::string difference = RunFolder(folder, level);
      if (!difference.empty()) {
        std::fprintf(stderr, "chain_sweep: %s on %s: %s\n", folder.string().c_str(), level.c_str(),
                     difference.c_str());
        return 1;
      }
    }
    std::printf("%s: %zu chains identical\n", level.c_str(), folders.size());
    levels += (levels.empty() ? "" : " ") + level;
  }
  std::printf("sweep: %zu chains identical on %s (%zu of them to the bit of their doubles)\n", folders.size(),
              levels.c_str(), withValues);
  return 0;
}
