// Writer of MDL7 model files.
#pragma once

#include <cstdint>
#include <vector>

#include "modelfiles/mdl7_layout.h"
#include "platform/record_file_writer.h"

namespace modelfiles {

// Writes an MDL7 model file in one forward pass: the 48-byte header, bones,
// groups (skins, texture coordinates, triangles, vertices, frames), the
// groups' deformers and an optional triangle lump. Every record is written as
// soon as the caller supplies it; counts and sizes known only later are kept
// in an image of their record, which is rewritten in place when the caller
// finishes it, and the header is rewritten when the file closes.
//
// Calling order: Open; AddBone per bone; per group BeginGroup, per skin
// (BeginSkin, SetSkinImage, WriteSkinImage, WriteMaterial for type bit 4,
// WriteSizedBlock for type bit 5, FinishSkin), AddTexCoord, AddTriangle and
// AddVertex calls, per frame (BeginFrame, AddFrameVertex and AddBoneTransform
// calls, FinishFrame), then FinishGroup or SetGroupDeformers; after the last
// group the deformers (BeginDeformer, per element BeginDeformerElement,
// AddDeformerWeight calls, FinishDeformerElement; FinishDeformer); then
// optionally the lump (BeginLump, per section BeginLumpSection, per list
// BeginLumpList, AddLumpTriangle calls, FinishLumpList; FinishLumpSection;
// FinishLump); Close. A deformer and a lump section reuse the group's record
// image and an element and a lump list reuse the frame's, so each record must
// be finished before the next one of its level begins.
//
// A record operation returns false when its precondition fails (nothing is
// written) or when its bytes could not all be written; every operation has
// its bytes in the file before it returns. Counters advance before the write
// and include a partial record. Once a write or rewrite has failed the file
// is not whole: every later record is refused and Close reports false (the
// header is still rewritten). Names are copied into
// zero-filled fields and cut to the field size minus one; a null name leaves
// the field empty. Nothing throws. The destructor neither patches nor closes
// an open file.
class MDL7W {
 public:
  // A parent or bone index of 0xFFFF means none.
  static constexpr uint16_t kNoBone = mdl7::kNoIndex;

  MDL7W() = default;
  MDL7W(const MDL7W&) = delete;
  MDL7W& operator=(const MDL7W&) = delete;

  // Creates or truncates the file and writes a provisional header. Returns
  // the descriptor, negative on failure (a header that cannot be written
  // closes the file and gives -1). An open writer is first closed as by
  // Close, header patched.
  [[nodiscard]] int32_t Open(const char* path);
  // Starts the same file in memory instead; its bytes are read with
  // MemoryBytes(), also after Close. False when no memory is left for the
  // header. An open writer is first closed as by Close.
  [[nodiscard]] bool OpenInMemory();
  // Rewrites the header with the final counts and closes the file. True when
  // no file was open, or when the file is whole: every write and rewrite,
  // the header's included, was complete. The file is closed in either case.
  [[nodiscard]] bool Close();
  // Writes `count` zero bytes in one piece, counted into the group's and the
  // header's data size when the group finishes; nothing for a count of 0 or
  // less.
  [[nodiscard]] bool WriteZeros(int32_t count);

  // A bone; only before the first group.
  [[nodiscard]] bool AddBone(uint16_t parent, float x, float y, float z, const char* name);

  [[nodiscard]] bool BeginGroup(const char* name);
  // Sets the group's data size to every byte from its record to the current
  // position (zero fills and sized blocks included), rewrites the group
  // record and brings the header's data size up to the current position.
  [[nodiscard]] bool FinishGroup();
  // Stores the group's deformer count and maximum, then FinishGroup.
  [[nodiscard]] bool SetGroupDeformers(uint8_t deformerCount, uint8_t deformerMaximum);

  // A skin; only before the group's texture coordinates, triangles, vertices
  // and frames.
  [[nodiscard]] bool BeginSkin(uint8_t skinType, const char* name);
  // Stores the skin's size, bytes per pixel and whether three reduced mip
  // levels follow level 0. Writes nothing.
  void SetSkinImage(int32_t width, int32_t height, int32_t bytesPerPixel, bool mipLevels);
  // Writes level 0 (width x height x bytes per pixel bytes; width x height
  // for skin type 6) and, with mip levels, levels 1 to 3 of half, a quarter
  // and an eighth the width and height. False when a needed level is null,
  // when a size is negative or too large (nothing of that level is written),
  // or at the first short write.
  [[nodiscard]] bool WriteSkinImage(const void* level0, const void* level1, const void* level2,
                                    const void* level3);
  [[nodiscard]] bool FinishSkin();
  // Four colour values of four components each, then one more value.
  [[nodiscard]] bool WriteMaterial(const float (&colors)[4][4], float value);
  // A 32-bit length and that many bytes, counted like a zero fill. False for a negative
  // length or null bytes with a positive length (nothing is written).
  [[nodiscard]] bool WriteSizedBlock(int32_t length, const void* bytes);

  // Only before the group's triangles, vertices and frames.
  [[nodiscard]] bool AddTexCoord(float s, float t);
  // Only before the group's vertices and frames.
  [[nodiscard]] bool AddTriangle(uint16_t vertex0, uint16_t vertex1, uint16_t vertex2, uint16_t texCoord0,
                                 uint16_t texCoord1, uint16_t texCoord2, int32_t material);
  // Only before the group's frames.
  [[nodiscard]] bool AddVertex(float x, float y, float z, uint16_t bone, float normalX, float normalY,
                               float normalZ);

  [[nodiscard]] bool BeginFrame(const char* name);
  [[nodiscard]] bool AddFrameVertex(uint16_t vertexIndex, float x, float y, float z, float normalX,
                                    float normalY, float normalZ);
  // A 4 x 4 matrix of 32-bit values, copied unchanged.
  [[nodiscard]] bool AddBoneTransform(uint16_t bone, const uint8_t (&matrix)[mdl7::kMatrixSize]);
  [[nodiscard]] bool FinishFrame();

  [[nodiscard]] bool BeginDeformer(uint8_t deformerType, int32_t groupIndex);
  [[nodiscard]] bool BeginDeformerElement(int32_t elementIndex, const char* name);
  [[nodiscard]] bool AddDeformerWeight(int32_t index, float weight);
  [[nodiscard]] bool FinishDeformerElement();
  [[nodiscard]] bool FinishDeformer();

  [[nodiscard]] bool BeginLump();
  [[nodiscard]] bool BeginLumpSection(int32_t sectionId);
  [[nodiscard]] bool BeginLumpList(int32_t listId);
  [[nodiscard]] bool AddLumpTriangle(uint16_t vertex0, uint16_t vertex1, uint16_t vertex2, uint16_t texCoord0,
                                     uint16_t texCoord1, uint16_t texCoord2, int32_t material);
  [[nodiscard]] bool FinishLumpList();
  [[nodiscard]] bool FinishLumpSection();
  [[nodiscard]] bool FinishLump();

  // The descriptor, -1 while no file is open or the file is in memory.
  int32_t Descriptor() const { return file_.Descriptor(); }
  // The bytes of a file written in memory; empty for a file on disk.
  const std::vector<uint8_t>& MemoryBytes() const { return file_.MemoryBytes(); }
  // Why the last operation that returned false or a negative descriptor
  // failed: the file's reason once a write has failed (every later record is
  // refused for it), else the record or argument that was refused. Kept
  // until the next Open.
  const platform::FailureReason& LastFailure() const;

 private:
  // Clears every record image before a new file.
  void Reset();
  // Writes the provisional header; on failure closes the file.
  [[nodiscard]] bool WriteHeader();
  // Writes all `size` bytes at the current position.
  [[nodiscard]] bool WriteAll(const void* bytes, uint32_t size);
  // Rewrites `size` bytes of `image` at `offset` and returns to the current
  // position; false when any of the calls fails. With `resync` the header's
  // data size becomes the current position.
  bool Patch(const uint8_t* image, uint32_t size, int64_t offset, bool resync);
  // The current position, remembered as a record's offset.
  int64_t Position() const;
  // Counts `bytes` into the header's data size.
  void CountDataBytes(uint32_t bytes);
  // What holds a record: the model's data, a deformer (inside the data) or
  // the triangle lump.
  enum class Container { kData, kDeformer, kLump };
  // Counts one more record in field `countField` of `owner`, adds its `size`
  // bytes to its container's sizes (the header's data size, also the
  // deformer's data size, or the lump's byte size and the header's lump
  // size) and writes it.
  [[nodiscard]] bool AppendRecord(uint8_t* owner, uint32_t countField, const void* record, uint32_t size,
                                  Container container = Container::kData);
  // Keeps `reason` as the last failure; false.
  bool Refuse(const platform::FailureReason& reason);

  platform::RecordFileWriter file_;
  uint8_t header_[mdl7::kHeaderSize] = {};
  // The current group, deformer or lump section record.
  uint8_t group_[mdl7::kGroupSize] = {};
  int64_t groupOffset_ = -1;
  // Whether group_ holds a group record (not a deformer or lump section).
  bool groupIsCurrent_ = false;
  uint8_t skin_[mdl7::kSkinSize] = {};
  int64_t skinOffset_ = -1;
  int32_t bytesPerPixel_ = 0;
  bool mipLevels_ = false;
  // The current frame, deformer element or lump list record.
  uint8_t frame_[mdl7::kDeformerElementSize] = {};
  int64_t frameOffset_ = -1;
  uint8_t lump_[mdl7::kLumpHeaderSize] = {};
  int64_t lumpOffset_ = -1;
  platform::FailureReason failure_;
};

}  // namespace modelfiles
