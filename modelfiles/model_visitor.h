// What a walk over a model tells: a callback per record kind.
#pragma once

#include <cstdint>
#include <string>

#include "modelfiles/mdl7_layout.h"
#include "modelfiles/mdl7r.h"
#include "platform/failure_reason.h"

namespace modelfiles {

// The families of model files, by the header they share.
enum class ModelFamily {
  kMdl7,
  // IDPO, MDL2, MDL3, MDL4, MDL5 and MDL6: the 84-byte header.
  kLegacy,
  kIdp2,
};

// The header fields of a model. Only those of its family are filled.
struct ModelHeader {
  ModelFamily family = ModelFamily::kMdl7;
  int32_t version = 0;
  // MDL7.
  int32_t boneCount = 0;
  int32_t groupCount = 0;
  int32_t dataSize = 0;
  int32_t lumpSize = 0;
  int32_t secondLumpSize = 0;
  uint16_t recordSizes[mdl7::kRecordSizeCount] = {};
  // The single-mesh families: counts of the one mesh.
  int32_t skinCount = 0;
  int32_t vertexCount = 0;
  int32_t triangleCount = 0;
  int32_t frameCount = 0;
  int32_t texCoordCount = 0;
  int32_t skinWidth = 0;
  int32_t skinHeight = 0;
  // The 84-byte header: how packed frame positions scale and move.
  float scale[3] = {};
  float origin[3] = {};
  float radius = 0;
  int32_t flags = 0;
  // IDP2.
  int32_t frameSize = 0;
  int32_t glCommandCount = 0;
  int32_t offsets[6] = {};
};

// An MDL7 group record; the single-mesh families have one mesh and no group.
struct GroupRecord {
  int32_t index = 0;
  uint8_t type = 0;
  std::string name;
  int32_t skinCount = 0;
  int32_t texCoordCount = 0;
  int32_t triangleCount = 0;
  int32_t vertexCount = 0;
  int32_t frameCount = 0;
  int32_t byteSize = 0;
  uint32_t offset = 0;
};

// A skin, told once its data is taken. `index` counts the skins of the
// whole model, `group` is -1 outside MDL7.
struct SkinRecord {
  int32_t index = 0;
  int32_t group = -1;
  uint8_t type = 0;
  // The MDL7 skin name, or the IDP2 skin file name.
  std::string name;
  int32_t width = 0;
  int32_t height = 0;
  int32_t bytesPerPixel = 0;
  bool mipLevels = false;
  uint32_t offset = 0;
  // The first image level, `width` x `height` pixels of `bytesPerPixel`
  // bytes inside the reader's buffer; null where the skin holds no image.
  const uint8_t* pixels = nullptr;
  // MDL7 only: the skin's material record.
  SkinMaterial material;
};

// A texture coordinate: in pixels of the skin for the single-mesh
// families, across the skin (0 to 1) for MDL7.
struct TexCoordRecord {
  int32_t group = -1;
  int32_t index = 0;
  float s = 0;
  float t = 0;
  // IDPO and MDL2: on the seam between the skin's front and back halves.
  bool onSeam = false;
};

struct TriangleRecord {
  int32_t group = -1;
  int32_t index = 0;
  // Indices into the group's (or the mesh's) vertices, checked by the reader.
  int32_t vertices[3] = {};
  // Indices into the texture coordinates, -1 where the corner has none.
  // IDPO and MDL2 store one texture coordinate per vertex: its index is the
  // vertex's.
  int32_t texCoords[3] = {-1, -1, -1};
  // IDPO and MDL2: false for a triangle facing backwards.
  bool facesFront = true;
  // MDL7: the skin whose material the triangle takes, counted over the
  // model's skins; -1 elsewhere.
  int32_t material = -1;
};

// An MDL7 base vertex.
struct VertexRecord {
  int32_t group = 0;
  int32_t index = 0;
  // x, y and z in model units.
  float position[3] = {};
  int32_t bone = -1;
  // Its normal, where the record stores one (in full or as an index into
  // the normal table).
  bool hasNormal = false;
  float normal[3] = {};
};

// A frame. `index` counts the frames of the whole model (frame entries for
// IDPO frame groups: each frame of a group has its group's index).
struct FrameRecord {
  int32_t group = -1;
  int32_t index = 0;
  std::string name;
  // Vertices stored in the frame.
  int32_t vertexCount = 0;
  int32_t boneTransformCount = 0;
  uint32_t offset = 0;
  // IDPO frame groups: the frame's place in its group and the group's size;
  // 0 and 1 for a single frame.
  int32_t groupFrame = 0;
  int32_t groupFrames = 1;
};

// A frame vertex, its position decoded to model units.
struct FrameVertexRecord {
  // The vertex it places: its index in the group (MDL7), in the mesh
  // otherwise. MDL7 frames may name any index; the visitor checks it.
  int32_t vertex = 0;
  float position[3] = {};
  // Its normal, where the record stores one: every legacy frame vertex
  // (from the normal table), an MDL7 one as for VertexRecord.
  bool hasNormal = false;
  float normal[3] = {};
};

// Which record or run of records the walk could not read.
enum class WalkStep {
  kBones,
  kGroup,
  kGroupBody,  // a group of another type than a mesh, passed over whole
  kSkin,
  kTexCoord,
  kTexCoords,  // the run, passed over whole
  kTriangle,
  kTriangles,  // the run, passed over whole
  kVertex,
  kMesh,  // an MDL7 group's texture coordinates, triangles and vertices
  kFrame,
  kDeformers,
};

// A step that failed: the record (its index in its group and in the model)
// or run, where it starts, and the reason the reader kept (empty when it
// kept none).
struct WalkFailure {
  WalkStep step = WalkStep::kGroup;
  int32_t group = -1;
  int32_t index = 0;
  int32_t modelIndex = 0;
  uint8_t groupType = 0;
  uint32_t start = 0;
  platform::FailureReason reason;
};

// Receives the records of a model in file order. Every callback does nothing
// unless overridden.
class ModelVisitor {
 public:
  virtual ~ModelVisitor() = default;
  // Whether the walk reads texture coordinates, triangles and base vertices
  // record by record (true) or passes over them whole.
  virtual bool WantsMesh() const { return true; }
  virtual void Header(const ModelHeader&) {}
  // MDL7 bone records.
  virtual void Bone(int32_t /*index*/, int32_t /*parent*/, const std::string& /*name*/) {}
  virtual void Group(const GroupRecord&) {}
  virtual void Skin(const SkinRecord&) {}
  virtual void TexCoord(const TexCoordRecord&) {}
  virtual void Triangle(const TriangleRecord&) {}
  virtual void Vertex(const VertexRecord&) {}
  virtual void Frame(const FrameRecord&) {}
  virtual void FrameVertex(const FrameVertexRecord&) {}
  // After the frame's vertices and bone transforms.
  virtual void FrameDone(const FrameRecord&) {}
  // MDL7: the deformers of all groups, passed over.
  virtual void Deformers(int32_t /*count*/) {}
  // The walk passed every record; `offset` is where the records end.
  virtual void End(uint32_t /*offset*/) {}
  // The walk ends at a step it could not read.
  virtual void Failure(const WalkFailure&) {}
};

}  // namespace modelfiles
