// A fresh temporary folder for one test, removed with everything in it.
#pragma once

#include <string>

namespace testsupport {

// Creates a new, empty folder in the system's temporary folder ($TMPDIR or
// /tmp; the user's temporary folder on Windows) on construction and
// removes it recursively on destruction, so tests never write into the
// source tree and never see each other's files.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder's absolute path, without a trailing slash.
  const std::string& Path() const { return path_; }
  // The path of `name` inside the folder.
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace testsupport
