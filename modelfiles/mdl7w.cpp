#include "modelfiles/mdl7w.h"

#include <cstring>

#include "modelfiles/image_size.h"
#include "modelfiles/mdl7_layout.h"
#include "platform/little_endian.h"

namespace modelfiles {

using platform::FailureReason;

using platform::AddU32;
using platform::LoadI32;
using platform::LoadU32;
using platform::StoreF32;
using platform::StoreI32;
using platform::StoreU16;
using platform::StoreU32;

namespace {

// Copies at most size - 1 characters into a zero-filled field.
void StoreName(uint8_t* field, uint32_t size, const char* name) {
  std::memset(field, 0, size);
  if (name == nullptr) return;
  for (uint32_t i = 0; i + 1 < size && name[i] != '\0'; ++i) field[i] = static_cast<uint8_t>(name[i]);
}

void StoreTriangle(uint8_t* record, uint16_t vertex0, uint16_t vertex1, uint16_t vertex2, uint16_t texCoord0,
                   uint16_t texCoord1, uint16_t texCoord2, int32_t material) {
  StoreU16(record, mdl7::kTriangleVertices, vertex0);
  StoreU16(record, mdl7::kTriangleVertices + 2, vertex1);
  StoreU16(record, mdl7::kTriangleVertices + 4, vertex2);
  StoreU16(record, mdl7::kTriangleTexCoords, texCoord0);
  StoreU16(record, mdl7::kTriangleTexCoords + 2, texCoord1);
  StoreU16(record, mdl7::kTriangleTexCoords + 4, texCoord2);
  StoreI32(record, mdl7::kTriangleMaterial, material);
}

// x, y, z, a 16-bit index and a normal: the layout of vertices and frame
// vertices.
void StoreVertex(uint8_t* record, float x, float y, float z, uint16_t index, float normalX, float normalY,
                 float normalZ) {
  StoreF32(record, mdl7::kVertexPosition, x);
  StoreF32(record, mdl7::kVertexPosition + 4, y);
  StoreF32(record, mdl7::kVertexPosition + 8, z);
  StoreU16(record, mdl7::kVertexIndex, index);
  StoreF32(record, mdl7::kVertexNormal, normalX);
  StoreF32(record, mdl7::kVertexNormal + 4, normalY);
  StoreF32(record, mdl7::kVertexNormal + 8, normalZ);
}

}  // namespace

void MDL7W::Reset() {
  std::memset(header_, 0, sizeof header_);
  std::memset(group_, 0, sizeof group_);
  std::memset(skin_, 0, sizeof skin_);
  std::memset(frame_, 0, sizeof frame_);
  std::memset(lump_, 0, sizeof lump_);
  groupOffset_ = skinOffset_ = frameOffset_ = lumpOffset_ = -1;
  failure_ = FailureReason();
  groupIsCurrent_ = false;
  bytesPerPixel_ = 0;
  mipLevels_ = false;
}

int32_t MDL7W::Open(const char* path) {
  // A file still open is closed as its owner left it.
  (void)Close();
  Reset();
  const int32_t fd = file_.Open(path);
  if (fd < 0) return fd;
  return WriteHeader() ? fd : -1;
}

bool MDL7W::OpenInMemory() {
  (void)Close();
  Reset();
  file_.OpenInMemory();
  return WriteHeader();
}

bool MDL7W::WriteHeader() {
  std::memcpy(header_, "MDL7", 4);
  const uint16_t recordSizes[mdl7::kRecordSizeCount] = {
      mdl7::kBoneSize,          mdl7::kSkinSize,     mdl7::kColorValueSize, mdl7::kMaterialSize,
      mdl7::kTexCoordSize,      mdl7::kTriangleSize, mdl7::kVertexSize,     mdl7::kFrameVertexSize,
      mdl7::kBoneTransformSize, mdl7::kFrameSize};
  for (uint32_t i = 0; i < mdl7::kRecordSizeCount; ++i) {
    StoreU16(header_, mdl7::kHeaderRecordSizes + 2 * i, recordSizes[i]);
  }
  if (!WriteAll(header_, mdl7::kHeaderSize)) {
    // The reason of the failed write stays.
    (void)file_.Close();
    return false;
  }
  StoreU32(header_, mdl7::kHeaderDataSize, mdl7::kHeaderSize);
  return true;
}

bool MDL7W::Close() { return file_.Close(header_, mdl7::kHeaderSize); }

const FailureReason& MDL7W::LastFailure() const {
  return file_.LastFailure().IsFailure() ? file_.LastFailure() : failure_;
}

bool MDL7W::Refuse(const FailureReason& reason) {
  failure_ = reason;
  return false;
}

bool MDL7W::WriteAll(const void* bytes, uint32_t size) { return file_.Append(bytes, size) && file_.Flush(); }

int64_t MDL7W::Position() const { return file_.IsOpen() ? file_.Position() : -1; }

bool MDL7W::Patch(const uint8_t* image, uint32_t size, int64_t offset, bool resync) {
  if (offset < 0) return Refuse(FailureReason::OutOfOrder("a record finished before it began"));
  if (!file_.Rewrite(offset, image, size) || !file_.Flush()) return false;
  const int64_t position = file_.Position();
  if (resync && static_cast<uint32_t>(position) != LoadU32(header_, mdl7::kHeaderDataSize)) {
    StoreU32(header_, mdl7::kHeaderDataSize, static_cast<uint32_t>(position));
  }
  return true;
}

void MDL7W::CountDataBytes(uint32_t bytes) { AddU32(header_, mdl7::kHeaderDataSize, bytes); }

bool MDL7W::AppendRecord(uint8_t* owner, uint32_t countField, const void* record, uint32_t size,
                         Container container) {
  AddU32(owner, countField, 1);
  if (container == Container::kLump) {
    AddU32(lump_, mdl7::kLumpByteSize, size);
    AddU32(header_, mdl7::kHeaderLumpSize, size);
  } else {
    if (container == Container::kDeformer) AddU32(group_, mdl7::kDeformerDataSize, size);
    CountDataBytes(size);
  }
  return WriteAll(record, size);
}

bool MDL7W::WriteZeros(int32_t count) {
  if (count <= 0) return true;
  return file_.AppendZeros(static_cast<uint64_t>(count)) && file_.Flush();
}

bool MDL7W::AddBone(uint16_t parent, float x, float y, float z, const char* name) {
  if (LoadU32(header_, mdl7::kHeaderGroupCount) != 0) {
    return Refuse(FailureReason::OutOfOrder("a bone after the first group"));
  }
  uint8_t record[mdl7::kBoneSize] = {};
  StoreU16(record, mdl7::kBoneParent, parent);
  StoreF32(record, mdl7::kBonePosition, x);
  StoreF32(record, mdl7::kBonePosition + 4, y);
  StoreF32(record, mdl7::kBonePosition + 8, z);
  StoreName(record + mdl7::kBoneName, mdl7::kBoneNameSize, name);
  return AppendRecord(header_, mdl7::kHeaderBoneCount, record, mdl7::kBoneSize);
}

bool MDL7W::BeginGroup(const char* name) {
  std::memset(group_, 0, sizeof group_);
  group_[mdl7::kGroupType] = 1;
  StoreU32(group_, mdl7::kGroupDataSize, mdl7::kGroupSize);
  StoreName(group_ + mdl7::kGroupName, mdl7::kGroupNameSize, name);
  groupOffset_ = Position();
  groupIsCurrent_ = true;
  return AppendRecord(header_, mdl7::kHeaderGroupCount, group_, mdl7::kGroupSize);
}

bool MDL7W::FinishGroup() {
  // The group holds every byte from its record to here, zero fills and
  // sized blocks included: readers go from group to group by this size.
  const int64_t end = Position();
  if (groupIsCurrent_ && groupOffset_ >= 0 && end >= groupOffset_) {
    StoreU32(group_, mdl7::kGroupDataSize, static_cast<uint32_t>(end - groupOffset_));
  }
  return Patch(group_, mdl7::kGroupSize, groupOffset_, true);
}

bool MDL7W::SetGroupDeformers(uint8_t deformerCount, uint8_t deformerMaximum) {
  group_[mdl7::kGroupDeformerCount] = deformerCount;
  group_[mdl7::kGroupDeformerMaximum] = deformerMaximum;
  return FinishGroup();
}

bool MDL7W::BeginSkin(uint8_t skinType, const char* name) {
  if (LoadU32(group_, mdl7::kGroupTexCoordCount) != 0 || LoadU32(group_, mdl7::kGroupTriangleCount) != 0 ||
      LoadU32(group_, mdl7::kGroupVertexCount) != 0 || LoadU32(group_, mdl7::kGroupFrameCount) != 0) {
    return Refuse(FailureReason::OutOfOrder("a skin after the group's other records"));
  }
  std::memset(skin_, 0, sizeof skin_);
  skin_[mdl7::kSkinType] = skinType;
  StoreName(skin_ + mdl7::kSkinName, mdl7::kSkinNameSize, name);
  bytesPerPixel_ = 0;
  mipLevels_ = false;
  skinOffset_ = Position();
  return AppendRecord(group_, mdl7::kGroupSkinCount, skin_, mdl7::kSkinSize);
}

void MDL7W::SetSkinImage(int32_t width, int32_t height, int32_t bytesPerPixel, bool mipLevels) {
  StoreI32(skin_, mdl7::kSkinWidth, width);
  StoreI32(skin_, mdl7::kSkinHeight, height);
  bytesPerPixel_ = bytesPerPixel;
  mipLevels_ = mipLevels;
}

bool MDL7W::WriteSkinImage(const void* level0, const void* level1, const void* level2, const void* level3) {
  const int32_t width = LoadI32(skin_, mdl7::kSkinWidth);
  const int32_t height = LoadI32(skin_, mdl7::kSkinHeight);
  uint64_t size = 0;
  const int32_t level0PixelBytes = skin_[mdl7::kSkinType] == mdl7::kEmbeddedSkinType ? 1 : bytesPerPixel_;
  if (!SkinLevelBytes(width, height, level0PixelBytes, 0, size)) {
    return Refuse(FailureReason::TooLarge("a skin image beyond the format's sizes"));
  }
  if (level0 == nullptr && size > 0)
    return Refuse(FailureReason::Malformed("missing skin image", Position()));
  CountDataBytes(static_cast<uint32_t>(size));
  if (!WriteAll(level0, static_cast<uint32_t>(size))) return false;
  if (!mipLevels_) return true;
  // A missing reduced level fails before any of them is written; level 0 stays.
  if (level1 == nullptr || level2 == nullptr || level3 == nullptr) {
    return Refuse(FailureReason::Malformed("missing mip level", Position()));
  }
  const void* levels[kMipLevelCount] = {level0, level1, level2, level3};
  for (int32_t level = 1; level < kMipLevelCount; ++level) {
    if (!SkinLevelBytes(width, height, bytesPerPixel_, level, size)) {
      return Refuse(FailureReason::TooLarge("a mip level beyond the format's sizes"));
    }
    CountDataBytes(static_cast<uint32_t>(size));
    if (!WriteAll(levels[level], static_cast<uint32_t>(size))) return false;
  }
  return true;
}

bool MDL7W::FinishSkin() { return Patch(skin_, mdl7::kSkinSize, skinOffset_, true); }

bool MDL7W::WriteMaterial(const float (&colors)[4][4], float value) {
  uint8_t record[mdl7::kMaterialSize] = {};
  for (uint32_t c = 0; c < 4; ++c) {
    for (uint32_t i = 0; i < 4; ++i) StoreF32(record, c * mdl7::kColorValueSize + 4 * i, colors[c][i]);
  }
  StoreF32(record, mdl7::kMaterialValue, value);
  CountDataBytes(mdl7::kMaterialSize);
  return WriteAll(record, mdl7::kMaterialSize);
}

bool MDL7W::WriteSizedBlock(int32_t length, const void* bytes) {
  if (length < 0 || (length > 0 && bytes == nullptr)) {
    return Refuse(FailureReason::Malformed("sized block length", Position()));
  }
  uint8_t field[mdl7::kSizedBlockLengthSize];
  StoreI32(field, 0, length);
  const bool lengthWritten = WriteAll(field, mdl7::kSizedBlockLengthSize);
  return lengthWritten && WriteAll(bytes, static_cast<uint32_t>(length));
}

bool MDL7W::AddTexCoord(float s, float t) {
  if (LoadU32(group_, mdl7::kGroupTriangleCount) != 0 || LoadU32(group_, mdl7::kGroupVertexCount) != 0 ||
      LoadU32(group_, mdl7::kGroupFrameCount) != 0) {
    return Refuse(FailureReason::OutOfOrder("a texture coordinate after triangles, vertices or frames"));
  }
  uint8_t record[mdl7::kTexCoordSize];
  StoreF32(record, mdl7::kTexCoordS, s);
  StoreF32(record, mdl7::kTexCoordT, t);
  return AppendRecord(group_, mdl7::kGroupTexCoordCount, record, mdl7::kTexCoordSize);
}

bool MDL7W::AddTriangle(uint16_t vertex0, uint16_t vertex1, uint16_t vertex2, uint16_t texCoord0,
                        uint16_t texCoord1, uint16_t texCoord2, int32_t material) {
  if (LoadU32(group_, mdl7::kGroupVertexCount) != 0 || LoadU32(group_, mdl7::kGroupFrameCount) != 0) {
    return Refuse(FailureReason::OutOfOrder("a triangle after vertices or frames"));
  }
  uint8_t record[mdl7::kTriangleSize];
  StoreTriangle(record, vertex0, vertex1, vertex2, texCoord0, texCoord1, texCoord2, material);
  return AppendRecord(group_, mdl7::kGroupTriangleCount, record, mdl7::kTriangleSize);
}

bool MDL7W::AddVertex(float x, float y, float z, uint16_t bone, float normalX, float normalY, float normalZ) {
  if (LoadU32(group_, mdl7::kGroupFrameCount) != 0) {
    return Refuse(FailureReason::OutOfOrder("a vertex after the group's frames"));
  }
  uint8_t record[mdl7::kVertexSize];
  StoreVertex(record, x, y, z, bone, normalX, normalY, normalZ);
  return AppendRecord(group_, mdl7::kGroupVertexCount, record, mdl7::kVertexSize);
}

bool MDL7W::BeginFrame(const char* name) {
  std::memset(frame_, 0, sizeof frame_);
  StoreName(frame_, mdl7::kFrameNameSize, name);
  frameOffset_ = Position();
  return AppendRecord(group_, mdl7::kGroupFrameCount, frame_, mdl7::kFrameSize);
}

bool MDL7W::AddFrameVertex(uint16_t vertexIndex, float x, float y, float z, float normalX, float normalY,
                           float normalZ) {
  uint8_t record[mdl7::kFrameVertexSize];
  StoreVertex(record, x, y, z, vertexIndex, normalX, normalY, normalZ);
  return AppendRecord(frame_, mdl7::kFrameVertexCount, record, mdl7::kFrameVertexSize);
}

bool MDL7W::AddBoneTransform(uint16_t bone, const uint8_t (&matrix)[mdl7::kMatrixSize]) {
  uint8_t record[mdl7::kBoneTransformSize] = {};
  std::memcpy(record, matrix, sizeof matrix);
  StoreU16(record, mdl7::kTransformBone, bone);
  return AppendRecord(frame_, mdl7::kFrameTransformCount, record, mdl7::kBoneTransformSize);
}

bool MDL7W::FinishFrame() { return Patch(frame_, mdl7::kFrameSize, frameOffset_, false); }

bool MDL7W::BeginDeformer(uint8_t deformerType, int32_t groupIndex) {
  std::memset(group_, 0, sizeof group_);
  group_[mdl7::kDeformerType] = deformerType;
  StoreI32(group_, mdl7::kDeformerGroup, groupIndex);
  StoreU32(group_, mdl7::kDeformerDataSize, mdl7::kDeformerSize);
  groupOffset_ = Position();
  groupIsCurrent_ = false;
  AddU32(header_, mdl7::kHeaderDataSize, mdl7::kDeformerSize);
  return WriteAll(group_, mdl7::kDeformerSize);
}

bool MDL7W::BeginDeformerElement(int32_t elementIndex, const char* name) {
  std::memset(frame_, 0, sizeof frame_);
  StoreI32(frame_, mdl7::kElementIndex, elementIndex);
  StoreName(frame_ + mdl7::kElementName, mdl7::kElementNameSize, name);
  frameOffset_ = Position();
  return AppendRecord(group_, mdl7::kDeformerElementCount, frame_, mdl7::kDeformerElementSize,
                      Container::kDeformer);
}

bool MDL7W::AddDeformerWeight(int32_t index, float weight) {
  uint8_t record[mdl7::kDeformerWeightSize];
  StoreI32(record, mdl7::kWeightIndex, index);
  StoreF32(record, mdl7::kWeightValue, weight);
  return AppendRecord(frame_, mdl7::kElementWeightCount, record, mdl7::kDeformerWeightSize,
                      Container::kDeformer);
}

bool MDL7W::FinishDeformerElement() { return Patch(frame_, mdl7::kDeformerElementSize, frameOffset_, true); }

bool MDL7W::FinishDeformer() { return Patch(group_, mdl7::kDeformerSize, groupOffset_, true); }

bool MDL7W::BeginLump() {
  std::memset(lump_, 0, sizeof lump_);
  StoreI32(lump_, mdl7::kLumpHeaderVersion, mdl7::kLumpVersion);
  StoreU32(lump_, mdl7::kLumpByteSize, mdl7::kLumpHeaderSize);
  lumpOffset_ = Position();
  AddU32(header_, mdl7::kHeaderLumpSize, mdl7::kLumpHeaderSize);
  return WriteAll(lump_, mdl7::kLumpHeaderSize);
}

bool MDL7W::BeginLumpSection(int32_t sectionId) {
  std::memset(group_, 0, sizeof group_);
  StoreI32(group_, mdl7::kSectionId, sectionId);
  groupOffset_ = Position();
  groupIsCurrent_ = false;
  return AppendRecord(lump_, mdl7::kLumpSectionCount, group_, mdl7::kLumpSectionSize, Container::kLump);
}

bool MDL7W::BeginLumpList(int32_t listId) {
  std::memset(frame_, 0, sizeof frame_);
  StoreI32(frame_, mdl7::kListId, listId);
  frameOffset_ = Position();
  return AppendRecord(group_, mdl7::kSectionListCount, frame_, mdl7::kLumpListSize, Container::kLump);
}

bool MDL7W::AddLumpTriangle(uint16_t vertex0, uint16_t vertex1, uint16_t vertex2, uint16_t texCoord0,
                            uint16_t texCoord1, uint16_t texCoord2, int32_t material) {
  uint8_t record[mdl7::kTriangleSize];
  StoreTriangle(record, vertex0, vertex1, vertex2, texCoord0, texCoord1, texCoord2, material);
  return AppendRecord(frame_, mdl7::kListTriangleCount, record, mdl7::kTriangleSize, Container::kLump);
}

bool MDL7W::FinishLumpList() { return Patch(frame_, mdl7::kLumpListSize, frameOffset_, false); }

bool MDL7W::FinishLumpSection() { return Patch(group_, mdl7::kLumpSectionSize, groupOffset_, false); }

bool MDL7W::FinishLump() { return Patch(lump_, mdl7::kLumpHeaderSize, lumpOffset_, false); }

}  // namespace modelfiles
