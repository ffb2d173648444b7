#include "render/terrain_summary.h"

#include <string>
#include <utility>

#include "terrain/hmp_file.h"

namespace render {

namespace {

std::vector<SummaryField> SkinFields(const terrain::HmpSkinInfo& skin) {
  return {IntField("type", skin.type),        IntField("width", skin.width),
          IntField("height", skin.height),    IntField("bytesPerPixel", skin.bytesPerPixel),
          BoolField("mipmaps", skin.mipmaps), IntField("dataBytes", static_cast<int64_t>(skin.dataBytes)),
          IntField("offset", skin.offset)};
}

std::vector<SummaryField> FrameFields(const terrain::HmpFrameInfo& frame, int32_t vertices) {
  return {IntField("type", frame.type),
          TextField("name", frame.name),
          IntField("vertices", vertices),
          IntsField("boundMin", {frame.boundMin[0], frame.boundMin[1], frame.boundMin[2]}),
          IntsField("boundMax", {frame.boundMax[0], frame.boundMax[1], frame.boundMax[2]}),
          IntField("offset", frame.offset)};
}

// Adds a record of `kind` for each of `infos`, numbered from 0.
template <typename Info, typename Fields>
void AddRecords(const char* kind, const std::vector<Info>& infos, Fields fields, ModelSummary& summary) {
  for (size_t i = 0; i < infos.size(); ++i) {
    summary.records.push_back(SummaryRecord{kind, static_cast<int32_t>(i), fields(infos[i])});
  }
}

}  // namespace

void SummarizeTerrain(std::vector<uint8_t> bytes, ModelSummary& summary) {
  terrain::HmpFile file;
  if (!file.Parse(std::move(bytes))) {
    summary.error = file.LastFailure().Text();
    return;
  }
  summary.format = file.Magic() + " terrain";
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
  AddRecords("skin", file.Skins(), SkinFields, summary);
  AddRecords(
      "frame", file.Frames(),
      [&h](const terrain::HmpFrameInfo& frame) { return FrameFields(frame, h.numVertices); }, summary);
  if (file.Truncated()) {
    summary.error = file.WalkProblem().Text();
    return;
  }
  summary.walkComplete = file.WalkComplete();
  summary.walkEnd = file.WalkEnd();
  if (!summary.walkComplete) summary.walkProblem = file.WalkProblem().Text();
}

}  // namespace render
