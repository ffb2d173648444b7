// Reader of MDL7 model files.
#pragma once

#include <cstdint>

#include "modelfiles/mdl7_layout.h"
#include "modelfiles/model_reader.h"

namespace modelfiles {

// Reads MDL7 model files, such as those MDL7W writes, record by record in
// file order. The header declares the size of each main record kind; the
// reader always advances by the declared size and decodes only the fields
// that fit in it (a field that does not fit leaves its output untouched, a
// name that does not fit is returned empty). Each record read becomes the
// current record of its kind; later calls (skin image, material, normals,
// counts) refer to it. All records point into the reader's buffer and become
// invalid when it closes.
//
// The readable size is the header's declared total (data size + lump size +
// second lump size), limited to the file size: a file shorter than its total
// is read up to its end, and the records that do not fit fail. Bytes after
// the declared total are never read. A total below 48, or a negative size
// field, refuses the file.
//
// Reading order: Open; ReadHeaderCounts; ReadBone per bone (or SkipBones);
// per group ReadGroup, ReadGroupCounts, then per skin ReadSkin, ReadSkinImage,
// TakeSkinImage, ReadMaterial (type bit 4), ReadSizedBlockLength and
// ReadSizedBlock (type bit 5); ReadTexCoord, ReadTriangle, ReadVertex with
// ReadVertexNormal, per frame ReadFrame, ReadFrameVertex with
// ReadFrameVertexNormal and ReadBoneTransform; or WalkGroup instead of the
// group's body. After the last group the deformers, then SeekToLump and the
// lump, SeekToSecondLump and its records.
//
// A record that runs past the readable size is reported in LastFailure as
// truncated at its start; a negative count, a size field below what its
// record needs or a triangle naming a vertex the group lacks as malformed.
// The material record of a skin (type bit 4): four colour values of red,
// green, blue and alpha (diffuse, ambient, specular, emissive) and the value
// that follows them.
struct SkinMaterial {
  float colors[4][4] = {};
  float value = 0;
  bool present = false;
};

class MDL7R : public ModelReader {
 public:
  // Sizes of the name buffers filled: names of up to kNameSize - 1
  // characters (kLongNameSize - 1 for bones) and their terminating zero.
  static constexpr uint32_t kNameSize = 16;
  static constexpr uint32_t kLongNameSize = 20;

  MDL7R();
  ~MDL7R() override;

  bool Close() override;
  // False without a header; otherwise passes over the header's bone count of
  // bone records.
  [[nodiscard]] bool SkipBones() override;
  // False without a current group. A group of type 1 walks its skins and
  // frames and skips its texture coordinates, triangles and vertices; any
  // other type is skipped as (group data size - 44) bytes, false when that
  // is 0 or less.
  [[nodiscard]] bool WalkGroup() override;
  // Passes over the current skin's image (width bytes for type 6), material
  // record (bit 4) and sized block (bit 5).
  [[nodiscard]] bool SkipSkinData() override;
  // Passes over the current skin's data as SkipSkinData does, handing out
  // its first image level (null for embedded data or a skin without
  // pixels) and its material (`present` false without one). Null outputs
  // are not filled.
  [[nodiscard]] bool TakeSkinData(const uint8_t** level0, SkinMaterial* material);
  [[nodiscard]] bool WalkSkins() override;
  [[nodiscard]] bool SkipTexCoords() override;
  [[nodiscard]] bool SkipTriangles() override;
  [[nodiscard]] bool SkipVertices() override;
  // False without a current frame; passes over its frame vertices and bone
  // transforms.
  [[nodiscard]] bool SkipFrameData() override;
  // False without a current frame; passes over its bone transforms.
  [[nodiscard]] bool SkipBoneTransforms();
  [[nodiscard]] bool WalkFrames() override;

  // The five 32-bit size and count fields of the header; false without one.
  virtual bool ReadHeaderCounts(int32_t& boneCount, int32_t& groupCount, int32_t& dataSize, int32_t& lumpSize,
                                int32_t& secondLumpSize);
  // The next bone: parent (-1 for none), position and name (empty when the
  // header's bone record size is below 36). False when the header counts no
  // bones.
  [[nodiscard]] virtual bool ReadBone(int32_t& parent, float& x, float& y, float& z,
                                      char (&name)[kLongNameSize]);
  // Counts of the current group.
  virtual bool ReadGroupCounts(int32_t& skinCount, int32_t& texCoordCount, int32_t& triangleCount,
                               int32_t& vertexCount, int32_t& frameCount);
  // The next group record, which becomes the current group. Adds its
  // deformer count to the total and raises the deformer maximum.
  [[nodiscard]] virtual bool ReadGroup(uint8_t& type, int32_t& groupDataSize, char (&name)[kNameSize]);
  [[nodiscard]] virtual bool ReadSkin(uint8_t& type, char (&name)[kNameSize]);
  // Size of the current skin and, from its type, bytes per pixel and the mip
  // flag, which later calls use.
  virtual bool ReadSkinImage(int32_t& width, int32_t& height, int32_t& bytesPerPixel, uint8_t& mipFlag);
  // Takes the current skin's image levels: level 0, and levels 1 to 3 when
  // the mip flag is set. A level whose output is null is passed over. False
  // without a current skin, for a negative size, or when a level does not
  // fit.
  [[nodiscard]] virtual bool TakeSkinImage(const uint8_t** level0, const uint8_t** level1,
                                           const uint8_t** level2, const uint8_t** level3);
  // Material record of the current skin (type bit 4): four colour values of
  // four components and the value at offset 64.
  [[nodiscard]] virtual bool ReadMaterial(float (&colors)[4][4], float& value);
  // Copies the sized block whose length ReadSizedBlockLength returned into
  // `buffer`; false, taking nothing, when it is longer than `capacity`.
  [[nodiscard]] virtual bool ReadSizedBlock(uint8_t* buffer, uint32_t capacity);
  // Length of the current skin's sized block (type bit 5), remembered for
  // ReadSizedBlock.
  [[nodiscard]] virtual bool ReadSizedBlockLength(int32_t& length);
  [[nodiscard]] virtual bool ReadTexCoord(float& s, float& t);
  // Vertex indices (0 to 65535) and texture coordinate indices (-1 for none);
  // the material is set only when the triangle record holds one. False when
  // a vertex index is not below the group's vertex count; the outputs are
  // filled even then.
  [[nodiscard]] virtual bool ReadTriangle(int32_t (&vertices)[3], int32_t (&texCoords)[3], int32_t& material);
  [[nodiscard]] virtual bool ReadVertex(float& x, float& y, float& z, int32_t& bone);
  // Normal of the current vertex. True when the file stores it in full; a
  // 16-byte record holds an index into the normal table, which fills the
  // outputs (untouched for an index above 161) and gives false; other
  // record sizes give zeros and false.
  virtual bool ReadVertexNormal(float& x, float& y, float& z);
  [[nodiscard]] virtual bool ReadFrame(int32_t& frameVertexCount, int32_t& transformCount,
                                       char (&name)[kNameSize]);
  [[nodiscard]] virtual bool ReadFrameVertex(int32_t& vertexIndex, float& x, float& y, float& z);
  // As ReadVertexNormal, for the current frame vertex and its record size.
  virtual bool ReadFrameVertexNormal(float& x, float& y, float& z);
  [[nodiscard]] virtual bool ReadBoneTransform(int32_t& bone, uint8_t (&matrix)[mdl7::kMatrixSize]);

  // The header inside the buffer, null while closed.
  const uint8_t* Header() const { return header_; }
  // Total of the deformer counts of the groups read, and their maximum.
  int32_t TotalDeformerCount() const { return totalDeformerCount_; }
  int32_t DeformerMaximum() const { return deformerMaximum_; }

  // Passes over TotalDeformerCount deformers.
  [[nodiscard]] bool SkipDeformers();
  // Reads one deformer record and passes over its elements and weights.
  [[nodiscard]] bool SkipDeformer();
  [[nodiscard]] bool ReadDeformer(uint8_t& type, int32_t& groupIndex, int32_t& elementCount,
                                  int32_t* dataSize = nullptr);
  [[nodiscard]] bool ReadDeformerElement(int32_t& elementIndex, char (*name)[kLongNameSize],
                                         int32_t& weightCount);
  [[nodiscard]] bool ReadDeformerWeight(int32_t& index, float& weight);
  // Reads the current element's weights.
  [[nodiscard]] bool SkipDeformerWeights();

  // Moves to the triangle lump at the data size; false without one.
  [[nodiscard]] bool SeekToLump();
  // The lump header at the cursor: version and section count. False when the
  // cursor is not inside the lump or the header does not fit.
  [[nodiscard]] bool ReadLumpHeader(int32_t& version, int32_t& sectionCount);
  [[nodiscard]] bool ReadLumpSection(int32_t& sectionId, int32_t& listCount);
  [[nodiscard]] bool ReadLumpList(int32_t& listId, int32_t& triangleCount);
  // As ReadTriangle, without the vertex range check.
  [[nodiscard]] bool ReadLumpTriangle(int32_t (&vertices)[3], int32_t (&texCoords)[3], int32_t& material);
  // Moves to the second lump at data size + lump size; false without one.
  [[nodiscard]] bool SeekToSecondLump();
  // The 8-byte record at the cursor inside the second lump: its two fields.
  [[nodiscard]] bool ReadSecondLumpRecord(int32_t& first, int32_t& second);
  // Moves the cursor to the end of the current lump header's or second-lump
  // record's lump. The end is the record's start plus its byte-size field
  // (the second 32-bit field of either record, counted from the record's
  // own start); it must lie inside the lump the file header declares and
  // within the readable size. False when no such record is current or the
  // end is out of range; the cursor then does not move.
  [[nodiscard]] bool SkipLump();

 protected:
  int32_t Attach(const uint8_t* buffer, uint32_t size) override;

 private:
  // Record size declared at `offset` of the header.
  uint32_t RecordSize(uint32_t offset) const;
  // Takes the next record, of the size the header field at `sizeField`
  // gives and named `what` in a failure, as `current`; `size` gets its size.
  // Null when it does not fit.
  const uint8_t* TakeRecord(uint32_t sizeField, const char* what, const uint8_t*& current, uint32_t& size);
  // A 32-bit field of the current group, 0 without one.
  int32_t GroupField(uint32_t offset) const;
  // CountAllowsRecord for the current group's count at `offset`; false
  // without a current group.
  bool GroupCountAllowsRecord(uint32_t offset, const char* field);
  // Type byte of the current skin, 0 without one.
  uint8_t SkinType() const;
  // Takes a triangle record, named `what` in a failure, and decodes it.
  bool ReadTriangleRecord(int32_t (&vertices)[3], int32_t (&texCoords)[3], int32_t& material,
                          const char* what);
  // Normal of a vertex or frame vertex record of `size` bytes.
  static bool ReadNormal(const uint8_t* record, uint32_t size, float& x, float& y, float& z);
  // Where the lump (the second lump with `second`) starts in the file, after
  // the data and the second after the first, and its size; the header must
  // be there.
  uint64_t LumpStart(bool second) const;
  int32_t LumpSize(bool second) const;
  // Lump-relative end of a record of `recordSize` bytes taken at the cursor,
  // for a lump starting at `lumpStart` of `lumpSize` bytes; false when the
  // cursor is not inside it, or when the record, named `what`, would run past
  // the lump's end (reported as truncated).
  bool LumpPosition(uint64_t lumpStart, int32_t lumpSize, uint32_t recordSize, const char* what,
                    uint32_t& position);
  // Takes the record of `recordSize` bytes at the cursor, named `what` in a
  // failure, as the current record of the lump (the second lump with
  // `secondLump`) that starts at `lumpStart` and holds `lumpSize` bytes;
  // null as LumpPosition refuses it or when it does not fit.
  const uint8_t* TakeLumpRecord(uint64_t lumpStart, int32_t lumpSize, uint32_t recordSize, const char* what,
                                bool secondLump);
  // Reads the 32-bit fields at `firstOffset` and `secondOffset` of `record`;
  // false for a null record.
  static bool LoadFieldPair(const uint8_t* record, uint32_t firstOffset, int32_t& first,
                            uint32_t secondOffset, int32_t& second);
  void ClearState();

  const uint8_t* header_ = nullptr;
  const uint8_t* group_ = nullptr;
  const uint8_t* bone_ = nullptr;
  const uint8_t* material_ = nullptr;
  const uint8_t* skin_ = nullptr;
  int32_t bytesPerPixel_ = 0;
  uint8_t mipFlag_ = 0;
  const uint8_t* texCoord_ = nullptr;
  const uint8_t* triangle_ = nullptr;
  const uint8_t* vertex_ = nullptr;
  const uint8_t* frame_ = nullptr;
  const uint8_t* frameVertex_ = nullptr;
  const uint8_t* boneTransform_ = nullptr;
  int32_t sizedBlockLength_ = 0;
  // The current lump header or second-lump record, its lump-relative end
  // and whether it belongs to the second lump.
  const uint8_t* lumpRecord_ = nullptr;
  uint32_t lumpPosition_ = 0;
  bool secondLump_ = false;
  int32_t totalDeformerCount_ = 0;
  int32_t deformerMaximum_ = 0;
  const uint8_t* deformer_ = nullptr;
  const uint8_t* deformerElement_ = nullptr;
  const uint8_t* deformerWeight_ = nullptr;
};

}  // namespace modelfiles
