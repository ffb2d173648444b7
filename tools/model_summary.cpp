#include "tools/model_summary.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <utility>

#include "modelfiles/legacy_model_reader.h"
#include "modelfiles/mdl7_layout.h"
#include "modelfiles/mdl7r.h"
#include "modelfiles/model_file_opener.h"
#include "platform/little_endian.h"
#include "tools/file_bytes.h"
#include "tools/hmp_file.h"

namespace tools {

namespace {

using platform::LoadF32;
using platform::LoadI32;
using platform::LoadU16;

// Header fields of the 84-byte header formats (IDPO, MDL2 to MDL6).
constexpr uint32_t kLegacyVersion = 4;
constexpr uint32_t kLegacyScale = 8;
constexpr uint32_t kLegacyOrigin = 20;
constexpr uint32_t kLegacyRadius = 32;
constexpr uint32_t kLegacySkinWidth = 52;
constexpr uint32_t kLegacySkinHeight = 56;
constexpr uint32_t kLegacyFlags = 76;
// Header fields of IDP2 (68 bytes).
constexpr uint32_t kIdp2SkinWidth = 8;
constexpr uint32_t kIdp2SkinHeight = 12;
constexpr uint32_t kIdp2FrameSize = 16;
constexpr uint32_t kIdp2GlCommandCount = 36;
constexpr uint32_t kIdp2Offsets = 44;  // skins, texture coordinates, triangles, frames, GL commands, end
constexpr uint32_t kIdp2SkinNameSize = 64;

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

// A name for the text output: printable ASCII as it is, other bytes as \xNN.
std::string QuotedName(const std::string& name) {
  std::string out = "\"";
  for (unsigned char c : name) {
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

// The bytes of a fixed name field up to its first zero.
std::string FieldName(const uint8_t* bytes, size_t size) {
  size_t length = 0;
  while (length < size && bytes[length] != 0) ++length;
  return std::string(reinterpret_cast<const char*>(bytes), length);
}

void Stop(ModelSummary& summary, uint32_t offset, const std::string& problem) {
  summary.walkComplete = false;
  summary.walkEnd = offset;
  summary.walkProblem = problem;
}

// Marks a failed read: truncated when the reader's cursor ran to the end of
// what it may read.
void Fail(ModelSummary& summary, const modelfiles::ModelReader& reader, uint32_t start,
          const std::string& what, const std::string& otherwise) {
  if (reader.Offset() >= reader.ReadableSize()) {
    summary.error = "truncated: " + what + " at byte " + std::to_string(start) + " runs past byte " +
                    std::to_string(reader.ReadableSize());
  } else {
    Stop(summary, start, what + " " + otherwise);
  }
}

void SummarizeLegacy(modelfiles::LegacyModelReader& reader, ModelSummary& summary) {
  const bool idp2 = reader.FormatCode() == modelfiles::ModelReader::kFormatIdp2;
  const uint8_t* header = nullptr;
  if (reader.GetHeader(&header)) {
    summary.header.push_back(IntField("version", LoadI32(header, kLegacyVersion)));
    if (idp2) {
      summary.header.push_back(IntField("skinWidth", LoadI32(header, kIdp2SkinWidth)));
      summary.header.push_back(IntField("skinHeight", LoadI32(header, kIdp2SkinHeight)));
      summary.header.push_back(IntField("frameSize", LoadI32(header, kIdp2FrameSize)));
      summary.header.push_back(IntField("glCommands", LoadI32(header, kIdp2GlCommandCount)));
      std::vector<int64_t> offsets;
      for (uint32_t i = 0; i < 6; ++i) offsets.push_back(LoadI32(header, kIdp2Offsets + 4 * i));
      summary.header.push_back(IntsField("offsets", offsets));
    } else {
      summary.header.push_back(
          FloatsField("scale", {LoadF32(header, kLegacyScale), LoadF32(header, kLegacyScale + 4),
                                LoadF32(header, kLegacyScale + 8)}));
      summary.header.push_back(
          FloatsField("origin", {LoadF32(header, kLegacyOrigin), LoadF32(header, kLegacyOrigin + 4),
                                 LoadF32(header, kLegacyOrigin + 8)}));
      summary.header.push_back(FloatField("radius", LoadF32(header, kLegacyRadius)));
      summary.header.push_back(IntField("skinWidth", LoadI32(header, kLegacySkinWidth)));
      summary.header.push_back(IntField("skinHeight", LoadI32(header, kLegacySkinHeight)));
      summary.header.push_back(IntField("flags", LoadI32(header, kLegacyFlags)));
    }
  }
  summary.counts = {IntField("skins", reader.SkinCount()), IntField("vertices", reader.VertexCount()),
                    IntField("triangles", reader.TriangleCount()), IntField("frames", reader.FrameCount()),
                    IntField("texCoords", reader.TexCoordCount())};

  summary.walkComplete = true;
  for (int32_t i = 0; i < reader.SkinCount(); ++i) {
    const uint32_t start = reader.Offset();
    const std::string what = "skin " + std::to_string(i);
    uint8_t type = 0, mip = 0;
    int32_t width = 0, height = 0, bytesPerPixel = 0;
    if (!reader.ReadSkin(&type, &width, &height, &bytesPerPixel, &mip)) {
      Fail(summary, reader, start, what, "has a type this format does not know");
      return;
    }
    const uint8_t* level0 = nullptr;
    if (!reader.TakeSkinImage(idp2 ? &level0 : nullptr, nullptr, nullptr, nullptr)) {
      Fail(summary, reader, start, what + " image", "cannot be read");
      return;
    }
    SummaryRecord record{"skin", i, {}};
    if (idp2) {
      record.fields.push_back(
          TextField("name", level0 != nullptr ? FieldName(level0, kIdp2SkinNameSize) : ""));
    } else {
      record.fields = {IntField("type", type), IntField("width", width), IntField("height", height),
                       IntField("bytesPerPixel", bytesPerPixel), BoolField("mipmaps", mip != 0)};
    }
    record.fields.push_back(IntField("offset", start));
    summary.records.push_back(record);
  }
  uint32_t start = reader.Offset();
  if (!reader.SkipTexCoords()) {
    Fail(summary, reader, start, "the texture coordinates", "cannot be read");
    return;
  }
  start = reader.Offset();
  if (!reader.SkipTriangles()) {
    Fail(summary, reader, start, "the triangles", "cannot be read");
    return;
  }
  for (int32_t i = 0; i < reader.FrameCount(); ++i) {
    start = reader.Offset();
    const std::string what = "frame " + std::to_string(i);
    char name[modelfiles::LegacyModelReader::kNameSize] = {};
    if (!reader.ReadFrame(&name, nullptr, nullptr, nullptr, nullptr)) {
      Fail(summary, reader, start, what, "is not a simple frame (a frame group?)");
      return;
    }
    if (!reader.SkipFrameData()) {
      Fail(summary, reader, start, what + " vertices", "cannot be read");
      return;
    }
    summary.records.push_back(SummaryRecord{
        "frame",
        i,
        {TextField("name", name), IntField("vertices", reader.VertexCount()), IntField("offset", start)}});
  }
  summary.walkEnd = reader.Offset();
}

void SummarizeMdl7(modelfiles::MDL7R& reader, ModelSummary& summary) {
  int32_t bones = 0, groups = 0, dataSize = 0, lumpSize = 0, secondLumpSize = 0;
  reader.ReadHeaderCounts(bones, groups, dataSize, lumpSize, secondLumpSize);
  const uint8_t* header = reader.Header();
  summary.header.push_back(IntField("version", LoadI32(header, modelfiles::mdl7::kHeaderVersion)));
  summary.header.push_back(IntField("bones", bones));
  summary.header.push_back(IntField("groups", groups));
  summary.header.push_back(IntField("dataSize", dataSize));
  summary.header.push_back(IntField("lumpSize", lumpSize));
  summary.header.push_back(IntField("secondLumpSize", secondLumpSize));
  std::vector<int64_t> sizes;
  for (uint32_t i = 0; i < modelfiles::mdl7::kRecordSizeCount; ++i) {
    sizes.push_back(LoadU16(header, modelfiles::mdl7::kHeaderRecordSizes + 2 * i));
  }
  summary.header.push_back(IntsField("recordSizes", sizes));

  summary.counts = {IntField("bones", bones), IntField("groups", groups)};
  int64_t totals[5] = {};  // skins, texture coordinates, triangles, vertices, frames
  int32_t skinIndex = 0, frameIndex = 0;
  summary.walkComplete = true;
  uint32_t start = reader.Offset();
  if (!reader.SkipBones()) {
    Fail(summary, reader, start, "the bones", "cannot be read");
    return;
  }
  for (int32_t g = 0; g < groups; ++g) {
    start = reader.Offset();
    const std::string what = "group " + std::to_string(g);
    uint8_t type = 0;
    int32_t groupBytes = 0;
    char name[modelfiles::MDL7R::kNameSize] = {};
    int32_t counts[5] = {};
    if (!reader.ReadGroup(type, groupBytes, name) ||
        !reader.ReadGroupCounts(counts[0], counts[1], counts[2], counts[3], counts[4])) {
      Fail(summary, reader, start, what, "cannot be read");
      return;
    }
    summary.records.push_back(SummaryRecord{
        "group",
        g,
        {IntField("type", type), TextField("name", name), IntField("skins", counts[0]),
         IntField("texCoords", counts[1]), IntField("triangles", counts[2]), IntField("vertices", counts[3]),
         IntField("frames", counts[4]), IntField("bytes", groupBytes), IntField("offset", start)}});
    for (int i = 0; i < 5; ++i) totals[i] += counts[i];
    if (type != modelfiles::mdl7::kMeshGroupType) {
      if (!reader.WalkGroup()) {
        Fail(summary, reader, start, what, "of type " + std::to_string(type) + " cannot be passed over");
        return;
      }
      continue;
    }
    for (int32_t s = 0; s < counts[0]; ++s) {
      start = reader.Offset();
      uint8_t skinType = 0, mip = 0;
      char skinName[modelfiles::MDL7R::kNameSize] = {};
      int32_t width = 0, height = 0, bytesPerPixel = 0;
      if (!reader.ReadSkin(skinType, skinName) || !reader.ReadSkinImage(width, height, bytesPerPixel, mip) ||
          !reader.SkipSkinData()) {
        Fail(summary, reader, start, "skin " + std::to_string(skinIndex), "cannot be read");
        return;
      }
      summary.records.push_back(SummaryRecord{
          "skin",
          skinIndex++,
          {IntField("group", g), IntField("type", skinType), TextField("name", skinName),
           IntField("width", width), IntField("height", height), IntField("bytesPerPixel", bytesPerPixel),
           BoolField("mipmaps", mip != 0), IntField("offset", start)}});
    }
    start = reader.Offset();
    if (!reader.SkipTexCoords() || !reader.SkipTriangles() || !reader.SkipVertices()) {
      Fail(summary, reader, start, what + " mesh", "cannot be read");
      return;
    }
    for (int32_t f = 0; f < counts[4]; ++f) {
      start = reader.Offset();
      int32_t frameVertices = 0, transforms = 0;
      char frameName[modelfiles::MDL7R::kNameSize] = {};
      if (!reader.ReadFrame(frameVertices, transforms, frameName) || !reader.SkipFrameData()) {
        Fail(summary, reader, start, "frame " + std::to_string(frameIndex), "cannot be read");
        return;
      }
      summary.records.push_back(SummaryRecord{
          "frame",
          frameIndex++,
          {IntField("group", g), TextField("name", frameName), IntField("vertices", frameVertices),
           IntField("boneTransforms", transforms), IntField("offset", start)}});
    }
  }
  start = reader.Offset();
  if (!reader.SkipDeformers()) {
    Fail(summary, reader, start, "the deformers", "cannot be read");
    return;
  }
  summary.counts.insert(
      summary.counts.end(),
      {IntField("skins", totals[0]), IntField("texCoords", totals[1]), IntField("triangles", totals[2]),
       IntField("vertices", totals[3]), IntField("frames", totals[4])});
  summary.walkEnd = reader.Offset();
}

void SummarizeHmp(const HmpFile& file, ModelSummary& summary) {
  const auto& h = file.Header();
  summary.header = {IntField("version", h.version),
                    FloatsField("scale", {h.scale[0], h.scale[1], h.scale[2]}),
                    FloatsField("offset", {h.offset[0], h.offset[1], h.offset[2]}),
                    FloatField("param0", h.param0),
                    FloatField("param1", h.param1),
                    FloatField("param2", h.param2)};
  summary.counts = {IntField("skins", h.numSkins), IntField("vertices", h.numVertices),
                    IntField("frames", h.numFrames)};
  int32_t columns = 0, rows = 0;
  if (file.GridSize(columns, rows)) {
    summary.counts.push_back(IntField("columns", columns));
    summary.counts.push_back(IntField("rows", rows));
  }
  for (size_t i = 0; i < file.Skins().size(); ++i) {
    const HmpSkinInfo& skin = file.Skins()[i];
    summary.records.push_back(SummaryRecord{
        "skin",
        static_cast<int32_t>(i),
        {IntField("type", skin.type), IntField("width", skin.width), IntField("height", skin.height),
         IntField("bytesPerPixel", skin.bytesPerPixel), BoolField("mipmaps", skin.mipmaps),
         IntField("dataBytes", static_cast<int64_t>(skin.dataBytes)), IntField("offset", skin.offset)}});
  }
  for (size_t i = 0; i < file.Frames().size(); ++i) {
    const HmpFrameInfo& frame = file.Frames()[i];
    summary.records.push_back(SummaryRecord{
        "frame",
        static_cast<int32_t>(i),
        {IntField("type", frame.type), TextField("name", frame.name), IntField("vertices", h.numVertices),
         IntsField("boundMin", {frame.boundMin[0], frame.boundMin[1], frame.boundMin[2]}),
         IntsField("boundMax", {frame.boundMax[0], frame.boundMax[1], frame.boundMax[2]}),
         IntField("offset", frame.offset)}});
  }
  if (file.Truncated()) {
    summary.error = "truncated: " + file.WalkProblem() + " (record at byte " +
                    std::to_string(file.WalkEnd()) + " of " + std::to_string(file.FileSize()) + ")";
    return;
  }
  summary.walkComplete = file.WalkComplete();
  summary.walkEnd = file.WalkEnd();
  summary.walkProblem = file.WalkProblem();
}

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
  return SummaryField{name, QuotedName(value), JsonString(value)};
}

SummaryField BoolField(const std::string& name, bool value) {
  return SummaryField{name, value ? "yes" : "no", value ? "true" : "false"};
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

ModelSummary SummarizeModelFile(const std::string& path) {
  ModelSummary summary;
  summary.path = path;
  std::vector<uint8_t> start;
  {
    // The magic decides between the terrain reader and the model readers.
    std::string error;
    if (!ReadFileBytes(path, start, error)) {
      summary.error = error;
      return summary;
    }
  }
  if (start.size() < 4) {
    summary.error = "truncated: " + std::to_string(start.size()) + " bytes hold no magic";
    return summary;
  }
  summary.magic.assign(reinterpret_cast<const char*>(start.data()), 4);
  summary.fileSize = static_cast<uint32_t>(start.size());
  if (HmpFile::IsTerrainMagic(start.data(), start.size())) {
    HmpFile terrain;
    if (!terrain.Parse(std::move(start))) {
      summary.error = terrain.Error();
      return summary;
    }
    summary.format = terrain.Magic() + " terrain";
    SummarizeHmp(terrain, summary);
    return summary;
  }
  start.clear();
  start.shrink_to_fit();

  modelfiles::ModelOpenResult opened = modelfiles::OpenModelFile(path.c_str());
  switch (opened.status) {
    case modelfiles::ModelOpenStatus::kOpened:
      break;
    case modelfiles::ModelOpenStatus::kCannotRead:
      summary.error = "cannot read the file";
      return summary;
    case modelfiles::ModelOpenStatus::kUnsupportedMagic:
      summary.error = "unsupported format (magic " + QuotedName(summary.magic) + ")";
      return summary;
    case modelfiles::ModelOpenStatus::kRejected:
      summary.error = "not a readable " + summary.magic +
                      " file: its header is truncated or inconsistent with the file size";
      return summary;
    case modelfiles::ModelOpenStatus::kOutOfMemory:
      summary.error = "not enough memory to read it";
      return summary;
  }
  summary.format = summary.magic + " model";
  if (auto* mdl7 = dynamic_cast<modelfiles::MDL7R*>(opened.reader.get())) {
    SummarizeMdl7(*mdl7, summary);
  } else if (auto* legacy = dynamic_cast<modelfiles::LegacyModelReader*>(opened.reader.get())) {
    SummarizeLegacy(*legacy, summary);
  } else {
    summary.error = "no summary for this reader";
  }
  if (!summary.error.empty()) {
    summary.header.clear();
    summary.counts.clear();
    summary.records.clear();
  }
  return summary;
}

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

}  // namespace tools
