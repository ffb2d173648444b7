#include "platform/failure_reason.h"

#include <cstring>

namespace platform {

namespace {

// Appends `text` to the zero-terminated `out` of `size` bytes, cutting it
// where the array ends.
void AppendCut(char* out, uint32_t size, const char* text) {
  if (text == nullptr) return;
  size_t used = std::strlen(out);
  while (*text != '\0' && used + 1 < size) out[used++] = *text++;
  out[used] = '\0';
}

}  // namespace

FailureReason::FailureReason(Kind kind, uint64_t offset, const char* first, const char* second)
    : kind_(kind), offset_(offset) {
  AppendCut(detail_, kDetailSize, first);
  if (second != nullptr && second[0] != '\0') {
    AppendCut(detail_, kDetailSize, ": ");
    AppendCut(detail_, kDetailSize, second);
  }
}

FailureReason FailureReason::InputOutput(const char* action, int systemError) {
  return FailureReason(Kind::kInputOutput, 0, action,
                       systemError != 0 ? std::strerror(systemError) : nullptr);
}

FailureReason FailureReason::CannotOpen(int systemError) {
  FailureReason reason = InputOutput("cannot open", systemError);
  reason.kind_ = Kind::kCannotOpen;
  return reason;
}

FailureReason FailureReason::Truncated(const char* what, uint64_t offset) {
  return FailureReason(Kind::kTruncated, offset, what, nullptr);
}

FailureReason FailureReason::Malformed(const char* field, uint64_t offset) {
  return FailureReason(Kind::kMalformed, offset, field, nullptr);
}

FailureReason FailureReason::Unsupported(const char* what) {
  return FailureReason(Kind::kUnsupported, 0, what, nullptr);
}

FailureReason FailureReason::TooLarge(const char* what) {
  return FailureReason(Kind::kTooLarge, 0, what, nullptr);
}

FailureReason FailureReason::OutOfOrder(const char* what) {
  return FailureReason(Kind::kOutOfOrder, 0, what, nullptr);
}

std::string FailureReason::Text() const {
  const std::string offset = std::to_string(offset_);
  switch (kind_) {
    case Kind::kNone:
      return "no failure";
    case Kind::kCannotOpen:
    case Kind::kInputOutput:
      return detail_;
    case Kind::kTruncated:
      return "truncated at offset " + offset + (detail_[0] != '\0' ? " (" + std::string(detail_) + ")" : "");
    case Kind::kMalformed:
      return "malformed " + std::string(detail_) + " at offset " + offset;
    case Kind::kUnsupported:
      return "unsupported " + std::string(detail_);
    case Kind::kTooLarge:
      return "too large: " + std::string(detail_);
    case Kind::kOutOfOrder:
      return "out of order: " + std::string(detail_);
  }
  return detail_;
}

}  // namespace platform
