#include "tools/mdl7_summary.h"

#include <string>
#include <vector>

#include "modelfiles/mdl7_layout.h"
#include "platform/little_endian.h"
#include "tools/model_walk.h"

namespace tools {

namespace {

using modelfiles::MDL7R;

// Running totals over the groups: skins, texture coordinates, triangles,
// vertices, frames; and the indices the next skin and frame take.
struct Mdl7Walk {
  int64_t totals[5] = {};
  int32_t skinIndex = 0;
  int32_t frameIndex = 0;
};

// The skins, mesh and frames of mesh group `group`, whose counts are
// `counts`; false when the walk ends in it.
bool SummarizeMeshGroup(MDL7R& reader, int32_t group, const int32_t (&counts)[5], Mdl7Walk& walk,
                        ModelSummary& summary) {
  for (int32_t s = 0; s < counts[0]; ++s) {
    const uint32_t start = reader.Offset();
    uint8_t skinType = 0, mip = 0;
    char skinName[MDL7R::kNameSize] = {};
    int32_t width = 0, height = 0, bytesPerPixel = 0;
    if (!reader.ReadSkin(skinType, skinName) || !reader.ReadSkinImage(width, height, bytesPerPixel, mip) ||
        !reader.SkipSkinData()) {
      const std::string what = "skin " + std::to_string(walk.skinIndex);
      FailWalk(summary, reader, start, what, what + " cannot be read");
      return false;
    }
    summary.records.push_back(SummaryRecord{
        "skin",
        walk.skinIndex++,
        {IntField("group", group), IntField("type", skinType), TextField("name", skinName),
         IntField("width", width), IntField("height", height), IntField("bytesPerPixel", bytesPerPixel),
         BoolField("mipmaps", mip != 0), IntField("offset", start)}});
    // As in the reader's walk: a skin of 0 bytes repeats itself to the end,
    // up to 2^31 - 1 times.
    if (reader.Offset() == start) break;
  }
  const uint32_t meshStart = reader.Offset();
  if (!reader.SkipTexCoords() || !reader.SkipTriangles() || !reader.SkipVertices()) {
    const std::string what = "group " + std::to_string(group);
    FailWalk(summary, reader, meshStart, what, what + " mesh cannot be read");
    return false;
  }
  for (int32_t f = 0; f < counts[4]; ++f) {
    const uint32_t start = reader.Offset();
    int32_t frameVertices = 0, transforms = 0;
    char frameName[MDL7R::kNameSize] = {};
    if (!reader.ReadFrame(frameVertices, transforms, frameName) || !reader.SkipFrameData()) {
      const std::string what = "frame " + std::to_string(walk.frameIndex);
      FailWalk(summary, reader, start, what, what + " cannot be read");
      return false;
    }
    summary.records.push_back(SummaryRecord{
        "frame",
        walk.frameIndex++,
        {IntField("group", group), TextField("name", frameName), IntField("vertices", frameVertices),
         IntField("boneTransforms", transforms), IntField("offset", start)}});
    if (reader.Offset() == start) break;
  }
  return true;
}

}  // namespace

void SummarizeMdl7(MDL7R& reader, ModelSummary& summary) {
  namespace mdl7 = modelfiles::mdl7;
  int32_t bones = 0, groups = 0, dataSize = 0, lumpSize = 0, secondLumpSize = 0;
  reader.ReadHeaderCounts(bones, groups, dataSize, lumpSize, secondLumpSize);
  const uint8_t* header = reader.Header();
  summary.header.push_back(IntField("version", platform::LoadI32(header, mdl7::kHeaderVersion)));
  summary.header.push_back(IntField("bones", bones));
  summary.header.push_back(IntField("groups", groups));
  summary.header.push_back(IntField("dataSize", dataSize));
  summary.header.push_back(IntField("lumpSize", lumpSize));
  summary.header.push_back(IntField("secondLumpSize", secondLumpSize));
  std::vector<int64_t> sizes;
  for (uint32_t i = 0; i < mdl7::kRecordSizeCount; ++i) {
    sizes.push_back(platform::LoadU16(header, mdl7::kHeaderRecordSizes + 2 * i));
  }
  summary.header.push_back(IntsField("recordSizes", sizes));
  summary.counts = {IntField("bones", bones), IntField("groups", groups)};

  Mdl7Walk walk;
  summary.walkComplete = true;
  uint32_t start = reader.Offset();
  if (!reader.SkipBones()) {
    FailWalk(summary, reader, start, "", "the bones cannot be read");
    return;
  }
  for (int32_t g = 0; g < groups; ++g) {
    start = reader.Offset();
    const std::string what = "group " + std::to_string(g);
    uint8_t type = 0;
    int32_t groupBytes = 0;
    char name[MDL7R::kNameSize] = {};
    int32_t counts[5] = {};
    if (!reader.ReadGroup(type, groupBytes, name) ||
        !reader.ReadGroupCounts(counts[0], counts[1], counts[2], counts[3], counts[4])) {
      FailWalk(summary, reader, start, what, what + " cannot be read");
      return;
    }
    summary.records.push_back(SummaryRecord{
        "group",
        g,
        {IntField("type", type), TextField("name", name), IntField("skins", counts[0]),
         IntField("texCoords", counts[1]), IntField("triangles", counts[2]), IntField("vertices", counts[3]),
         IntField("frames", counts[4]), IntField("bytes", groupBytes), IntField("offset", start)}});
    for (int i = 0; i < 5; ++i) walk.totals[i] += counts[i];
    if (type == mdl7::kMeshGroupType) {
      if (!SummarizeMeshGroup(reader, g, counts, walk, summary)) return;
    } else if (!reader.WalkGroup()) {
      FailWalk(summary, reader, start, what,
               what + " of type " + std::to_string(type) + " cannot be passed over");
      return;
    }
  }
  start = reader.Offset();
  if (!reader.SkipDeformers()) {
    FailWalk(summary, reader, start, "", "the deformers cannot be read");
    return;
  }
  const int64_t(&totals)[5] = walk.totals;
  summary.counts.insert(
      summary.counts.end(),
      {IntField("skins", totals[0]), IntField("texCoords", totals[1]), IntField("triangles", totals[2]),
       IntField("vertices", totals[3]), IntField("frames", totals[4])});
  summary.walkEnd = reader.Offset();
}

}  // namespace tools
