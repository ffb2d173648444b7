#include "render/summary_record.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace render {

namespace {

std::string FormatFloat(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char buffer[64];
  const float single = static_cast<float>(value);
  std::to_chars_result result;
  if (static_cast<double>(single) == value) {
    result = std::to_chars(buffer, buffer + sizeof buffer, single);
  } else {
    result = std::to_chars(buffer, buffer + sizeof buffer, value);
  }
  return std::string(buffer, result.ptr);
}

std::string JsonFloat(double value) { return std::isfinite(value) ? FormatFloat(value) : "null"; }

}  // namespace

SummaryField IntField(const std::string& name, int64_t value) {
  return SummaryField{name, std::to_string(value), std::to_string(value)};
}

SummaryField FloatField(const std::string& name, double value) {
  return SummaryField{name, FormatFloat(value), JsonFloat(value)};
}

SummaryField FloatsField(const std::string& name, const std::vector<double>& values) {
  std::string text = "(", json = "[";
  for (size_t i = 0; i < values.size(); ++i) {
    text += (i > 0 ? ", " : "") + FormatFloat(values[i]);
    json += (i > 0 ? ", " : "") + JsonFloat(values[i]);
  }
  return SummaryField{name, text + ")", json + "]"};
}

SummaryField IntsField(const std::string& name, const std::vector<int64_t>& values) {
  std::string text = "(", json = "[";
  for (size_t i = 0; i < values.size(); ++i) {
    text += (i > 0 ? ", " : "") + std::to_string(values[i]);
    json += (i > 0 ? ", " : "") + std::to_string(values[i]);
  }
  return SummaryField{name, text + ")", json + "]"};
}

SummaryField TextField(const std::string& name, const std::string& value) {
  return SummaryField{name, QuotedText(value), JsonString(value)};
}

SummaryField BoolField(const std::string& name, bool value) {
  return SummaryField{name, value ? "yes" : "no", value ? "true" : "false"};
}

void StopWalk(ModelSummary& summary, uint32_t offset, const std::string& problem) {
  summary.walkComplete = false;
  summary.walkEnd = offset;
  summary.walkProblem = problem;
}

std::string QuotedText(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      out += escape;
    }
  }
  return out + "\"";
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", c);
      out += escape;
    } else if (c >= 0x80) {
      // Latin-1 to UTF-8: two bytes.
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

}  // namespace render
