// Reader of IDPO and MDL2 model files, and base of the other single-mesh readers.
#pragma once

#include <cstdint>

#include "modelfiles/legacy_layout.h"
#include "modelfiles/legacy_model_reader.h"

namespace modelfiles {

// Reads IDPO and MDL2 files, which share one layout: an 84-byte header, then
// skins (a 4-byte type and width x height x bytes-per-pixel bytes, the size
// from the header), texture coordinates of 12 bytes, triangles of 16 bytes
// and frames of a 28-byte record plus 4 bytes per vertex. The body is read in
// that order; offsets stored in the header are not used. Bytes after the last
// frame (an editor's trailer, for instance) are allowed and never read.
// A frame of another type than 0 is a group of frames: ReadFrame and the
// structural walk refuse it, ReadFrameGroup and ReadGroupFrame read it.
class MDL2R : public LegacyModelReader {
 public:
  static constexpr uint32_t kHeaderSize = legacy::kHeaderSize;

  MDL2R();

  bool Close() override;
  // True: these formats have no bones.
  [[nodiscard]] bool SkipBones() override;
  // Walks the skins, passes over texture coordinates and triangles, and
  // walks the frames; false without a model.
  [[nodiscard]] bool WalkGroup() override;
  [[nodiscard]] bool SkipSkinData() override;
  [[nodiscard]] bool WalkSkins() override;
  [[nodiscard]] bool SkipTexCoords() override;
  [[nodiscard]] bool SkipTriangles() override;
  // True: there is no base vertex list.
  [[nodiscard]] bool SkipVertices() override;
  [[nodiscard]] bool SkipFrameData() override;
  [[nodiscard]] bool WalkFrames() override;

  int32_t SkinCount() const override;
  int32_t VertexCount() const override;
  int32_t TriangleCount() const override;
  // One texture coordinate per vertex.
  int32_t TexCoordCount() const override;
  int32_t FrameCount() const override;
  bool GetHeader(const uint8_t** header) override;
  [[nodiscard]] bool ReadSkin(uint8_t* type, int32_t* width, int32_t* height, int32_t* bytesPerPixel,
                              uint8_t* mipFlag) override;
  // Level 0 only; a mip flag is reported but its levels are not stored.
  [[nodiscard]] bool TakeSkinImage(const uint8_t** level0, const uint8_t** level1, const uint8_t** level2,
                                   const uint8_t** level3) override;
  [[nodiscard]] bool ReadTexCoord(int16_t* s, int16_t* t) override;
  [[nodiscard]] bool ReadTriangle(int32_t (*vertices)[3], int32_t (*texCoords)[3]) override;
  [[nodiscard]] bool ReadFrame(char (*name)[kNameSize], uint16_t (*minimum)[3], uint16_t (*maximum)[3],
                               float (*scale)[3], float (*translation)[3]) override;
  [[nodiscard]] bool ReadFrameVertex(uint16_t (*position)[3], int32_t* normalIndex) override;
  [[nodiscard]] bool TakeFrameVertex() override;
  bool ReadVertexNormal(float& x, float& y, float& z) override;

  // IDPO and MDL2 records only: whether the texture coordinate just read
  // lies on the skin's seam, and whether the triangle just read faces the
  // front (a back-facing corner on the seam reads the skin's right half).
  // False and true without such a record.
  bool TexCoordOnSeam() const;
  bool TriangleFacesFront() const;
  // IDPO and MDL2: whether the frame at the cursor is a group of frames
  // (its 32-bit type is not 0); false when no type is left to read.
  bool NextFrameIsGroup() const;
  // Takes the head of a frame group (type, frame count, box, one 32-bit
  // interval per frame) as the current frame; `count` gets its frame count.
  // False as ReadFrame for the model's frame count, and for a group count
  // below 1 (malformed) or intervals that do not fit.
  [[nodiscard]] bool ReadFrameGroup(int32_t& count);
  // Takes the next frame of the group just read (box and name, 24 bytes);
  // ReadFrameVertex then reads its vertices.
  [[nodiscard]] bool ReadGroupFrame(char (*name)[kNameSize], uint16_t (*minimum)[3], uint16_t (*maximum)[3]);

 protected:
  // Header offsets of the five counts, which differ between the formats.
  struct CountFields {
    uint32_t skins;
    uint32_t vertices;
    uint32_t triangles;
    uint32_t frames;
    uint32_t texCoords;
  };

  explicit MDL2R(int32_t formatCode);

  int32_t Attach(const uint8_t* buffer, uint32_t size) override;
  // Accepts a file of at least `headerSize` bytes starting with one of the
  // magics (`secondMagic` may be null); the cursor goes behind the header.
  int32_t AttachFormat(const uint8_t* buffer, uint32_t size, const char* magic, const char* secondMagic,
                       uint32_t headerSize);
  // A 32-bit header field, 0 without a model.
  int32_t HeaderField(uint32_t offset) const;
  // Bytes per pixel of skin type bits 0 to 2 from the family's table in
  // skin_format.h, -1 for a type the format refuses. MDL5 overrides it with
  // its wider table.
  virtual int32_t BytesPerPixelOfType(uint8_t type) const;

  // Decodes a skin type into bytesPerPixel_ and mipFlag_; false when refused.
  bool DecodeSkinType(uint8_t type);
  // Takes the next skin record, `size` bytes named `what` in a failure, into
  // `skin_` and decodes the type byte that leads it into `type` (if given),
  // bytesPerPixel_ and mipFlag_. False when the skin count allows no record,
  // the record does not fit or its type is refused (malformed; `skin_`
  // holds the record then).
  bool TakeSkinRecord(uint32_t size, const char* what, uint8_t* type);
  // Fills the given outputs of ReadSkin from the skin's size and the type
  // decoded last.
  void ReportSkin(int32_t skinWidth, int32_t skinHeight, int32_t* width, int32_t* height,
                  int32_t* bytesPerPixel, uint8_t* mipFlag) const;
  // Pass over all texture coordinates, all triangles or the vertices of a
  // frame, records of the given layout.
  bool SkipTexCoordRun(const legacy::TexCoordLayout& layout);
  bool SkipTriangleRun(const legacy::TriangleLayout& layout);
  bool SkipFrameVertexRun(const legacy::FrameVertexLayout& layout);
  // ReadTexCoord and ReadTriangle for records of the given layout.
  bool ReadTexCoordRecord(const legacy::TexCoordLayout& layout, int16_t* s, int16_t* t);
  bool ReadTriangleRecord(const legacy::TriangleLayout& layout, int32_t (*vertices)[3],
                          int32_t (*texCoords)[3]);
  // Takes the next frame record (or frame group head), `size` bytes named
  // `what` in a failure, as the current frame; null when the frame count
  // allows none or it does not fit.
  const uint8_t* TakeFrameRecord(uint32_t size, const char* what);
  // ReadFrame for frame records of the given layout: false, and the frame
  // reported as unsupported, when its type is not the layout's.
  bool ReadFrameRecord(const legacy::FrameLayout& layout, char (*name)[kNameSize], uint16_t (*minimum)[3],
                       uint16_t (*maximum)[3]);
  // Copies the name found at `nameOffset` of `record` into `name`, if given.
  static void CopyFrameName(const uint8_t* record, uint32_t nameOffset, char (*name)[kNameSize]);
  // Fills `values`, if given, with the three coordinates stored from
  // `offset` of `record` on, `fieldWidth` bytes each (1, or 2 for 16-bit
  // values).
  static void LoadPacked(const uint8_t* record, uint32_t offset, uint32_t fieldWidth, uint16_t (*values)[3]);
  // Takes the next frame vertex record, `size` bytes, as the current one.
  bool TakeFrameVertexRecord(uint32_t size);
  // ReadFrameVertex for records of the given layout, taken by
  // TakeFrameVertex.
  bool ReadFrameVertexRecord(const legacy::FrameVertexLayout& layout, uint16_t (*position)[3],
                             int32_t* normalIndex);
  // True when every vertex index lies in 0 to VertexCount - 1; otherwise
  // reports the first index outside as malformed, the indices being stored
  // in `record` from `firstIndex` on, `indexWidth` bytes apart.
  bool CheckTriangleVertices(const int32_t (&vertices)[3], const uint8_t* record, uint32_t firstIndex,
                             uint32_t indexWidth);

  CountFields counts_;
  // The skin record read last; null before the first.
  const uint8_t* skin_ = nullptr;
  const uint8_t* header_ = nullptr;
  int32_t bytesPerPixel_ = 0;
  uint8_t mipFlag_ = 0;
  const uint8_t* texCoord_ = nullptr;
  const uint8_t* triangle_ = nullptr;
  const uint8_t* frameVertex_ = nullptr;
  const uint8_t* frame_ = nullptr;
};

}  // namespace modelfiles
