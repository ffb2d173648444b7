#include "studio/bundled_examples.h"

#include <filesystem>
#include <system_error>

namespace studio {

std::string BundledExamples::Folder() {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (!error) {
    const fs::path installed = program.parent_path().parent_path() / "share" / "terrain_toolkit" / "examples";
    if (fs::is_directory(installed, error)) return installed.string();
  }
  const fs::path source = TOOLKIT_SOURCE_EXAMPLES;
  if (fs::is_directory(source, error)) return source.string();
  return std::string();
}

}  // namespace studio
