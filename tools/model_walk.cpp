#include "tools/model_walk.h"

#include "platform/failure_reason.h"

namespace tools {

void FailWalk(ModelSummary& summary, const modelfiles::ModelReader& reader, uint32_t start,
              const std::string& record, const std::string& otherwise) {
  using Kind = platform::FailureReason::Kind;
  const platform::FailureReason& reason = reader.LastFailure();
  if (!reason.IsFailure()) {
    StopWalk(summary, start, otherwise);
    return;
  }
  const std::string text = (record.empty() ? "" : record + ": ") + reason.Text();
  if (reason.GetKind() == Kind::kMalformed || reason.GetKind() == Kind::kUnsupported) {
    StopWalk(summary, start, text);
  } else {
    summary.error = text;
  }
}

}  // namespace tools
