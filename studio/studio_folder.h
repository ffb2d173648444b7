// The folder whose command files the studio lists, opens and saves.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace studio {

// The largest file the studio opens or saves, in bytes: the bound of a
// request body as well.
constexpr size_t kLargestStudioFile = 1 << 20;

// Reads and writes files by plain name inside one folder, and nothing
// outside it: a name is one path component ending in ".txt" (no "/", no
// "\", not "." or "..", no control characters, at most 255 bytes), that
// Windows takes too (valid UTF-8, none of < > : " | ? *, no device name such
// as CON or COM1 before its first dot, no final dot or space), and a
// name that is a symbolic link is followed only when it leads to a file in
// the folder itself. Files are written whole or not at all. Failures throw
// StudioError: 400 for a name that is not plain, 403 for a link out of the
// folder, 404 for a file that is not there, 413 for one that is too large,
// 500 when reading or writing fails.
class StudioFolder {
 public:
  // The folder must exist; its path is taken as it resolves now. Throws
  // std::runtime_error naming the folder when it is not one.
  explicit StudioFolder(const std::string& path);

  // The folder, resolved.
  const std::string& Path() const { return root_; }

  // Whether `name` is a plain name by the rules above.
  static bool IsPlainName(const std::string& name);
  // Whether `name` is one path component by the same rules, whatever it
  // ends in.
  static bool IsPlainComponent(const std::string& name);
  // Why `name` is not one plain path component, or "" when it is.
  static std::string ComponentProblem(const std::string& name);

  // The plain names of the regular files in the folder that stay in it and
  // are small enough to read (kLargestStudioFile), in byte order.
  std::vector<std::string> List() const;
  // The bytes of the file `name`.
  std::string Read(const std::string& name) const;
  // Replaces (or creates) the file `name` with `text`, whole or not at all.
  void Write(const std::string& name, const std::string& text) const;
  // The path to write the output `name` at (a plain component, whatever
  // it ends in), after the same checks as Write's.
  std::string OutputPath(const std::string& name) const;

 private:
  // The path to open for `name`, after every check: a plain name, and a
  // file (or link) that leads to a file of this folder or to nothing yet.
  std::string Resolve(const std::string& name) const;
  // The link check of Resolve, for a name already found plain.
  std::string Contained(const std::string& name) const;

  std::string root_;
};

}  // namespace studio
