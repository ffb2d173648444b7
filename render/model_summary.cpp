#include "render/model_summary.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "modelfiles/model_file_opener.h"
#include "modelfiles/model_walk.h"
#include "platform/failure_reason.h"
#include "platform/whole_file.h"
#include "render/summary_visitor.h"
#include "render/terrain_summary.h"
#include "terrain/hmp_file.h"

namespace render {

namespace {

// The text of `reason`, or `otherwise` when it holds no failure.
std::string ReasonText(const platform::FailureReason& reason, const std::string& otherwise) {
  return reason.IsFailure() ? reason.Text() : otherwise;
}

// Opens the model in `bytes`, the whole file, with the model file library's
// readers and hands the reader to the summary of its family.
void SummarizeModel(std::vector<uint8_t> bytes, ModelSummary& summary) {
  modelfiles::ModelOpenResult opened = modelfiles::OpenModelBytes(bytes.data(), bytes.size());
  // The reader holds its own copy.
  bytes.clear();
  bytes.shrink_to_fit();
  const platform::FailureReason& reason = opened.reason;
  switch (opened.status) {
    case modelfiles::ModelOpenStatus::kOpened:
      break;
    case modelfiles::ModelOpenStatus::kCannotRead:
      summary.error = ReasonText(reason, "cannot read the file");
      return;
    case modelfiles::ModelOpenStatus::kUnsupportedMagic:
      summary.error = ReasonText(reason, "unsupported format (magic " + QuotedText(summary.magic) + ")");
      return;
    case modelfiles::ModelOpenStatus::kRejected:
      summary.error = "not a readable " + summary.magic + " file: " +
                      ReasonText(reason, "its header is truncated or inconsistent with the file size");
      return;
    case modelfiles::ModelOpenStatus::kOutOfMemory:
      summary.error = ReasonText(reason, "not enough memory to read it");
      return;
  }
  summary.format = summary.magic + " model";
  SummaryVisitor visitor(summary);
  modelfiles::WalkModel(*opened.reader, visitor);
}

}  // namespace

ModelSummary SummarizeModelFile(const std::string& path) {
  ModelSummary summary;
  summary.path = path;
  std::vector<uint8_t> bytes;
  platform::FailureReason reason;
  if (!platform::ReadWholeFile(path.c_str(), bytes, reason)) {
    summary.error = ReasonText(reason, "cannot read the file");
    return summary;
  }
  if (bytes.size() >= 4) summary.magic.assign(reinterpret_cast<const char*>(bytes.data()), 4);
  summary.fileSize = static_cast<uint32_t>(bytes.size());
  // The magic decides between the terrain summary and the model summaries.
  if (terrain::HmpFile::IsTerrainMagic(bytes.data(), bytes.size())) {
    SummarizeTerrain(std::move(bytes), summary);
  } else {
    SummarizeModel(std::move(bytes), summary);
  }
  if (!summary.error.empty()) {
    summary.header.clear();
    summary.counts.clear();
    summary.records.clear();
  }
  return summary;
}

int PrintModelSummaries(const std::vector<std::string>& paths, bool json, std::FILE* out, std::FILE* errors) {
  int status = 0;
  if (json) std::fputs("[", out);
  for (size_t i = 0; i < paths.size(); ++i) {
    const ModelSummary summary = SummarizeModelFile(paths[i]);
    if (!summary.error.empty()) {
      status = 1;
      std::fputs(SummaryText(summary).c_str(), errors);
    }
    if (json) {
      std::fputs(i > 0 ? ",\n " : "", out);
      std::fputs(SummaryJson(summary).c_str(), out);
    } else if (summary.error.empty()) {
      std::fputs(SummaryText(summary).c_str(), out);
    }
  }
  if (json) std::fputs("]\n", out);
  if (std::fflush(out) != 0) {
    std::fputs("modelinfo: cannot write the output\n", errors);
    return 1;
  }
  return status;
}

}  // namespace render
