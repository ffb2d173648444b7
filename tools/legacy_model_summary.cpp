#include "tools/legacy_model_summary.h"

#include <string>
#include <vector>

#include "modelfiles/legacy_layout.h"
#include "platform/little_endian.h"
#include "tools/model_walk.h"

namespace tools {

namespace {

using platform::LoadF32;
using platform::LoadI32;
namespace idp2 = modelfiles::idp2;
namespace legacy = modelfiles::legacy;

// The bytes of a fixed name field up to its first zero.
std::string FieldName(const uint8_t* bytes, size_t size) {
  size_t length = 0;
  while (length < size && bytes[length] != 0) ++length;
  return std::string(reinterpret_cast<const char*>(bytes), length);
}

void SummarizeHeader(const uint8_t* header, bool idp2, ModelSummary& summary) {
  summary.header.push_back(IntField("version", LoadI32(header, legacy::kHeaderVersion)));
  if (idp2) {
    summary.header.push_back(IntField("skinWidth", LoadI32(header, idp2::kHeaderSkinWidth)));
    summary.header.push_back(IntField("skinHeight", LoadI32(header, idp2::kHeaderSkinHeight)));
    summary.header.push_back(IntField("frameSize", LoadI32(header, idp2::kHeaderFrameSize)));
    summary.header.push_back(IntField("glCommands", LoadI32(header, idp2::kHeaderGlCommandCount)));
    std::vector<int64_t> offsets;
    for (uint32_t i = 0; i < idp2::kHeaderOffsetCount; ++i)
      offsets.push_back(LoadI32(header, idp2::kHeaderOffsets + 4 * i));
    summary.header.push_back(IntsField("offsets", offsets));
  } else {
    summary.header.push_back(FloatsField(
        "scale", {LoadF32(header, legacy::kHeaderScale), LoadF32(header, legacy::kHeaderScale + 4),
                  LoadF32(header, legacy::kHeaderScale + 8)}));
    summary.header.push_back(FloatsField(
        "origin", {LoadF32(header, legacy::kHeaderOrigin), LoadF32(header, legacy::kHeaderOrigin + 4),
                   LoadF32(header, legacy::kHeaderOrigin + 8)}));
    summary.header.push_back(FloatField("radius", LoadF32(header, legacy::kHeaderRadius)));
    summary.header.push_back(IntField("skinWidth", LoadI32(header, legacy::kHeaderSkinWidth)));
    summary.header.push_back(IntField("skinHeight", LoadI32(header, legacy::kHeaderSkinHeight)));
    summary.header.push_back(IntField("flags", LoadI32(header, legacy::kHeaderFlags)));
  }
}

}  // namespace

void SummarizeLegacyModel(modelfiles::LegacyModelReader& reader, ModelSummary& summary) {
  const bool idp2 = reader.FormatCode() == modelfiles::ModelReader::kFormatIdp2;
  const uint8_t* header = nullptr;
  if (reader.GetHeader(&header)) SummarizeHeader(header, idp2, summary);
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
      FailWalk(summary, reader, start, what, what + " has a type this format does not know");
      return;
    }
    const uint8_t* level0 = nullptr;
    if (!reader.TakeSkinImage(idp2 ? &level0 : nullptr, nullptr, nullptr, nullptr)) {
      FailWalk(summary, reader, start, what, what + " image cannot be read");
      return;
    }
    SummaryRecord record{"skin", i, {}};
    if (idp2) {
      record.fields.push_back(
          TextField("name", level0 != nullptr ? FieldName(level0, idp2::kSkinNameSize) : ""));
    } else {
      record.fields = {IntField("type", type), IntField("width", width), IntField("height", height),
                       IntField("bytesPerPixel", bytesPerPixel), BoolField("mipmaps", mip != 0)};
    }
    record.fields.push_back(IntField("offset", start));
    summary.records.push_back(record);
  }
  uint32_t start = reader.Offset();
  if (!reader.SkipTexCoords()) {
    FailWalk(summary, reader, start, "", "the texture coordinates cannot be read");
    return;
  }
  start = reader.Offset();
  if (!reader.SkipTriangles()) {
    FailWalk(summary, reader, start, "", "the triangles cannot be read");
    return;
  }
  for (int32_t i = 0; i < reader.FrameCount(); ++i) {
    start = reader.Offset();
    const std::string what = "frame " + std::to_string(i);
    char name[modelfiles::LegacyModelReader::kNameSize] = {};
    if (!reader.ReadFrame(&name, nullptr, nullptr, nullptr, nullptr)) {
      FailWalk(summary, reader, start, what, what + " is not a simple frame (a frame group?)");
      return;
    }
    if (!reader.SkipFrameData()) {
      FailWalk(summary, reader, start, what, what + " vertices cannot be read");
      return;
    }
    summary.records.push_back(SummaryRecord{
        "frame",
        i,
        {TextField("name", name), IntField("vertices", reader.VertexCount()), IntField("offset", start)}});
  }
  summary.walkEnd = reader.Offset();
}

}  // namespace tools
