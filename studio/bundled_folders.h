// Where the files that come with the studio are.
#pragma once

#include <string>

namespace studio {

// The folders installed with terrainstudio, under PREFIX/share/terrain_toolkit
// for PREFIX/bin/terrainstudio; a program run from its build tree uses those
// of the source tree it was built from. Each is empty when neither is there.
class BundledFolders {
 public:
  // The example command files.
  static std::string Examples();
  // The studio's page: index.html and what it loads.
  static std::string Page();
};

}  // namespace studio
