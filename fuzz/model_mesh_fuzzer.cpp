// Fuzz target of the model-mesh reader: any bytes opened as modelview opens a
// model file, and the mesh read from the reader it picks. A mesh that reads
// must keep the promises of tools/model_mesh.h: frames of equal length,
// every index inside what it refers to, finite positions, a whole skin.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_input.h"
#include "modelfiles/model_file_opener.h"
#include "render/model_mesh.h"

namespace {

void CheckMesh(const render::ModelMesh& mesh) {
  fuzzing::Require(!mesh.frames.empty(), "a mesh has a frame");
  fuzzing::Require(mesh.frameNames.size() == mesh.frames.size(), "every frame has a name");
  const size_t points = mesh.frames.front().size();
  for (const std::vector<render::MeshPoint>& frame : mesh.frames) {
    fuzzing::Require(frame.size() == points, "frames are of equal length");
    for (const render::MeshPoint& p : frame) {
      fuzzing::Require(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z),
                       "positions are finite");
    }
  }
  fuzzing::Require(mesh.texCoords.size() % 2 == 0, "texture coordinates come in pairs");
  const int64_t texCoords = static_cast<int64_t>(mesh.texCoords.size() / 2);
  for (const render::MeshTriangle& triangle : mesh.triangles) {
    for (int corner = 0; corner < 3; ++corner) {
      fuzzing::Require(
          triangle.vertices[corner] >= 0 && static_cast<size_t>(triangle.vertices[corner]) < points,
          "a corner names a position");
      fuzzing::Require(triangle.texCoords[corner] >= -1 && triangle.texCoords[corner] < texCoords,
                       "a corner's texture coordinate exists or is -1");
    }
  }
  if (!mesh.skin.Empty()) {
    fuzzing::Require(mesh.skin.width > 0 && mesh.skin.height > 0 &&
                         mesh.skin.rgba.size() == 4 * static_cast<uint64_t>(mesh.skin.width) *
                                                      static_cast<uint64_t>(mesh.skin.height),
                     "a skin holds four bytes per pixel");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  modelfiles::ModelOpenResult opened = modelfiles::OpenModelBytes(data, size);
  if (opened.reader == nullptr) return 0;
  render::ModelMesh mesh;
  std::string error;
  if (render::ReadModelMesh(*opened.reader, mesh, error)) {
    CheckMesh(mesh);
  } else {
    fuzzing::Require(!error.empty(), "a refused model has a reason");
  }
  return 0;
}
