// Why the last operation of a file reader or writer failed.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The reason a reader or writer keeps beside the truth value or descriptor
// its operation returned: what kind of failure, where in the file, and a few
// words (the system's own text for input and output). Holds its text in a
// fixed array, so setting a reason never allocates and never throws; the
// library's readers and writers may set one from any operation.
class FailureReason {
 public:
  enum class Kind {
    kNone,         // the last operation succeeded, or none has run
    kCannotOpen,   // the system refused to open the file
    kInputOutput,  // the system refused a read, write, seek or close
    kTruncated,    // a record runs past the end of the data
    kMalformed,    // a field holds a value the format does not allow
    kUnsupported,  // a format, version or record type this library does not read
    kTooLarge,     // more bytes than the format's offsets or the memory can hold
    kOutOfOrder,   // a record a writer cannot take at this point of the file
  };
  // Longest detail kept, with its terminating zero; longer ones are cut.
  static constexpr uint32_t kDetailSize = 96;

  FailureReason() = default;

  // `action` ("cannot read", "cannot write the header", ...) followed by the
  // system's text for `systemError` (an errno value); 0 gives the action alone.
  static FailureReason InputOutput(const char* action, int systemError);
  // "cannot open" and the system's text for `systemError`.
  static FailureReason CannotOpen(int systemError);
  // A record, named by `what`, that needs bytes past the end at `offset`.
  static FailureReason Truncated(const char* what, uint64_t offset);
  // The field named `field`, at `offset`, holds a value the format refuses.
  static FailureReason Malformed(const char* field, uint64_t offset);
  static FailureReason Unsupported(const char* what);
  static FailureReason TooLarge(const char* what);
  static FailureReason OutOfOrder(const char* what);

  Kind GetKind() const { return kind_; }
  // The file offset the reason names; 0 for kinds that name none.
  uint64_t Offset() const { return offset_; }
  // The words given when the reason was made.
  const char* Detail() const { return detail_; }
  bool IsFailure() const { return kind_ != Kind::kNone; }

  // One line for a person: "truncated at offset 1234 (frame vertices)",
  // "malformed skin count at offset 52", "cannot open: No such file or
  // directory", "unsupported format "ABCD"", "too large: 3000000000 bytes",
  // "out of order: a bone after the first group".
  std::string Text() const;

 private:
  FailureReason(Kind kind, uint64_t offset, const char* first, const char* second);

  Kind kind_ = Kind::kNone;
  uint64_t offset_ = 0;
  char detail_[kDetailSize] = {};
};

}  // namespace platform
