// A model reduced to what a picture of it needs: positions per frame,
// triangles, texture coordinates and one true-colour skin.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "modelfiles/model_reader.h"

namespace render {

struct MeshPoint {
  float x = 0;
  float y = 0;
  float z = 0;
};

struct MeshTriangle {
  // Indices into each frame's positions, all checked against them.
  int32_t vertices[3] = {};
  // Indices into the texture coordinates; -1 where the corner has none.
  int32_t texCoords[3] = {-1, -1, -1};
  // Index into the mesh's materials; -1 for none.
  int32_t material = -1;
};

// A skin decoded to 8-bit red, green, blue, alpha, rows from the top.
struct MeshSkin {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rgba;
  bool Empty() const { return rgba.empty(); }
};

// A material's colour, red, green and blue from 0 to 1, and its opacity.
struct MeshMaterial {
  bool present = false;
  float rgb[3] = {};
  float opacity = 1;
};

struct ModelMesh {
  // One list of positions per frame, each as long as the vertex count; all
  // positions are finite.
  std::vector<std::vector<MeshPoint>> frames;
  std::vector<std::string> frameNames;
  // The unit normals the file stores, one list per frame as long as its
  // positions ((0, 0, 0) for an MDL7 vertex without one); empty when the
  // model stores none.
  std::vector<std::vector<MeshPoint>> normals;
  std::vector<MeshTriangle> triangles;
  // u, v pairs across the skin: (0, 0) its top left corner, (1, 1) its
  // bottom right.
  std::vector<float> texCoords;
  // The model's first true-colour skin; empty when it has none (skins of
  // palette indices, external skin names or no skin at all).
  MeshSkin skin;
  // MDL7: one entry per skin of the model, `present` where the skin holds a
  // material. Triangles without texture take their material's colour and
  // opacity.
  std::vector<MeshMaterial> materials;
};

// Reads the whole model the open `reader` holds (an MDL7R or a
// LegacyModelReader) into `mesh` with one walk (see MeshVisitor); a frame
// group gives its first frame. False with a one-line `error` (the reader's
// reason where it refused a record) when a record cannot be read, an index
// lies outside what it refers to, a position is not finite or the model has
// no frame to draw.
bool ReadModelMesh(modelfiles::ModelReader& reader, ModelMesh& mesh, std::string& error);

// Decodes `width` x `height` pixels of `bytesPerPixel` bytes at `pixels`
// (the skin's type byte tells 16-bit layouts apart) into `skin`. False for a
// pixel format that holds no colour (palette indices, embedded data).
bool DecodeTrueColourSkin(uint8_t type, int32_t bytesPerPixel, int32_t width, int32_t height,
                          const uint8_t* pixels, MeshSkin& skin);

}  // namespace render
