// Collects a whole model for the Python module: the mesh modelview draws,
// every skin and the header's fields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "modelfiles/model_visitor.h"
#include "render/mesh_visitor.h"
#include "render/model_mesh.h"

namespace pybinding {

// A skin as stored: true colour decoded to red, green, blue and alpha rows
// from the top, or the palette indices as they are. `channels` is 4 for
// colour, 1 for indices and 0 for a skin without an image (an external
// name, embedded data, a format without colour).
struct CollectedSkin {
  std::string name;
  uint8_t type = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t channels = 0;
  std::vector<uint8_t> pixels;
};

// Passes every record of one walk to a render::MeshVisitor (positions,
// triangles, texture coordinates and materials, texture coordinates kept for
// palette skins too) and keeps the header and every skin beside it. The mesh
// and the skins belong to the caller.
class ModelArraysVisitor : public modelfiles::ModelVisitor {
 public:
  ModelArraysVisitor(render::ModelMesh& mesh, std::vector<CollectedSkin>& skins)
      : meshVisitor_(mesh, true), skins_(skins) {}

  void Header(const modelfiles::ModelHeader& header) override;
  void Group(const modelfiles::GroupRecord& group) override { meshVisitor_.Group(group); }
  void Skin(const modelfiles::SkinRecord& skin) override;
  void TexCoord(const modelfiles::TexCoordRecord& texCoord) override { meshVisitor_.TexCoord(texCoord); }
  void Triangle(const modelfiles::TriangleRecord& triangle) override { meshVisitor_.Triangle(triangle); }
  void Vertex(const modelfiles::VertexRecord& vertex) override { meshVisitor_.Vertex(vertex); }
  void Frame(const modelfiles::FrameRecord& frame) override { meshVisitor_.Frame(frame); }
  void FrameVertex(const modelfiles::FrameVertexRecord& vertex) override { meshVisitor_.FrameVertex(vertex); }
  void FrameDone(const modelfiles::FrameRecord& frame) override { meshVisitor_.FrameDone(frame); }
  void End(uint32_t offset) override { meshVisitor_.End(offset); }
  void Failure(const modelfiles::WalkFailure& failure) override;

  const modelfiles::ModelHeader& HeaderFields() const { return header_; }
  // Empty while the model is whole.
  const std::string& Error() const { return meshVisitor_.Error(); }
  // The reason the reader gave for the step the walk stopped at.
  const platform::FailureReason& WalkReason() const { return walkReason_; }

 private:
  render::MeshVisitor meshVisitor_;
  std::vector<CollectedSkin>& skins_;
  modelfiles::ModelHeader header_;
  platform::FailureReason walkReason_;
};

}  // namespace pybinding
