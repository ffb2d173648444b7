// What an operation of the terrain room came to: success, or why it failed.
#pragma once

#include <cstdint>
#include <string>

#include "platform/failure_reason.h"

namespace terrain {

// The outcome of reading, preparing or writing a terrain or one of its
// pictures: a kind (kNone for success), the byte of the file the failure
// names, the file it concerns and a few words for a person. True as a truth
// value on success. The terrain room says only what went wrong; its callers
// choose how to answer it (an exit status, an exception, an HTTP status)
// from the kind, and word it with Text().
class [[nodiscard]] TerrainResult {
 public:
  enum class Kind {
    kNone,             // success
    kCannotOpen,       // the system refused to open a file
    kInputOutput,      // the system refused a read, write, seek, close or rename
    kTruncated,        // the data ends before what it announces
    kMalformed,        // the data holds what its format does not allow
    kUnsupported,      // a format, or a kind of picture, the terrain room does not take
    kTooLarge,         // more than a format's numbers or the memory can hold
    kOutOfOrder,       // a record a writer cannot take at that point of its file
    kInvalidArgument,  // values or options of the caller's that cannot do: a missing size,
                       // tiles that do not divide it, an empty picture
  };

  // Success.
  TerrainResult() = default;
  // A failure of `kind` (not kNone) in `description`'s words, naming byte
  // `offset` of the file where it is not negative.
  TerrainResult(Kind kind, std::string description, int64_t offset = -1);
  // A reader's or writer's reason: its kind, its text, and its offset where
  // its kind names one (truncated or malformed).
  static TerrainResult FromReason(const platform::FailureReason& reason);

  // This result naming `path` as the file it concerns, unless it names one
  // already. `action` ("cannot write"), where given, leads the text before
  // the name. A success stays a success.
  TerrainResult WithPath(const std::string& path, const std::string& action = std::string()) const;

  explicit operator bool() const { return kind_ == Kind::kNone; }
  Kind GetKind() const { return kind_; }
  // The byte of the file the failure names; -1 where it names none.
  int64_t Offset() const { return offset_; }
  // The file the failure concerns; empty where it concerns none, or the
  // caller has not said which.
  const std::string& Path() const { return path_; }
  // The words of the failure, without the file's name.
  const std::string& Description() const { return description_; }

  // One line for a person: "ACTION PATH: DESCRIPTION", "PATH: DESCRIPTION"
  // or "DESCRIPTION" as the result names its file ("terrain.png: cannot
  // open: No such file or directory", "cannot write terrain.png: this build
  // has no PNG support", "value 2 at byte 4 is not a number"); "no failure"
  // for a success.
  std::string Text() const;

 private:
  Kind kind_ = Kind::kNone;
  int64_t offset_ = -1;
  std::string path_;
  std::string action_;
  std::string description_;
};

}  // namespace terrain
