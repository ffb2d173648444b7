#include "render/model_mesh.h"

#include <string>
#include <utility>
#include <vector>

#include "modelfiles/model_walk.h"
#include "render/mesh_visitor.h"
#include "terrain/skin_rgba.h"

namespace render {

bool DecodeTrueColourSkin(uint8_t type, int32_t bytesPerPixel, int32_t width, int32_t height,
                          const uint8_t* pixels, MeshSkin& skin) {
  std::vector<uint8_t> rgba;
  if (!terrain::DecodeSkinRgba(type, bytesPerPixel, width, height, pixels, rgba)) return false;
  skin.width = width;
  skin.height = height;
  skin.rgba = std::move(rgba);
  return true;
}

bool ReadModelMesh(modelfiles::ModelReader& reader, ModelMesh& mesh, std::string& error) {
  mesh = ModelMesh();
  MeshVisitor visitor(mesh);
  modelfiles::WalkModel(reader, visitor);
  error = visitor.Error();
  if (error.empty() && mesh.frames.empty()) error = "the model has no frames to draw";
  if (!error.empty()) mesh = ModelMesh();
  return error.empty();
}

}  // namespace render
