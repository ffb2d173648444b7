#include "tools/terrain_summary.h"

#include <string>
#include <utility>

#include "terrain/hmp_file.h"

namespace tools {

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
  for (size_t i = 0; i < file.Skins().size(); ++i) {
    const terrain::HmpSkinInfo& skin = file.Skins()[i];
    summary.records.push_back(SummaryRecord{
        "skin",
        static_cast<int32_t>(i),
        {IntField("type", skin.type), IntField("width", skin.width), IntField("height", skin.height),
         IntField("bytesPerPixel", skin.bytesPerPixel), BoolField("mipmaps", skin.mipmaps),
         IntField("dataBytes", static_cast<int64_t>(skin.dataBytes)), IntField("offset", skin.offset)}});
  }
  for (size_t i = 0; i < file.Frames().size(); ++i) {
    const terrain::HmpFrameInfo& frame = file.Frames()[i];
    summary.records.push_back(SummaryRecord{
        "frame",
        static_cast<int32_t>(i),
        {IntField("type", frame.type), TextField("name", frame.name), IntField("vertices", h.numVertices),
         IntsField("boundMin", {frame.boundMin[0], frame.boundMin[1], frame.boundMin[2]}),
         IntsField("boundMax", {frame.boundMax[0], frame.boundMax[1], frame.boundMax[2]}),
         IntField("offset", frame.offset)}});
  }
  if (file.Truncated()) {
    summary.error = file.WalkProblem().Text();
    return;
  }
  summary.walkComplete = file.WalkComplete();
  summary.walkEnd = file.WalkEnd();
  if (!summary.walkComplete) summary.walkProblem = file.WalkProblem().Text();
}

}  // namespace tools
