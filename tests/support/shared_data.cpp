#include "support/shared_data.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace testsupport {

std::string SharedPath(const std::string& relative) {
  return std::string(TOOLKIT_SHARED_DIR) + "/" + relative;
}

bool RunningInCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::strcmp(ci, "true") == 0;
}

bool SharedPathExists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(path, ignored);
}

}  // namespace testsupport
