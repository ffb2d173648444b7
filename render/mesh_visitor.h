// modelview's mesh of a model, filled by a walk over its records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "modelfiles/model_visitor.h"
#include "render/model_mesh.h"

namespace render {

// Builds a ModelMesh from the records of one walk: positions per frame (the
// first frame of each IDPO frame group), triangles, texture coordinates
// across the skin, the first true-colour skin and the skins' materials. The
// first problem found, the walk's failure included, is kept as `Error` and
// the records after it are ignored. With `wholeModel`, it also keeps the
// normals the file stores and the texture coordinates of a model whose
// skins hold palette indices (across the skin size the header, else the
// first skin, gives); without it, it keeps what a picture uses: texture
// coordinates only beside a true-colour skin, and no normals.
class MeshVisitor : public modelfiles::ModelVisitor {
 public:
  explicit MeshVisitor(ModelMesh& mesh, bool wholeModel = false) : mesh_(mesh), wholeModel_(wholeModel) {}

  void Header(const modelfiles::ModelHeader& header) override;
  void Group(const modelfiles::GroupRecord& group) override;
  void Skin(const modelfiles::SkinRecord& skin) override;
  void TexCoord(const modelfiles::TexCoordRecord& texCoord) override;
  void Triangle(const modelfiles::TriangleRecord& triangle) override;
  void Vertex(const modelfiles::VertexRecord& vertex) override;
  void Frame(const modelfiles::FrameRecord& frame) override;
  void FrameVertex(const modelfiles::FrameVertexRecord& vertex) override;
  void FrameDone(const modelfiles::FrameRecord& frame) override;
  void End(uint32_t offset) override;
  void Failure(const modelfiles::WalkFailure& failure) override;

  // Empty while the mesh is whole.
  const std::string& Error() const { return error_; }

 private:
  // One frame of an MDL7 mesh group: the vertices it moves and where to.
  struct GroupFrame {
    std::string name;
    std::vector<std::pair<int32_t, MeshPoint>> moves;
    std::vector<MeshPoint> moveNormals;  // one per move
  };

  void SetError(const std::string& error);
  void FinishLegacy();
  void FinishMdl7();
  // The skin size that texture coordinates in pixels are measured across;
  // 0 when none is known.
  int32_t SkinWidth() const;
  int32_t SkinHeight() const;

  ModelMesh& mesh_;
  const bool wholeModel_;
  std::string error_;
  // The header's skin size, else the first skin's.
  int32_t headerSkinWidth_ = 0;
  int32_t headerSkinHeight_ = 0;
  bool mdl7_ = false;
  // The single-mesh families: texture coordinates in skin pixels, their
  // seam flags and how many the file stores.
  std::vector<float> pixelCoords_;
  std::vector<bool> onSeam_;
  size_t texCoordCount_ = 0;
  int32_t vertexCount_ = 0;
  // MDL7: the current group's first vertex and texture coordinate in the
  // mesh, its vertex and texture coordinate counts, the base vertices of
  // all groups and each group's frames.
  size_t firstVertex_ = 0;
  size_t firstTexCoord_ = 0;
  int32_t groupTexCoords_ = 0;
  std::vector<MeshPoint> base_;
  std::vector<MeshPoint> baseNormals_;
  // Whether any vertex record holds a normal.
  bool anyNormal_ = false;
  std::vector<std::pair<size_t, std::vector<GroupFrame>>> groupFrames_;
  // The frame being read, and whether it is kept.
  std::string frameWhat_;
  bool keepFrame_ = false;
  std::vector<MeshPoint> positions_;
  std::vector<MeshPoint> normals_;
};

}  // namespace render
