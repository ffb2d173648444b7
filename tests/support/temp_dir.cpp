#include "support/temp_dir.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <system_error>

namespace testsupport {
namespace {

// Attempts at a fresh name before giving up; a clash needs another process
// with the same 64 random bits.
constexpr int kNameAttempts = 100;

}  // namespace

TempDir::TempDir() {
  namespace fs = std::filesystem;
  std::error_code error;
  // $TMPDIR (or /tmp) here, the user's temporary folder on Windows.
  const fs::path base = fs::temp_directory_path(error);
  if (error) throw std::runtime_error("no temporary folder: " + error.message());
  std::random_device device;
  std::mt19937_64 random((static_cast<uint64_t>(device()) << 32) ^ device() ^
                         static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "toolkit-test-%016llx", static_cast<unsigned long long>(random()));
    const fs::path candidate = base / name;
    if (fs::create_directory(candidate, error)) {
      // Owner only, as mkdtemp makes it (Windows keeps its own access rules).
      fs::permissions(candidate, fs::perms::owner_all, error);
      path_ = candidate.string();
      return;
    }
    if (error && error != std::errc::file_exists) break;
  }
  throw std::runtime_error("cannot create a folder in " + base.string() +
                           (error ? ": " + error.message() : std::string()));
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace testsupport
