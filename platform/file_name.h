// What a file's name says about the file.
#pragma once

#include <string>

namespace platform {

// The extension of the last component of `path`, from its last dot on and
// in lower case (".png" for "dir.v2/Terrain.PNG"); empty when that component
// has no dot. Components are separated by '/', and by '\\' on Windows too.
std::string LowercaseExtension(const std::string& path);

}  // namespace platform
