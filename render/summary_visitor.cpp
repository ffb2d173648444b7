#include "render/summary_visitor.h"

#include <algorithm>
#include <vector>

namespace render {

namespace {

using modelfiles::ModelFamily;
using modelfiles::WalkStep;

void SummarizeMdl7Header(const modelfiles::ModelHeader& header, ModelSummary& summary) {
  summary.header.push_back(IntField("version", header.version));
  summary.header.push_back(IntField("bones", header.boneCount));
  summary.header.push_back(IntField("groups", header.groupCount));
  summary.header.push_back(IntField("dataSize", header.dataSize));
  summary.header.push_back(IntField("lumpSize", header.lumpSize));
  summary.header.push_back(IntField("secondLumpSize", header.secondLumpSize));
  summary.header.push_back(IntsField(
      "recordSizes", std::vector<int64_t>(std::begin(header.recordSizes), std::end(header.recordSizes))));
  summary.counts = {IntField("bones", header.boneCount), IntField("groups", header.groupCount)};
}

void SummarizeLegacyHeader(const modelfiles::ModelHeader& h, ModelSummary& summary) {
  summary.header.push_back(IntField("version", h.version));
  if (h.family == ModelFamily::kIdp2) {
    summary.header.insert(
        summary.header.end(),
        {IntField("skinWidth", h.skinWidth), IntField("skinHeight", h.skinHeight),
         IntField("frameSize", h.frameSize), IntField("glCommands", h.glCommandCount),
         IntsField("offsets", std::vector<int64_t>(std::begin(h.offsets), std::end(h.offsets)))});
  } else {
    summary.header.insert(summary.header.end(),
                          {FloatsField("scale", {h.scale[0], h.scale[1], h.scale[2]}),
                           FloatsField("origin", {h.origin[0], h.origin[1], h.origin[2]}),
                           FloatField("radius", h.radius), IntField("skinWidth", h.skinWidth),
                           IntField("skinHeight", h.skinHeight), IntField("flags", h.flags)});
  }
  summary.counts = {IntField("skins", h.skinCount), IntField("vertices", h.vertexCount),
                    IntField("triangles", h.triangleCount), IntField("frames", h.frameCount),
                    IntField("texCoords", h.texCoordCount)};
}

// How the summary names a failed step: the record leading the reason's
// text (empty for a run the reason names alone), and the problem to report
// when the reader kept no reason.
void NameStep(const modelfiles::WalkFailure& failure, std::string& record, std::string& otherwise) {
  const std::string group = "group " + std::to_string(failure.group);
  switch (failure.step) {
    case WalkStep::kGroup:
      record = group;
      otherwise = group + " cannot be read";
      return;
    case WalkStep::kGroupBody:
      record = group;
      otherwise = group + " of type " + std::to_string(failure.groupType) + " cannot be passed over";
      return;
    case WalkStep::kMesh:
      record = group;
      otherwise = group + " mesh cannot be read";
      return;
    case WalkStep::kSkin:
      record = "skin " + std::to_string(failure.modelIndex);
      break;
    case WalkStep::kFrame:
      record = "frame " + std::to_string(failure.modelIndex);
      break;
    default:
      record.clear();
      otherwise = "the model's records cannot be read";
      return;
  }
  otherwise = record + " cannot be read";
}

}  // namespace

void SummaryVisitor::Header(const modelfiles::ModelHeader& header) {
  family_ = header.family;
  if (family_ == ModelFamily::kMdl7) {
    SummarizeMdl7Header(header, summary_);
  } else {
    SummarizeLegacyHeader(header, summary_);
  }
  summary_.walkComplete = true;
}

void SummaryVisitor::Group(const modelfiles::GroupRecord& g) {
  summary_.records.push_back(
      SummaryRecord{"group",
                    g.index,
                    {IntField("type", g.type), TextField("name", g.name), IntField("skins", g.skinCount),
                     IntField("texCoords", g.texCoordCount), IntField("triangles", g.triangleCount),
                     IntField("vertices", g.vertexCount), IntField("frames", g.frameCount),
                     IntField("bytes", g.byteSize), IntField("offset", g.offset)}});
  const int32_t counts[5] = {g.skinCount, g.texCoordCount, g.triangleCount, g.vertexCount, g.frameCount};
  for (int i = 0; i < 5; ++i) totals_[i] += counts[i];
}

void SummaryVisitor::Skin(const modelfiles::SkinRecord& skin) {
  SummaryRecord record{"skin", skin.index, {}};
  const std::vector<SummaryField> image = {IntField("width", skin.width), IntField("height", skin.height),
                                           IntField("bytesPerPixel", skin.bytesPerPixel),
                                           BoolField("mipmaps", skin.mipLevels)};
  if (family_ == ModelFamily::kMdl7) {
    record.fields = {IntField("group", skin.group), IntField("type", skin.type),
                     TextField("name", skin.name)};
    record.fields.insert(record.fields.end(), image.begin(), image.end());
  } else if (family_ == ModelFamily::kLegacy) {
    record.fields = {IntField("type", skin.type)};
    record.fields.insert(record.fields.end(), image.begin(), image.end());
  } else {
    record.fields = {TextField("name", skin.name)};
  }
  record.fields.push_back(IntField("offset", skin.offset));
  summary_.records.push_back(record);
}

void SummaryVisitor::Frame(const modelfiles::FrameRecord& frame) {
  if (frame.groupFrame > 0) return;
  boundsEmpty_ = true;
  frameName_ = frame.name;
}

void SummaryVisitor::FrameVertex(const modelfiles::FrameVertexRecord& vertex) {
  for (int a = 0; a < 3; ++a) {
    const double p = vertex.position[a];
    minimum_[a] = boundsEmpty_ ? p : std::min(minimum_[a], p);
    maximum_[a] = boundsEmpty_ ? p : std::max(maximum_[a], p);
  }
  boundsEmpty_ = false;
}

void SummaryVisitor::AddBounds(SummaryRecord& record) const {
  if (boundsEmpty_) return;
  record.fields.push_back(FloatsField("min", {minimum_[0], minimum_[1], minimum_[2]}));
  record.fields.push_back(FloatsField("max", {maximum_[0], maximum_[1], maximum_[2]}));
}

void SummaryVisitor::FrameDone(const modelfiles::FrameRecord& frame) {
  if (frame.groupFrame + 1 < frame.groupFrames) return;
  SummaryRecord record{"frame", frame.index, {}};
  if (family_ == ModelFamily::kMdl7) {
    record.fields = {IntField("group", frame.group), TextField("name", frameName_),
                     IntField("vertices", frame.vertexCount),
                     IntField("boneTransforms", frame.boneTransformCount), IntField("offset", frame.offset)};
  } else {
    record.fields = {TextField("name", frameName_), IntField("vertices", frame.vertexCount),
                     IntField("offset", frame.offset)};
    if (frame.groupFrames > 1) record.fields.push_back(IntField("groupFrames", frame.groupFrames));
  }
  AddBounds(record);
  summary_.records.push_back(record);
}

void SummaryVisitor::End(uint32_t offset) {
  if (family_ == ModelFamily::kMdl7) {
    summary_.counts.insert(
        summary_.counts.end(),
        {IntField("skins", totals_[0]), IntField("texCoords", totals_[1]), IntField("triangles", totals_[2]),
         IntField("vertices", totals_[3]), IntField("frames", totals_[4])});
  }
  summary_.walkEnd = offset;
}

void SummaryVisitor::Failure(const modelfiles::WalkFailure& failure) {
  using Kind = platform::FailureReason::Kind;
  std::string record, otherwise;
  NameStep(failure, record, otherwise);
  const platform::FailureReason& reason = failure.reason;
  if (!reason.IsFailure()) {
    StopWalk(summary_, failure.start, otherwise);
    return;
  }
  const std::string text = (record.empty() ? "" : record + ": ") + reason.Text();
  if (reason.GetKind() == Kind::kMalformed || reason.GetKind() == Kind::kUnsupported) {
    StopWalk(summary_, failure.start, text);
  } else {
    summary_.error = text;
  }
}

}  // namespace render
