// Draws one frame of a model mesh into a picture: an orthographic
// three-quarter view with a depth buffer, diffuse light and the mesh's skin.
#pragma once

#include <cstddef>

#include "noisemap/image_grid.h"
#include "render/model_mesh.h"

namespace render {

// An axis-aligned box around positions.
struct MeshBounds {
  MeshPoint minimum;
  MeshPoint maximum;
  bool empty = true;
  void Add(const MeshPoint& p);
};

class ModelRenderer {
 public:
  // The box around the positions of `frame` that triangles use.
  static MeshBounds FrameBounds(const ModelMesh& mesh, size_t frame);

  // Draws `frame` of `mesh` into the cell of `cellWidth` x `cellHeight`
  // pixels whose bottom left pixel is (`cellX`, `cellY`) of `image` (row 0
  // is the bottom of the picture), scaled so that `bounds` fills the cell
  // seen from the front left and above. Drawn pixels become opaque, or take
  // the material's opacity where it colours them; the others are left as
  // they are. The cell must lie inside the image.
  void Draw(const ModelMesh& mesh, size_t frame, const MeshBounds& bounds, noise::utils::ImageGrid& image,
            int cellX, int cellY, int cellWidth, int cellHeight);

 private:
  // Nearness per pixel of the cell being drawn.
  std::vector<float> depth_;
};

}  // namespace render
