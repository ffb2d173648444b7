// The record modelinfo fills for one model or terrain file, and its fields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace render {

// One named value, kept as text and as JSON.
struct SummaryField {
  std::string name;
  std::string text;
  std::string json;
};

// Makers of fields; floats use the shortest form that reads back exactly.
SummaryField IntField(const std::string& name, int64_t value);
SummaryField FloatField(const std::string& name, double value);
SummaryField FloatsField(const std::string& name, const std::vector<double>& values);
SummaryField IntsField(const std::string& name, const std::vector<int64_t>& values);
SummaryField TextField(const std::string& name, const std::string& value);
SummaryField BoolField(const std::string& name, bool value);

// A group, skin or frame: its kind, its place among its kind, its fields.
struct SummaryRecord {
  std::string kind;  // "group", "skin" or "frame"
  int32_t index = 0;
  std::vector<SummaryField> fields;
};

// Everything modelinfo prints about a file. `error` is set when the file
// could not be described; the rest is then empty.
struct ModelSummary {
  std::string path;
  std::string error;
  std::string magic;
  std::string format;  // "MDL7 model", "IDPO model", "HMP7 terrain", ...
  uint32_t fileSize = 0;
  std::vector<SummaryField> header;
  std::vector<SummaryField> counts;
  std::vector<SummaryRecord> records;  // groups, skins and frames in file order
  // The structural walk: whether it passed every record the header counts,
  // where it ended (or the record that stopped it) and why it stopped.
  bool walkComplete = false;
  uint32_t walkEnd = 0;
  std::string walkProblem;
};

// Ends the walk early at `offset`, the start of the record that stopped it.
void StopWalk(ModelSummary& summary, uint32_t offset, const std::string& problem);

// `text` between double quotes for the text output: printable ASCII as it
// is, quotes, backslashes and other bytes as \xNN.
std::string QuotedText(const std::string& text);

// `text` as a JSON string literal: quotes, backslashes and control
// characters escaped, bytes from 0x80 taken as Latin-1 so any bytes stay
// valid UTF-8.
std::string JsonString(const std::string& text);

}  // namespace render
