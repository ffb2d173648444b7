#include "render/summary_renderers.h"

#include <vector>

namespace render {

namespace {

// Joins fields as "name value, name value".
std::string FieldList(const std::vector<SummaryField>& fields) {
  std::string out;
  for (const SummaryField& field : fields) {
    if (!out.empty()) out += ", ";
    out += field.name + " " + field.text;
  }
  return out;
}

std::string JsonObject(const std::vector<SummaryField>& fields) {
  std::string out = "{";
  for (const SummaryField& field : fields) {
    if (out.size() > 1) out += ", ";
    out += JsonString(field.name) + ": " + field.json;
  }
  return out + "}";
}

}  // namespace

std::string SummaryText(const ModelSummary& summary) {
  if (!summary.error.empty()) return "modelinfo: " + summary.path + ": " + summary.error + "\n";
  std::string out =
      summary.path + ": " + summary.format + ", " + std::to_string(summary.fileSize) + " bytes\n";
  out += "  header: " + FieldList(summary.header) + "\n";
  out += "  counts: " + FieldList(summary.counts) + "\n";
  for (const SummaryRecord& record : summary.records) {
    out += "  " + record.kind + " " + std::to_string(record.index) + ": " + FieldList(record.fields) + "\n";
  }
  if (summary.walkComplete) {
    const uint32_t trailing = summary.fileSize - summary.walkEnd;
    out += "  walk: reaches the end of the records at byte " + std::to_string(summary.walkEnd);
    out += trailing == 0 ? ", the end of the file\n" : ", " + std::to_string(trailing) + " bytes follow\n";
  } else {
    out += "  walk: stops at byte " + std::to_string(summary.walkEnd) + ": " + summary.walkProblem + "\n";
  }
  return out;
}

std::string SummaryJson(const ModelSummary& summary) {
  if (!summary.error.empty()) {
    return "{\"file\": " + JsonString(summary.path) + ", \"error\": " + JsonString(summary.error) + "}";
  }
  std::string out = "{\"file\": " + JsonString(summary.path) + ", \"magic\": " + JsonString(summary.magic) +
                    ", \"format\": " + JsonString(summary.format) +
                    ", \"size\": " + std::to_string(summary.fileSize);
  out += ", \"header\": " + JsonObject(summary.header);
  out += ", \"counts\": " + JsonObject(summary.counts);
  for (const char* kind : {"group", "skin", "frame"}) {
    out += ", " + JsonString(std::string(kind) + "s") + ": [";
    bool first = true;
    for (const SummaryRecord& record : summary.records) {
      if (record.kind != kind) continue;
      std::vector<SummaryField> fields = {IntField("index", record.index)};
      fields.insert(fields.end(), record.fields.begin(), record.fields.end());
      out += (first ? "" : ", ") + JsonObject(fields);
      first = false;
    }
    out += "]";
  }
  out += ", \"walk\": {\"complete\": " + std::string(summary.walkComplete ? "true" : "false") +
         ", \"end\": " + std::to_string(summary.walkEnd);
  out += summary.walkComplete ? ", \"trailingBytes\": " + std::to_string(summary.fileSize - summary.walkEnd)
                              : ", \"problem\": " + JsonString(summary.walkProblem);
  return out + "}}";
}

}  // namespace render
