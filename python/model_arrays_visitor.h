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

// A render::MeshVisitor of the whole model (positions, triangles, texture
// coordinates and materials, texture coordinates kept for palette skins
// too, normals) that keeps the header and every skin beside the mesh. The
// mesh and the skins belong to the caller.
class ModelArraysVisitor : public render::MeshVisitor {
 public:
  ModelArraysVisitor(render::ModelMesh& mesh, std::vector<CollectedSkin>& skins)
      : render::MeshVisitor(mesh, true), skins_(skins) {}

  void Header(const modelfiles::ModelHeader& header) override;
  void Skin(const modelfiles::SkinRecord& skin) override;
  void Failure(const modelfiles::WalkFailure& failure) override;

  const modelfiles::ModelHeader& HeaderFields() const { return header_; }
  // The reason the reader gave for the step the walk stopped at.
  const platform::FailureReason& WalkReason() const { return walkReason_; }

 private:
  std::vector<CollectedSkin>& skins_;
  modelfiles::ModelHeader header_;
  platform::FailureReason walkReason_;
};

}  // namespace pybinding
