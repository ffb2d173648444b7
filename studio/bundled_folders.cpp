#include "studio/bundled_folders.h"

#include <filesystem>
#include <system_error>

namespace studio {

namespace {

namespace fs = std::filesystem;

// share/terrain_toolkit/NAME beside the installed program, else `source`.
std::string Find(const char* name, const char* source) {
  std::error_code error;
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (!error) {
    const fs::path installed = program.parent_path().parent_path() / "share" / "terrain_toolkit" / name;
    if (fs::is_directory(installed, error)) return installed.string();
  }
  if (fs::is_directory(source, error)) return source;
  return std::string();
}

}  // namespace

std::string BundledFolders::Examples() { return Find("examples", TOOLKIT_SOURCE_EXAMPLES); }

std::string BundledFolders::Page() { return Find("page", TOOLKIT_SOURCE_PAGE); }

}  // namespace studio
