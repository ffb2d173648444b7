#include "terrain/terrain_result.h"

#include <utility>

namespace terrain {

namespace {

TerrainResult::Kind KindOf(platform::FailureReason::Kind kind) {
  using From = platform::FailureReason::Kind;
  using To = TerrainResult::Kind;
  switch (kind) {
    case From::kNone:
      return To::kNone;
    case From::kCannotOpen:
      return To::kCannotOpen;
    case From::kInputOutput:
      return To::kInputOutput;
    case From::kTruncated:
      return To::kTruncated;
    case From::kMalformed:
      return To::kMalformed;
    case From::kUnsupported:
      return To::kUnsupported;
    case From::kTooLarge:
      return To::kTooLarge;
    case From::kOutOfOrder:
      return To::kOutOfOrder;
  }
  return To::kInputOutput;
}

}  // namespace

TerrainResult::TerrainResult(Kind kind, std::string description, int64_t offset)
    : kind_(kind), offset_(offset < 0 ? -1 : offset), description_(std::move(description)) {}

TerrainResult TerrainResult::FromReason(const platform::FailureReason& reason) {
  const Kind kind = KindOf(reason.GetKind());
  if (kind == Kind::kNone) return TerrainResult();
  const bool named = kind == Kind::kTruncated || kind == Kind::kMalformed;
  return TerrainResult(kind, reason.Text(), named ? static_cast<int64_t>(reason.Offset()) : -1);
}

TerrainResult TerrainResult::WithPath(const std::string& path, const std::string& action) const {
  TerrainResult named = *this;
  if (kind_ != Kind::kNone && path_.empty()) {
    named.path_ = path;
    named.action_ = action;
  }
  return named;
}

std::string TerrainResult::Text() const {
  if (kind_ == Kind::kNone) return "no failure";
  if (path_.empty()) return description_;
  return (action_.empty() ? std::string() : action_ + " ") + path_ + ": " + description_;
}

}  // namespace terrain
