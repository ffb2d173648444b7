#include "generator/command_settings.h"

#include <cstdint>
#include <filesystem>
#include <limits>
#include <sstream>
#include <system_error>
#include <type_traits>
#include <vector>

#include "generator/float_field_reader.h"
#include "generator/header_error.h"
#include "noisemap/error.h"
#include "platform/failure_reason.h"
#include "platform/whole_file.h"

namespace duneforge {

namespace {

// Integer fields are read by the stream. Float fields are read by
// ReadFloatField, which stores the same float and leaves the stream the same
// on every system, whatever the C runtime's strtof rounds to.
std::istream& ReadNumber(std::istream& in, int32_t& value) { return in >> value; }
std::istream& ReadNumber(std::istream& in, float& value) { return ReadFloatField(in, value); }

// Reads one field into a temporary and assigns it only on success: a stream
// that fails stores 0 (or the clamped value on overflow) into its target,
// while a failed field must keep what it held. Once the stream has failed,
// every later read does nothing.
template <typename T>
void ReadField(std::istream& in, T& field, CommandSettings& settings, const std::string& name) {
  if (!in) return;
  T value{};
  if (ReadNumber(in, value)) {
    field = value;
    return;
  }
  settings.firstUnreadField = name;
  // A number beyond the field's range fails with the largest value of its
  // sign stored; a token that is no number at all, or none, stores 0.
  settings.unreadOutOfRange =
      value == std::numeric_limits<T>::max() || value == std::numeric_limits<T>::lowest();
  settings.unreadAtEnd = !settings.unreadOutOfRange && in.eof();
  settings.unreadIsInteger = std::is_integral<T>::value;
}

}  // namespace

bool ModuleCountInRange(int32_t moduleCount) { return moduleCount >= 1 && moduleCount <= MaxModuleRows; }

void RequireModuleCountInRange(int32_t moduleCount, const std::string& context) {
  if (ModuleCountInRange(moduleCount)) return;
  throw HeaderError((context.empty() ? std::string() : context + ": ") + "moduleCount " +
                        std::to_string(moduleCount) + " is outside 1 .. " + std::to_string(MaxModuleRows),
                    {"moduleCount"});
}

void ReadCommandSettings(std::istream& in, CommandSettings& settings) {
  ForEachHeaderField(settings, [&](const char* name, auto& field) { ReadField(in, field, settings, name); });
  // A count outside the row store reads no row; CheckCommandSettings refuses it.
  if (!ModuleCountInRange(settings.moduleCount)) return;
  for (int32_t i = 0; i < settings.moduleCount; ++i) {
    ModuleSpec& row = settings.rows[static_cast<size_t>(i)];
    const std::string prefix = "row " + std::to_string(i) + " ";
    ForEachRowField(row,
                    [&](const char* name, auto& field) { ReadField(in, field, settings, prefix + name); });
  }
}

namespace {

// A field the file did not give: a header field is named as such, so the
// studio can show the refusal at it; a row field as plain text.
[[noreturn]] void RefuseUnread(const CommandSettings& settings, const std::string& message) {
  bool headerField = false;
  ForEachHeaderField(settings, [&](const char* name, const auto&) {
    headerField = headerField || settings.firstUnreadField == name;
  });
  if (headerField) throw HeaderError(message, {settings.firstUnreadField});
  throw noise::utils::InvalidParamError(message);
}

}  // namespace

void CheckCommandSettings(const CommandSettings& settings, const std::string& fileName) {
  RequireModuleCountInRange(settings.moduleCount, fileName);
  if (settings.unreadOutOfRange) {
    RefuseUnread(settings,
                 fileName + ": " + settings.firstUnreadField + " is out of range; " +
                     (settings.unreadIsInteger ? "an integer field takes -2147483648 .. 2147483647"
                                               : "a number field takes magnitudes up to 3.40282e+38"));
  }
  if (!settings.firstUnreadField.empty()) {
    const std::string needed = "; the file must give the twelve header fields and " +
                               std::to_string(settings.moduleCount) + " module row" +
                               (settings.moduleCount == 1 ? "" : "s") + " of five numbers";
    if (settings.unreadAtEnd) {
      RefuseUnread(settings, fileName + ": the file ends before " + settings.firstUnreadField + needed);
    }
    RefuseUnread(settings, fileName + ": " + settings.firstUnreadField + " is not " +
                               (settings.unreadIsInteger ? "an integer" : "a number") + needed);
  }
}

bool LoadCommandFile(const std::string& fileName, CommandSettings& settings) {
  // A folder of that name opens on some systems but is no file to read.
  std::error_code ignored;
  if (std::filesystem::is_directory(fileName, ignored)) return false;
  std::vector<uint8_t> bytes;
  platform::FailureReason reason;
  if (!platform::ReadWholeFile(fileName.c_str(), bytes, reason)) {
    // Only a file that cannot be opened ends the run quietly; one that
    // opens and then cannot be read, or is too large to hold, is an error.
    if (reason.GetKind() == platform::FailureReason::Kind::kCannotOpen) return false;
    throw noise::utils::FileError(fileName + ": " + reason.Text());
  }
  platform::KeepTextModeBytes(bytes);
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  ReadCommandSettings(in, settings);
  CheckCommandSettings(settings, fileName);
  return true;
}

}  // namespace duneforge
