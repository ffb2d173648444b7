// Shared interface of the readers of the single-mesh model formats.
#pragma once

#include <cstdint>

#include "modelfiles/model_reader.h"

namespace modelfiles {

// Extends ModelReader with the operations shared by the single-mesh formats
// numbered below MDL7 (IDPO, MDL2, MDL3, MDL4, MDL5, MDL6 and IDP2). Each
// stores skins, texture coordinates, triangles and frames, and every frame
// holds one compressed vertex per mesh vertex with a one-byte index into the
// normal table. Outputs given as null are not filled. Every count is 0 while
// no model is attached, and each Read operation returns false without moving
// the cursor when its count is 0 or less (a negative count is reported in
// LastFailure as malformed).
class LegacyModelReader : public ModelReader {
 public:
  // Longest frame name returned, with its terminating zero.
  static constexpr uint32_t kNameSize = 16;

  explicit LegacyModelReader(int32_t formatCode);

  virtual int32_t SkinCount() const = 0;
  virtual int32_t VertexCount() const = 0;
  virtual int32_t TriangleCount() const = 0;
  virtual int32_t TexCoordCount() const = 0;
  virtual int32_t FrameCount() const = 0;
  // The header inside the buffer, for the fields no operation interprets;
  // false while no model is attached.
  virtual bool GetHeader(const uint8_t** header) = 0;
  // The next skin record: its type byte, size, bytes per pixel and mip flag.
  // False for a type the format does not know (the record is taken).
  [[nodiscard]] virtual bool ReadSkin(uint8_t* type, int32_t* width, int32_t* height, int32_t* bytesPerPixel,
                                      uint8_t* mipFlag) = 0;
  // Takes the image of the skin just read, level 0 and, where the format
  // stores them, the three reduced mip levels; a null output passes over its
  // level. False when a level does not fit.
  [[nodiscard]] virtual bool TakeSkinImage(const uint8_t** level0, const uint8_t** level1,
                                           const uint8_t** level2, const uint8_t** level3) = 0;
  [[nodiscard]] virtual bool ReadTexCoord(int16_t* s, int16_t* t) = 0;
  // Three vertex indices and three texture coordinate indices (-1 where the
  // format stores none). False when a vertex index lies outside the vertex
  // count; the outputs are filled even then.
  [[nodiscard]] virtual bool ReadTriangle(int32_t (*vertices)[3], int32_t (*texCoords)[3]) = 0;
  // The next frame: name, bounding box and, for IDP2, scale and translation.
  // False when the frame's type is not the format's simple frame.
  [[nodiscard]] virtual bool ReadFrame(char (*name)[kNameSize], uint16_t (*minimum)[3],
                                       uint16_t (*maximum)[3], float (*scale)[3],
                                       float (*translation)[3]) = 0;
  // The next frame vertex: its packed position and its normal index (0 for
  // an index outside the normal table).
  [[nodiscard]] virtual bool ReadFrameVertex(uint16_t (*position)[3], int32_t* normalIndex) = 0;
  // Takes one frame vertex record as the current one; false when the model
  // has no vertices or the record does not fit.
  [[nodiscard]] virtual bool TakeFrameVertex() = 0;
  // False: these formats store normals only in their frames.
  virtual bool ReadVertexNormal(float& x, float& y, float& z) = 0;
};

}  // namespace modelfiles
