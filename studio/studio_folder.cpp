#include "studio/studio_folder.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "platform/failure_reason.h"
#include "platform/file_replacement.h"
#include "platform/whole_file.h"
#include "studio/studio_error.h"

namespace studio {

namespace fs = std::filesystem;

namespace {

constexpr size_t kLongestName = 255;
constexpr const char* kSuffix = ".txt";
constexpr int kLongestLinkChain = 40;

// Whether `text` is well-formed UTF-8: no stray continuation byte, no
// overlong form, no surrogate, nothing above U+10FFFF.
bool IsUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t length = 1;
    unsigned char low = 0x80, high = 0xBF;  // the bounds of the second byte
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    for (size_t k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return false;
    }
    i += length;
  }
  return true;
}

// Whether Windows reserves `name` for a device: CON, PRN, AUX, NUL, COM0 to
// COM9 or LPT0 to LPT9 in any case, whatever follows the first dot.
bool IsWindowsDeviceName(const std::string& name) {
  std::string stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  if (stem.size() != 3 && stem.size() != 4) return false;
  for (char& c : stem) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  if (stem.size() == 3) return stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL";
  return (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) && stem[3] >= '0' &&
         stem[3] <= '9';
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

StudioFolder::StudioFolder(const std::string& path) {
  std::error_code error;
  const fs::path resolved = fs::canonical(path, error);
  if (error || !fs::is_directory(resolved, error)) throw std::runtime_error(path + ": not a folder");
  root_ = resolved.string();
}

bool StudioFolder::IsPlainName(const std::string& name) {
  return IsPlainComponent(name) && EndsWith(name, kSuffix) && name.size() > 4;
}

bool StudioFolder::IsPlainComponent(const std::string& name) { return ComponentProblem(name).empty(); }

std::string StudioFolder::ComponentProblem(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return "it names no file";
  if (name.size() > kLongestName) return "it is longer than " + std::to_string(kLongestName) + " bytes";
  for (const char c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || std::strchr("/\\<>:\"|?*", c) != nullptr)
      return "it holds a control character or one of / \\ < > : \" | ? *";
  }
  if (!IsUtf8(name)) return "it is not UTF-8 text";
  // The files are meant for Windows too, which drops a final dot or space
  // and keeps device names for itself.
  if (name.back() == '.' || name.back() == ' ') return "it ends in a dot or a space, which Windows drops";
  if (IsWindowsDeviceName(name)) return "Windows keeps that name for a device";
  return "";
}

std::string StudioFolder::Resolve(const std::string& name) const {
  if (!IsPlainName(name)) {
    const std::string problem = ComponentProblem(name);
    throw StudioError(400, "\"" + name + "\" is not a plain file name of the folder ending in .txt" +
                               (problem.empty() ? "" : ": " + problem));
  }
  return Contained(name);
}

std::string StudioFolder::OutputPath(const std::string& name) const {
  const std::string problem = ComponentProblem(name);
  if (!problem.empty())
    throw StudioError(400, "\"" + name + "\" is not a plain file name of the folder: " + problem);
  return Contained(name);
}

std::string StudioFolder::Contained(const std::string& name) const {
  const fs::path path = fs::path(root_) / name;
  std::error_code error;
  const fs::file_status status = fs::symlink_status(path, error);
  if (!fs::exists(status)) return path.string();
  // A link is followed to its end, which must be in the folder itself; so is
  // one that leads nowhere yet, since writing through it would make its
  // target.
  fs::path target = path;
  for (int links = 0; !error && fs::is_symlink(fs::symlink_status(target, error)); ++links) {
    if (links == kLongestLinkChain) throw StudioError(403, "\"" + name + "\" is a loop of links");
    const fs::path next = fs::read_symlink(target, error);
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  if (!error && fs::is_symlink(status)) target = fs::weakly_canonical(target, error);
  if (error || target.parent_path() != fs::path(root_)) {
    throw StudioError(403, "\"" + name + "\" leads out of the folder");
  }
  if (fs::exists(target, error) && !fs::is_regular_file(target, error)) {
    throw StudioError(400, "\"" + name + "\" is not a regular file");
  }
  return target.string();
}

std::vector<std::string> StudioFolder::List() const {
  std::vector<std::string> names;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(root_, error)) {
    const std::string name = entry.path().filename().string();
    if (!IsPlainName(name)) continue;
    try {
      const std::string path = Resolve(name);
      std::error_code ignored;
      // A file too large to open (a height array an export wrote) is not
      // offered.
      if (fs::is_regular_file(path, ignored) && fs::file_size(path, ignored) <= kLargestStudioFile) {
        names.push_back(name);
      }
    } catch (const StudioError&) {
      // A link out of the folder is not offered.
    }
  }
  if (error) throw StudioError(500, "the folder cannot be listed: " + error.message());
  std::sort(names.begin(), names.end());
  return names;
}

std::string StudioFolder::Read(const std::string& name) const {
  const std::string path = Resolve(name);
  std::error_code error;
  if (!fs::is_regular_file(path, error)) throw StudioError(404, "\"" + name + "\" is not in the folder");
  std::vector<uint8_t> bytes;
  platform::FailureReason reason;
  if (!platform::ReadWholeFile(path.c_str(), bytes, reason, kLargestStudioFile)) {
    if (reason.GetKind() == platform::FailureReason::Kind::kTooLarge) {
      throw StudioError(413,
                        "\"" + name + "\" is larger than " + std::to_string(kLargestStudioFile) + " bytes");
    }
    throw StudioError(500, "\"" + name + "\": " + reason.Text());
  }
  return std::string(bytes.begin(), bytes.end());
}

void StudioFolder::Write(const std::string& name, const std::string& text) const {
  if (text.size() > kLargestStudioFile) {
    throw StudioError(413,
                      "a file of the folder holds at most " + std::to_string(kLargestStudioFile) + " bytes");
  }
  const std::string path = Resolve(name);
  platform::FailureReason reason;
  if (!platform::WriteWholeFile(path.c_str(), text.data(), text.size(), reason)) {
    throw StudioError(500, "\"" + name + "\" cannot be written: " + reason.Text());
  }
}

}  // namespace studio
