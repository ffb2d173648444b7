// Where the command files that come with the toolkit are.
#pragma once

#include <string>

namespace studio {

// The folder of the bundled example command files: beside an installed
// program, PREFIX/share/terrain_toolkit/examples for PREFIX/bin/terrainstudio;
// for a program run from its build tree, the examples of the source tree it
// was built from. Empty when neither is there.
class BundledExamples {
 public:
  static std::string Folder();
};

}  // namespace studio
