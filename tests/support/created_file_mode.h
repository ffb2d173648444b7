// The permission bits a writer gives the files it creates.
#pragma once

#include <functional>
#include <string>

namespace testsupport {

// Runs `create` (which makes the file at `path` and reports success) under
// a umask of 077, restores the umask, and returns the new file's permission
// bits (mode & 07777); -1 when `create` failed or the file cannot be
// looked at. Files on Windows carry no such bits: there it returns 0600.
int CreatedFileMode(const std::string& path, const std::function<bool()>& create);

}  // namespace testsupport
