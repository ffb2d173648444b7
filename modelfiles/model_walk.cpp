#include "modelfiles/model_walk.h"

#include <new>
#include <string>

#include "modelfiles/idp2r.h"
#include "modelfiles/legacy_layout.h"
#include "modelfiles/legacy_model_reader.h"
#include "modelfiles/mdl2r.h"
#include "modelfiles/mdl7_layout.h"
#include "modelfiles/mdl7r.h"
#include "modelfiles/normal_table.h"
#include "platform/little_endian.h"

namespace modelfiles {

namespace {

using platform::FailureReason;
using platform::LoadF32;
using platform::LoadI32;
using platform::LoadU16;

// The bytes of a fixed name field up to its first zero.
std::string FieldName(const uint8_t* bytes, size_t size) {
  size_t length = 0;
  while (length < size && bytes[length] != 0) ++length;
  return std::string(reinterpret_cast<const char*>(bytes), length);
}

// Tells `visitor` that `step` failed with the reader's reason; false, so
// that a walk can end with `return Fail(...)`.
bool Fail(const ModelReader& reader, ModelVisitor& visitor, WalkFailure failure) {
  failure.reason = reader.LastFailure();
  visitor.Failure(failure);
  return false;
}

WalkFailure Step(WalkStep step, uint32_t start, int32_t group = -1, int32_t index = 0,
                 int32_t modelIndex = 0) {
  WalkFailure failure;
  failure.step = step;
  failure.start = start;
  failure.group = group;
  failure.index = index;
  failure.modelIndex = modelIndex;
  return failure;
}

// A skin or frame record of the given index over the model and group (-1
// outside MDL7) that starts at the reader's cursor.
template <typename Record>
Record RecordAt(const ModelReader& reader, int32_t index, int32_t group = -1) {
  Record record;
  record.index = index;
  record.group = group;
  record.offset = reader.Offset();
  return record;
}

// A count read from a file as the number of Read calls that report it: a
// negative count gets one call, which the reader refuses as malformed.
int32_t Calls(int32_t count) { return count < 0 ? 1 : count; }

// ---- MDL7 ----

// A record of 0 bytes (a record size of 0 in the header) leaves the cursor
// where it was, so every later one of its kind reads the same bytes: a run
// of up to 2^31 - 1 of them would spin and fill a visitor with copies. A
// run of bones, skins or frames ends after its first, as the reader's own
// walk passes over the rest; a longer run of any other record is refused at
// the header field that sized it.
bool EmptyRun(const MDL7R& reader, uint32_t before, int32_t index, int32_t count) {
  return index == 0 && count > 1 && reader.Offset() == before;
}

bool FailEmptyRun(ModelVisitor& visitor, WalkFailure failure, const char* sizeField, uint32_t sizeOffset) {
  failure.reason = FailureReason::Malformed(sizeField, sizeOffset);
  visitor.Failure(failure);
  return false;
}

// Where an MDL7 walk stands: the skin and frame indices over the model.
struct Mdl7Place {
  int32_t skin = 0;
  int32_t frame = 0;
};

void TellMdl7Header(MDL7R& reader, ModelVisitor& visitor) {
  ModelHeader header;
  header.family = ModelFamily::kMdl7;
  reader.ReadHeaderCounts(header.boneCount, header.groupCount, header.dataSize, header.lumpSize,
                          header.secondLumpSize);
  const uint8_t* bytes = reader.Header();
  header.version = LoadI32(bytes, mdl7::kHeaderVersion);
  for (uint32_t i = 0; i < mdl7::kRecordSizeCount; ++i) {
    header.recordSizes[i] = LoadU16(bytes, mdl7::kHeaderRecordSizes + 2 * i);
  }
  visitor.Header(header);
}

bool WalkBones(MDL7R& reader, int32_t count, ModelVisitor& visitor) {
  const uint32_t start = reader.Offset();
  if (count <= 0) return reader.SkipBones() || Fail(reader, visitor, Step(WalkStep::kBones, start));
  for (int32_t i = 0; i < count; ++i) {
    int32_t parent = -1;
    float x = 0, y = 0, z = 0;
    char name[MDL7R::kLongNameSize] = {};
    if (!reader.ReadBone(parent, x, y, z, name)) return Fail(reader, visitor, Step(WalkStep::kBones, start));
    visitor.Bone(i, parent, name);
    if (reader.Offset() == start) break;
  }
  return true;
}

bool WalkMdl7Skins(MDL7R& reader, const GroupRecord& group, Mdl7Place& place, ModelVisitor& visitor) {
  for (int32_t s = 0; s < group.skinCount; ++s) {
    SkinRecord skin = RecordAt<SkinRecord>(reader, place.skin, group.index);
    char name[MDL7R::kNameSize] = {};
    uint8_t mip = 0;
    if (!reader.ReadSkin(skin.type, name) ||
        !reader.ReadSkinImage(skin.width, skin.height, skin.bytesPerPixel, mip) ||
        !reader.TakeSkinData(&skin.pixels, &skin.material)) {
      return Fail(reader, visitor, Step(WalkStep::kSkin, skin.offset, group.index, s, place.skin));
    }
    skin.name = name;
    skin.mipLevels = mip != 0;
    ++place.skin;
    visitor.Skin(skin);
    if (reader.Offset() == skin.offset) break;
  }
  return true;
}

// One run of a group's mesh records: its step, its count, and the header
// field that sizes its records.
struct Mdl7Run {
  WalkStep step;
  int32_t count;
  const char* sizeField;
  uint32_t sizeOffset;
};

// Reads the records of `run` with `read`, which fills a Record, and tells
// each to the visitor through `tell`.
template <typename Record, typename Read>
bool ReadMdl7Run(MDL7R& reader, const GroupRecord& group, const Mdl7Run& run, ModelVisitor& visitor,
                 void (ModelVisitor::*tell)(const Record&), Read read) {
  for (int32_t i = 0; i < Calls(run.count); ++i) {
    Record record{group.index, i};
    const WalkFailure failure = Step(run.step, reader.Offset(), group.index, i);
    if (!read(record)) return Fail(reader, visitor, failure);
    if (EmptyRun(reader, failure.start, i, run.count))
      return FailEmptyRun(visitor, failure, run.sizeField, run.sizeOffset);
    (visitor.*tell)(record);
  }
  return true;
}

bool ReadMdl7Mesh(MDL7R& reader, const GroupRecord& group, ModelVisitor& visitor) {
  const Mdl7Run texCoords{WalkStep::kTexCoord, group.texCoordCount, "texture coordinate size",
                          mdl7::kHeaderTexCoordSize};
  const Mdl7Run triangles{WalkStep::kTriangle, group.triangleCount, "triangle size",
                          mdl7::kHeaderTriangleSize};
  const Mdl7Run vertices{WalkStep::kVertex, group.vertexCount, "vertex size", mdl7::kHeaderVertexSize};
  return ReadMdl7Run(reader, group, texCoords, visitor, &ModelVisitor::TexCoord,
                     [&](TexCoordRecord& r) { return reader.ReadTexCoord(r.s, r.t); }) &&
         ReadMdl7Run(
             reader, group, triangles, visitor, &ModelVisitor::Triangle,
             [&](TriangleRecord& r) { return reader.ReadTriangle(r.vertices, r.texCoords, r.material); }) &&
         ReadMdl7Run(reader, group, vertices, visitor, &ModelVisitor::Vertex, [&](VertexRecord& r) {
           if (!reader.ReadVertex(r.position[0], r.position[1], r.position[2], r.bone)) return false;
           // A normal stored as a table index fills the outputs but gives false.
           float(&n)[3] = r.normal;
           r.hasNormal = reader.ReadVertexNormal(n[0], n[1], n[2]) || n[0] != 0 || n[1] != 0 || n[2] != 0;
           return true;
         });
}

bool WalkMdl7Frames(MDL7R& reader, const GroupRecord& group, Mdl7Place& place, ModelVisitor& visitor) {
  for (int32_t f = 0; f < group.frameCount; ++f) {
    FrameRecord frame = RecordAt<FrameRecord>(reader, place.frame, group.index);
    const WalkFailure failure = Step(WalkStep::kFrame, frame.offset, group.index, f, place.frame);
    char name[MDL7R::kNameSize] = {};
    if (!reader.ReadFrame(frame.vertexCount, frame.boneTransformCount, name))
      return Fail(reader, visitor, failure);
    frame.name = name;
    visitor.Frame(frame);
    for (int32_t v = 0; v < Calls(frame.vertexCount); ++v) {
      FrameVertexRecord vertex;
      const uint32_t before = reader.Offset();
      float(&p)[3] = vertex.position;
      if (!reader.ReadFrameVertex(vertex.vertex, p[0], p[1], p[2])) return Fail(reader, visitor, failure);
      float(&n)[3] = vertex.normal;
      vertex.hasNormal =
          reader.ReadFrameVertexNormal(n[0], n[1], n[2]) || n[0] != 0 || n[1] != 0 || n[2] != 0;
      if (EmptyRun(reader, before, v, frame.vertexCount))
        return FailEmptyRun(visitor, failure, "frame vertex size", mdl7::kHeaderFrameVertexSize);
      visitor.FrameVertex(vertex);
    }
    if (!reader.SkipBoneTransforms()) return Fail(reader, visitor, failure);
    ++place.frame;
    visitor.FrameDone(frame);
    if (reader.Offset() == frame.offset) break;
  }
  return true;
}

bool WalkMeshGroup(MDL7R& reader, const GroupRecord& group, Mdl7Place& place, ModelVisitor& visitor) {
  if (!WalkMdl7Skins(reader, group, place, visitor)) return false;
  const uint32_t meshStart = reader.Offset();
  if (visitor.WantsMesh()) {
    if (!ReadMdl7Mesh(reader, group, visitor)) return false;
  } else if (!reader.SkipTexCoords() || !reader.SkipTriangles() || !reader.SkipVertices()) {
    return Fail(reader, visitor, Step(WalkStep::kMesh, meshStart, group.index));
  }
  return WalkMdl7Frames(reader, group, place, visitor);
}

bool WalkGroups(MDL7R& reader, int32_t count, ModelVisitor& visitor) {
  Mdl7Place place;
  for (int32_t g = 0; g < count; ++g) {
    GroupRecord group;
    group.index = g;
    group.offset = reader.Offset();
    char name[MDL7R::kNameSize] = {};
    if (!reader.ReadGroup(group.type, group.byteSize, name) ||
        !reader.ReadGroupCounts(group.skinCount, group.texCoordCount, group.triangleCount, group.vertexCount,
                                group.frameCount)) {
      return Fail(reader, visitor, Step(WalkStep::kGroup, group.offset, g));
    }
    group.name = name;
    visitor.Group(group);
    if (group.type == mdl7::kMeshGroupType) {
      if (!WalkMeshGroup(reader, group, place, visitor)) return false;
    } else if (!reader.WalkGroup()) {
      WalkFailure failure = Step(WalkStep::kGroupBody, group.offset, g);
      failure.groupType = group.type;
      return Fail(reader, visitor, failure);
    }
  }
  return true;
}

bool WalkMdl7(MDL7R& reader, ModelVisitor& visitor) {
  TellMdl7Header(reader, visitor);
  int32_t bones = 0, groups = 0, dataSize = 0, lumpSize = 0, secondLumpSize = 0;
  reader.ReadHeaderCounts(bones, groups, dataSize, lumpSize, secondLumpSize);
  if (!WalkBones(reader, bones, visitor) || !WalkGroups(reader, groups, visitor)) return false;
  const uint32_t start = reader.Offset();
  if (!reader.SkipDeformers()) return Fail(reader, visitor, Step(WalkStep::kDeformers, start));
  visitor.Deformers(reader.TotalDeformerCount());
  visitor.End(reader.Offset());
  return true;
}

// ---- IDPO, MDL2 to MDL6, IDP2 ----

// What a legacy walk needs besides the reader: the IDPO and MDL2 reader
// (null for the other formats) and the header's scale and origin.
struct LegacyPlace {
  MDL2R* idpo = nullptr;
  bool idp2 = false;
  ModelHeader header;
};

ModelHeader LegacyHeader(LegacyModelReader& reader, bool idp2) {
  ModelHeader header;
  header.family = idp2 ? ModelFamily::kIdp2 : ModelFamily::kLegacy;
  header.skinCount = reader.SkinCount();
  header.vertexCount = reader.VertexCount();
  header.triangleCount = reader.TriangleCount();
  header.frameCount = reader.FrameCount();
  header.texCoordCount = reader.TexCoordCount();
  const uint8_t* bytes = nullptr;
  if (!reader.GetHeader(&bytes)) return header;
  header.version = LoadI32(bytes, legacy::kHeaderVersion);
  if (idp2) {
    header.skinWidth = LoadI32(bytes, idp2::kHeaderSkinWidth);
    header.skinHeight = LoadI32(bytes, idp2::kHeaderSkinHeight);
    header.frameSize = LoadI32(bytes, idp2::kHeaderFrameSize);
    header.glCommandCount = LoadI32(bytes, idp2::kHeaderGlCommandCount);
    for (uint32_t i = 0; i < idp2::kHeaderOffsetCount; ++i)
      header.offsets[i] = LoadI32(bytes, idp2::kHeaderOffsets + 4 * i);
    return header;
  }
  for (uint32_t a = 0; a < 3; ++a) {
    header.scale[a] = LoadF32(bytes, legacy::kHeaderScale + 4 * a);
    header.origin[a] = LoadF32(bytes, legacy::kHeaderOrigin + 4 * a);
  }
  header.radius = LoadF32(bytes, legacy::kHeaderRadius);
  header.skinWidth = LoadI32(bytes, legacy::kHeaderSkinWidth);
  header.skinHeight = LoadI32(bytes, legacy::kHeaderSkinHeight);
  header.flags = LoadI32(bytes, legacy::kHeaderFlags);
  return header;
}

bool WalkLegacySkins(LegacyModelReader& reader, const LegacyPlace& place, ModelVisitor& visitor) {
  for (int32_t i = 0; i < place.header.skinCount; ++i) {
    SkinRecord skin = RecordAt<SkinRecord>(reader, i);
    uint8_t mip = 0;
    const uint8_t* level0 = nullptr;
    if (!reader.ReadSkin(&skin.type, &skin.width, &skin.height, &skin.bytesPerPixel, &mip) ||
        !reader.TakeSkinImage(&level0, nullptr, nullptr, nullptr)) {
      return Fail(reader, visitor, Step(WalkStep::kSkin, skin.offset, -1, i, i));
    }
    skin.mipLevels = mip != 0;
    if (place.idp2) {
      skin.name = level0 != nullptr ? FieldName(level0, IDP2R::kSkinNameSize) : "";
    } else {
      skin.pixels = level0;
    }
    visitor.Skin(skin);
  }
  return true;
}

bool ReadLegacyMesh(LegacyModelReader& reader, const LegacyPlace& place, ModelVisitor& visitor) {
  for (int32_t i = 0; i < Calls(place.header.texCoordCount); ++i) {
    int16_t s = 0, t = 0;
    if (!reader.ReadTexCoord(&s, &t))
      return Fail(reader, visitor, Step(WalkStep::kTexCoord, reader.Offset(), -1, i, i));
    const bool onSeam = place.idpo != nullptr && place.idpo->TexCoordOnSeam();
    visitor.TexCoord(TexCoordRecord{-1, i, static_cast<float>(s), static_cast<float>(t), onSeam});
  }
  for (int32_t i = 0; i < Calls(place.header.triangleCount); ++i) {
    TriangleRecord triangle{-1, i};
    if (!reader.ReadTriangle(&triangle.vertices, &triangle.texCoords))
      return Fail(reader, visitor, Step(WalkStep::kTriangle, reader.Offset(), -1, i, i));
    if (place.idpo != nullptr) {
      for (int c = 0; c < 3; ++c) triangle.texCoords[c] = triangle.vertices[c];
      triangle.facesFront = place.idpo->TriangleFacesFront();
    }
    visitor.Triangle(triangle);
  }
  return true;
}

bool PassLegacyMesh(LegacyModelReader& reader, ModelVisitor& visitor) {
  uint32_t start = reader.Offset();
  if (!reader.SkipTexCoords()) return Fail(reader, visitor, Step(WalkStep::kTexCoords, start));
  start = reader.Offset();
  if (!reader.SkipTriangles()) return Fail(reader, visitor, Step(WalkStep::kTriangles, start));
  return true;
}

// Reads the vertices of the frame just read, placed by `scale` and
// `translation`, and tells the frame's end.
bool ReadLegacyFrameVertices(LegacyModelReader& reader, const FrameRecord& frame, const float (&scale)[3],
                             const float (&translation)[3], ModelVisitor& visitor) {
  visitor.Frame(frame);
  for (int32_t v = 0; v < Calls(frame.vertexCount); ++v) {
    uint16_t packed[3] = {};
    int32_t normal = 0;
    if (!reader.ReadFrameVertex(&packed, &normal))
      return Fail(reader, visitor, Step(WalkStep::kFrame, frame.offset, -1, frame.index, frame.index));
    FrameVertexRecord vertex;
    vertex.vertex = v;
    // The reader gives 0 for an index outside the table.
    vertex.hasNormal = true;
    for (int axis = 0; axis < 3; ++axis) {
      vertex.position[axis] = scale[axis] * packed[axis] + translation[axis];
      vertex.normal[axis] = NormalTable[normal][axis];
    }
    visitor.FrameVertex(vertex);
  }
  visitor.FrameDone(frame);
  return true;
}

bool WalkFrameGroup(MDL2R& reader, FrameRecord frame, const LegacyPlace& place, ModelVisitor& visitor) {
  const WalkFailure failure = Step(WalkStep::kFrame, frame.offset, -1, frame.index, frame.index);
  if (!reader.ReadFrameGroup(frame.groupFrames)) return Fail(reader, visitor, failure);
  for (frame.groupFrame = 0; frame.groupFrame < frame.groupFrames; ++frame.groupFrame) {
    char name[LegacyModelReader::kNameSize] = {};
    if (!reader.ReadGroupFrame(&name, nullptr, nullptr)) return Fail(reader, visitor, failure);
    frame.name = name;
    if (!ReadLegacyFrameVertices(reader, frame, place.header.scale, place.header.origin, visitor))
      return false;
  }
  return true;
}

bool WalkLegacyFrames(LegacyModelReader& reader, const LegacyPlace& place, ModelVisitor& visitor) {
  for (int32_t f = 0; f < place.header.frameCount; ++f) {
    FrameRecord frame = RecordAt<FrameRecord>(reader, f);
    frame.vertexCount = place.header.vertexCount;
    if (place.idpo != nullptr && place.idpo->NextFrameIsGroup()) {
      if (!WalkFrameGroup(*place.idpo, frame, place, visitor)) return false;
      continue;
    }
    char name[LegacyModelReader::kNameSize] = {};
    float scale[3] = {}, translation[3] = {};
    if (!reader.ReadFrame(&name, nullptr, nullptr, &scale, &translation))
      return Fail(reader, visitor, Step(WalkStep::kFrame, frame.offset, -1, f, f));
    frame.name = name;
    const bool own = place.idp2;
    if (!ReadLegacyFrameVertices(reader, frame, own ? scale : place.header.scale,
                                 own ? translation : place.header.origin, visitor)) {
      return false;
    }
  }
  return true;
}

bool WalkLegacy(LegacyModelReader& reader, ModelVisitor& visitor) {
  LegacyPlace place;
  place.idp2 = reader.FormatCode() == ModelReader::kFormatIdp2;
  if (reader.FormatCode() == ModelReader::kFormatIdpo) place.idpo = dynamic_cast<MDL2R*>(&reader);
  place.header = LegacyHeader(reader, place.idp2);
  visitor.Header(place.header);
  if (!WalkLegacySkins(reader, place, visitor)) return false;
  if (!(visitor.WantsMesh() ? ReadLegacyMesh(reader, place, visitor) : PassLegacyMesh(reader, visitor)))
    return false;
  if (!WalkLegacyFrames(reader, place, visitor)) return false;
  visitor.End(reader.Offset());
  return true;
}

}  // namespace

bool WalkModel(ModelReader& reader, ModelVisitor& visitor) {
  try {
    if (auto* mdl7 = dynamic_cast<MDL7R*>(&reader)) return WalkMdl7(*mdl7, visitor);
    if (auto* legacy = dynamic_cast<LegacyModelReader*>(&reader)) return WalkLegacy(*legacy, visitor);
    WalkFailure failure = Step(WalkStep::kGroup, reader.Offset());
    failure.reason = FailureReason::Unsupported("a reader the walk does not know");
    visitor.Failure(failure);
  } catch (const std::bad_alloc&) {
    WalkFailure failure = Step(WalkStep::kGroup, reader.Offset());
    failure.reason = FailureReason::TooLarge("more records than memory holds");
    visitor.Failure(failure);
  }
  return false;
}

}  // namespace modelfiles
