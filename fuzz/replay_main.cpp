// Runs a fuzz target's LLVMFuzzerTestOneInput once per file of the folders
// and files named on the command line, in sorted order, so that the seed
// corpus and the regression inputs are replayed by any compiler as a plain
// test. A crash or sanitizer report ends the process with a failure; the
// driver itself fails when it cannot read an input or finds none at all. A
// named folder that does not exist fails the run where CI=true and otherwise
// only makes it end with kSkipped once the other inputs have been replayed,
// so that a developer's machine without the shared corpus skips the test.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

constexpr int kSkipped = 77;

bool InCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string(ci) == "true";
}

// Names starting with a dot (such as a folder's keep file) are not inputs.
bool IsInput(const fs::path& path) {
  const std::string name = path.filename().string();
  return !name.empty() && name[0] != '.';
}

bool ReadWhole(const fs::path& path, std::vector<uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> inputs;
  bool missing = false;
  for (int i = 1; i < argc; ++i) {
    const fs::path argument(argv[i]);
    std::error_code error;
    if (fs::is_directory(argument, error)) {
      for (fs::recursive_directory_iterator it(argument, error), end; !error && it != end;
           it.increment(error)) {
        if (it->is_regular_file(error) && IsInput(it->path())) inputs.push_back(it->path());
      }
      if (error) {
        std::fprintf(stderr, "cannot list %s: %s\n", argv[i], error.message().c_str());
        return 2;
      }
    } else if (fs::is_regular_file(argument, error)) {
      inputs.push_back(argument);
    } else if (!InCi()) {
      std::fprintf(stderr, "no such input, skipped: %s\n", argv[i]);
      missing = true;
    } else {
      std::fprintf(stderr, "no such input: %s\n", argv[i]);
      return 2;
    }
  }
  if (inputs.empty()) {
    std::fprintf(stderr, "no inputs to replay\n");
    return missing ? kSkipped : 2;
  }
  std::sort(inputs.begin(), inputs.end());
  std::vector<uint8_t> bytes;
  for (const fs::path& input : inputs) {
    if (!ReadWhole(input, bytes)) {
      std::fprintf(stderr, "cannot read %s\n", input.string().c_str());
      return 2;
    }
    std::fprintf(stderr, "replaying %s (%zu bytes)\n", input.string().c_str(), bytes.size());
    // An empty vector's data() may be null; the fuzzer always passes a pointer.
    static const uint8_t kNothing = 0;
    LLVMFuzzerTestOneInput(bytes.empty() ? &kNothing : bytes.data(), bytes.size());
  }
  std::printf("replayed %zu inputs\n", inputs.size());
  return missing ? kSkipped : 0;
}
