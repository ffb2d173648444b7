// Locates the shared reference data (model corpus, normal table) for tests.
#pragma once

#include <string>

namespace testsupport {

// The path of `relative` inside the shared data folder that the build was
// configured with.
std::string SharedPath(const std::string& relative);
// True when the file or folder exists.
bool SharedPathExists(const std::string& path);
// True when CI=true is set: missing reference data then fails a test
// instead of skipping it.
bool RunningInCi();

}  // namespace testsupport

// Skips the current test when the shared file or folder is missing on a
// developer's machine, and fails it in CI.
#define TOOLKIT_REQUIRE_SHARED(path)                                               \
  do {                                                                             \
    if (!::testsupport::SharedPathExists(path)) {                                  \
      if (::testsupport::RunningInCi()) FAIL() << "missing shared data: " << path; \
      GTEST_SKIP() << "shared data not found: " << path;                           \
    }                                                                              \
  } while (0)
