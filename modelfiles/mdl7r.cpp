#include "modelfiles/mdl7r.h"

#include <cstring>

#include "modelfiles/image_size.h"
#include "modelfiles/mdl7_layout.h"
#include "modelfiles/normal_table.h"
#include "modelfiles/skin_format.h"
#include "platform/little_endian.h"

namespace modelfiles {

using platform::FailureReason;
using platform::LoadF32;
using platform::LoadI32;
using platform::LoadU16;

namespace {

// A stored 16-bit index, -1 for "none".
int32_t IndexOrNone(uint16_t index) { return index == mdl7::kNoIndex ? -1 : index; }

// Copies a zero-padded name field of `fieldSize` bytes into `out`, at most
// outSize - 1 characters and always zero-terminated; empty when the record
// of `recordSize` bytes does not hold the whole field at `offset`.
void CopyName(const uint8_t* record, uint32_t recordSize, uint32_t offset, uint32_t fieldSize, char* out,
              uint32_t outSize) {
  uint32_t length = 0;
  if (recordSize >= offset + fieldSize) {
    while (length + 1 < outSize && length < fieldSize && record[offset + length] != 0) {
      out[length] = static_cast<char>(record[offset + length]);
      ++length;
    }
  }
  out[length] = '\0';
}

// Field helpers: the value is stored only when the field fits in the record.
void LoadFloatField(const uint8_t* record, uint32_t recordSize, uint32_t offset, float& out) {
  if (recordSize >= offset + 4) out = LoadF32(record, offset);
}

void LoadIntField(const uint8_t* record, uint32_t recordSize, uint32_t offset, int32_t& out) {
  if (recordSize >= offset + 4) out = LoadI32(record, offset);
}

void LoadIndexField(const uint8_t* record, uint32_t recordSize, uint32_t offset, int32_t& out) {
  if (recordSize >= offset + 2) out = IndexOrNone(LoadU16(record, offset));
}

// x, y, z and a 16-bit index: the layout of vertices and frame vertices.
void LoadVertexFields(const uint8_t* record, uint32_t recordSize, float& x, float& y, float& z,
                      int32_t& index) {
  LoadFloatField(record, recordSize, mdl7::kVertexPosition, x);
  LoadFloatField(record, recordSize, mdl7::kVertexPosition + 4, y);
  LoadFloatField(record, recordSize, mdl7::kVertexPosition + 8, z);
  LoadIndexField(record, recordSize, mdl7::kVertexIndex, index);
}

}  // namespace

MDL7R::MDL7R() : ModelReader(kFormatMdl7) {}

MDL7R::~MDL7R() { MDL7R::Close(); }

void MDL7R::ClearState() {
  header_ = group_ = bone_ = material_ = skin_ = nullptr;
  bytesPerPixel_ = 0;
  mipFlag_ = 0;
  texCoord_ = triangle_ = vertex_ = frame_ = frameVertex_ = boneTransform_ = nullptr;
  sizedBlockLength_ = 0;
  lumpRecord_ = nullptr;
  lumpPosition_ = 0;
  secondLump_ = false;
  totalDeformerCount_ = 0;
  deformerMaximum_ = 0;
  deformer_ = deformerElement_ = deformerWeight_ = nullptr;
}

bool MDL7R::Close() {
  ModelReader::Close();
  ClearState();
  return true;
}

int32_t MDL7R::Attach(const uint8_t* buffer, uint32_t size) {
  if (buffer != nullptr && size >= 4 && std::memcmp(buffer, "MDL7", 4) != 0) {
    Fail(UnsupportedMagic(buffer));
    return 0;
  }
  if (buffer == nullptr || size < mdl7::kHeaderSize) {
    Fail(FailureReason::Truncated("header", 0));
    return 0;
  }
  const int32_t dataSize = LoadI32(buffer, mdl7::kHeaderDataSize);
  const int32_t lumpSize = LoadI32(buffer, mdl7::kHeaderLumpSize);
  const int32_t secondLumpSize = LoadI32(buffer, mdl7::kHeaderSecondLumpSize);
  if (dataSize < 0) {
    FailMalformed("data size", mdl7::kHeaderDataSize);
    return 0;
  }
  if (lumpSize < 0) {
    FailMalformed("lump size", mdl7::kHeaderLumpSize);
    return 0;
  }
  if (secondLumpSize < 0) {
    FailMalformed("second lump size", mdl7::kHeaderSecondLumpSize);
    return 0;
  }
  // Summed in 64 bits: three fields of up to 2^31 - 1 cannot overflow.
  const int64_t total = static_cast<int64_t>(dataSize) + lumpSize + secondLumpSize;
  // A total that leaves no room for the header itself; the data size is the
  // field that is off, as it counts the header.
  if (total < static_cast<int64_t>(mdl7::kHeaderSize)) {
    FailMalformed("data size", mdl7::kHeaderDataSize);
    return 0;
  }
  header_ = buffer;
  SetReadableSize(total < static_cast<int64_t>(size) ? static_cast<uint32_t>(total) : size);
  SetCursor(mdl7::kHeaderSize);
  return static_cast<int32_t>(ReadableSize());
}

uint32_t MDL7R::RecordSize(uint32_t offset) const {
  return header_ != nullptr ? LoadU16(header_, offset) : 0;
}

const uint8_t* MDL7R::TakeRecord(uint32_t sizeField, const char* what, const uint8_t*& current,
                                 uint32_t& size) {
  size = RecordSize(sizeField);
  const uint8_t* record = Take(size, what);
  if (record != nullptr) current = record;
  return record;
}

int32_t MDL7R::GroupField(uint32_t offset) const { return group_ != nullptr ? LoadI32(group_, offset) : 0; }

bool MDL7R::GroupCountAllowsRecord(uint32_t offset, const char* field) {
  return group_ != nullptr && CountAllowsRecord(GroupField(offset), field, OffsetOf(group_) + offset);
}

uint8_t MDL7R::SkinType() const {
  return skin_ != nullptr && RecordSize(mdl7::kHeaderSkinSize) > mdl7::kSkinType ? skin_[mdl7::kSkinType] : 0;
}

bool MDL7R::SkipBones() {
  if (header_ == nullptr) return false;
  return SkipRecords(LoadI32(header_, mdl7::kHeaderBoneCount), RecordSize(mdl7::kHeaderBoneSize), "bone",
                     "bone count", mdl7::kHeaderBoneCount);
}

bool MDL7R::WalkGroup() {
  if (group_ == nullptr) return false;
  if (group_[mdl7::kGroupType] == mdl7::kMeshGroupType) {
    return WalkSkins() && SkipTexCoords() && SkipTriangles() && SkipVertices() && WalkFrames();
  }
  const int64_t body = static_cast<int64_t>(GroupField(mdl7::kGroupDataSize)) - mdl7::kGroupSize;
  if (body <= 0) return FailMalformed("group data size", OffsetOf(group_) + mdl7::kGroupDataSize);
  return Skip(static_cast<uint32_t>(body), "group body");
}

bool MDL7R::SkipSkinData() { return TakeSkinData(nullptr, nullptr); }

bool MDL7R::TakeSkinData(const uint8_t** level0, SkinMaterial* material) {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bytesPerPixel = 0;
  uint8_t mipFlag = 0;
  if (level0 != nullptr) *level0 = nullptr;
  if (material != nullptr) *material = SkinMaterial();
  if (!ReadSkinImage(width, height, bytesPerPixel, mipFlag)) return false;
  const uint8_t type = SkinType();
  if ((type & kSkinFormatMask) == mdl7::kEmbeddedSkinType) {
    if (width < 0) return FailMalformed("skin width", OffsetOf(skin_) + mdl7::kSkinWidth);
    if (!Skip(static_cast<uint32_t>(width), "embedded skin data")) return false;
  } else if (width > 0 && height > 0) {
    const uint8_t* levels[kMipLevelCount] = {};
    if (!TakeSkinImage(&levels[0], &levels[1], &levels[2], &levels[3])) return false;
    if (level0 != nullptr) *level0 = levels[0];
  }
  if ((type & mdl7::kSkinHasMaterial) != 0) {
    if (material == nullptr) {
      if (!Skip(RecordSize(mdl7::kHeaderMaterialSize), "material")) return false;
    } else {
      if (!ReadMaterial(material->colors, material->value)) return false;
      material->present = true;
    }
  }
  if ((type & mdl7::kSkinHasSizedBlock) != 0) {
    int32_t length = 0;
    const uint32_t lengthOffset = Offset();
    if (!ReadSizedBlockLength(length)) return false;
    if (length < 0) return FailMalformed("sized block length", lengthOffset);
    if (length > 0 && !Skip(static_cast<uint32_t>(length), "sized block")) return false;
  }
  return true;
}

bool MDL7R::WalkSkins() {
  if (group_ == nullptr) return false;
  const int32_t count = GroupField(mdl7::kGroupSkinCount);
  if (count < 0) return FailMalformed("skin count", OffsetOf(group_) + mdl7::kGroupSkinCount);
  uint8_t type = 0;
  char name[kNameSize];
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t start = Offset();
    if (!ReadSkin(type, name) || !SkipSkinData()) return false;
    // A skin of 0 bytes (skin record size 0, empty image) leaves the cursor
    // where it was, so every later one reads the same bytes with the same
    // result: stop instead of spinning through up to 2^31 - 1 of them.
    if (Offset() == start) break;
  }
  return true;
}

bool MDL7R::SkipTexCoords() {
  return group_ != nullptr &&
         SkipRecords(GroupField(mdl7::kGroupTexCoordCount), RecordSize(mdl7::kHeaderTexCoordSize),
                     "texture coordinate", "texture coordinate count",
                     OffsetOf(group_) + mdl7::kGroupTexCoordCount);
}

bool MDL7R::SkipTriangles() {
  return group_ != nullptr &&
         SkipRecords(GroupField(mdl7::kGroupTriangleCount), RecordSize(mdl7::kHeaderTriangleSize), "triangle",
                     "triangle count", OffsetOf(group_) + mdl7::kGroupTriangleCount);
}

bool MDL7R::SkipVertices() {
  return group_ != nullptr &&
         SkipRecords(GroupField(mdl7::kGroupVertexCount), RecordSize(mdl7::kHeaderVertexSize), "vertex",
                     "vertex count", OffsetOf(group_) + mdl7::kGroupVertexCount);
}

bool MDL7R::SkipFrameData() {
  if (frame_ == nullptr) return false;
  int32_t vertexCount = 0;
  LoadIntField(frame_, RecordSize(mdl7::kHeaderFrameSize), mdl7::kFrameVertexCount, vertexCount);
  return SkipRecords(vertexCount, RecordSize(mdl7::kHeaderFrameVertexSize), "frame vertex",
                     "frame vertex count", OffsetOf(frame_) + mdl7::kFrameVertexCount) &&
         SkipBoneTransforms();
}

bool MDL7R::SkipBoneTransforms() {
  if (frame_ == nullptr) return false;
  int32_t transformCount = 0;
  LoadIntField(frame_, RecordSize(mdl7::kHeaderFrameSize), mdl7::kFrameTransformCount, transformCount);
  return SkipRecords(transformCount, RecordSize(mdl7::kHeaderBoneTransformSize), "bone transform",
                     "bone transform count", OffsetOf(frame_) + mdl7::kFrameTransformCount);
}

bool MDL7R::WalkFrames() {
  if (group_ == nullptr) return false;
  const int32_t count = GroupField(mdl7::kGroupFrameCount);
  if (count < 0) return FailMalformed("frame count", OffsetOf(group_) + mdl7::kGroupFrameCount);
  int32_t vertexCount = 0;
  int32_t transformCount = 0;
  char name[kNameSize];
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t start = Offset();
    if (!ReadFrame(vertexCount, transformCount, name) || !SkipFrameData()) return false;
    // As in WalkSkins: a frame of 0 bytes repeats itself to the end.
    if (Offset() == start) break;
  }
  return true;
}

bool MDL7R::ReadHeaderCounts(int32_t& boneCount, int32_t& groupCount, int32_t& dataSize, int32_t& lumpSize,
                             int32_t& secondLumpSize) {
  if (header_ == nullptr) return false;
  boneCount = LoadI32(header_, mdl7::kHeaderBoneCount);
  groupCount = LoadI32(header_, mdl7::kHeaderGroupCount);
  dataSize = LoadI32(header_, mdl7::kHeaderDataSize);
  lumpSize = LoadI32(header_, mdl7::kHeaderLumpSize);
  secondLumpSize = LoadI32(header_, mdl7::kHeaderSecondLumpSize);
  return true;
}

bool MDL7R::ReadBone(int32_t& parent, float& x, float& y, float& z, char (&name)[kLongNameSize]) {
  if (header_ == nullptr ||
      !CountAllowsRecord(LoadI32(header_, mdl7::kHeaderBoneCount), "bone count", mdl7::kHeaderBoneCount)) {
    return false;
  }
  uint32_t size = 0;
  const uint8_t* record = TakeRecord(mdl7::kHeaderBoneSize, "bone", bone_, size);
  if (record == nullptr) return false;
  LoadIndexField(record, size, mdl7::kBoneParent, parent);
  LoadFloatField(record, size, mdl7::kBonePosition, x);
  LoadFloatField(record, size, mdl7::kBonePosition + 4, y);
  LoadFloatField(record, size, mdl7::kBonePosition + 8, z);
  CopyName(record, size, mdl7::kBoneName, mdl7::kBoneNameSize, name, kLongNameSize);
  return true;
}

bool MDL7R::ReadGroupCounts(int32_t& skinCount, int32_t& texCoordCount, int32_t& triangleCount,
                            int32_t& vertexCount, int32_t& frameCount) {
  if (group_ == nullptr) return false;
  skinCount = GroupField(mdl7::kGroupSkinCount);
  texCoordCount = GroupField(mdl7::kGroupTexCoordCount);
  triangleCount = GroupField(mdl7::kGroupTriangleCount);
  vertexCount = GroupField(mdl7::kGroupVertexCount);
  frameCount = GroupField(mdl7::kGroupFrameCount);
  return true;
}

bool MDL7R::ReadGroup(uint8_t& type, int32_t& groupDataSize, char (&name)[kNameSize]) {
  if (header_ == nullptr ||
      !CountAllowsRecord(LoadI32(header_, mdl7::kHeaderGroupCount), "group count", mdl7::kHeaderGroupCount)) {
    return false;
  }
  const uint8_t* record = Take(mdl7::kGroupSize, "group");
  if (record == nullptr) return false;
  group_ = record;
  type = record[mdl7::kGroupType];
  groupDataSize = LoadI32(record, mdl7::kGroupDataSize);
  CopyName(record, mdl7::kGroupSize, mdl7::kGroupName, mdl7::kGroupNameSize, name, kNameSize);
  // At most 255 per group; the total stops at the largest 32-bit value.
  const int32_t count = record[mdl7::kGroupDeformerCount];
  totalDeformerCount_ = totalDeformerCount_ > INT32_MAX - count ? INT32_MAX : totalDeformerCount_ + count;
  if (record[mdl7::kGroupDeformerMaximum] > deformerMaximum_)
    deformerMaximum_ = record[mdl7::kGroupDeformerMaximum];
  return true;
}

bool MDL7R::ReadSkin(uint8_t& type, char (&name)[kNameSize]) {
  if (!GroupCountAllowsRecord(mdl7::kGroupSkinCount, "skin count")) return false;
  uint32_t size = 0;
  const uint8_t* record = TakeRecord(mdl7::kHeaderSkinSize, "skin", skin_, size);
  if (record == nullptr) return false;
  material_ = nullptr;
  sizedBlockLength_ = 0;
  if (size > mdl7::kSkinType) type = record[mdl7::kSkinType];
  CopyName(record, size, mdl7::kSkinName, mdl7::kSkinNameSize, name, kNameSize);
  return true;
}

bool MDL7R::ReadSkinImage(int32_t& width, int32_t& height, int32_t& bytesPerPixel, uint8_t& mipFlag) {
  if (skin_ == nullptr) return false;
  const uint32_t size = RecordSize(mdl7::kHeaderSkinSize);
  const uint8_t type = SkinType();
  width = 0;
  height = 0;
  LoadIntField(skin_, size, mdl7::kSkinWidth, width);
  LoadIntField(skin_, size, mdl7::kSkinHeight, height);
  bytesPerPixel_ = kMdl7BytesPerPixel[type & kSkinFormatMask];
  mipFlag_ = (type & kSkinMipFlag) != 0 ? 1 : 0;
  bytesPerPixel = bytesPerPixel_;
  mipFlag = mipFlag_;
  return true;
}

bool MDL7R::TakeSkinImage(const uint8_t** level0, const uint8_t** level1, const uint8_t** level2,
                          const uint8_t** level3) {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bytesPerPixel = 0;
  uint8_t mipFlag = 0;
  if (!ReadSkinImage(width, height, bytesPerPixel, mipFlag)) return false;
  return TakeSkinLevels(width, OffsetOf(skin_) + mdl7::kSkinWidth, height,
                        OffsetOf(skin_) + mdl7::kSkinHeight, bytesPerPixel, mipFlag != 0 ? kMipLevelCount : 1,
                        {level0, level1, level2, level3});
}

bool MDL7R::ReadMaterial(float (&colors)[4][4], float& value) {
  if (skin_ == nullptr || (SkinType() & mdl7::kSkinHasMaterial) == 0) return false;
  uint32_t size = 0;
  const uint8_t* record = TakeRecord(mdl7::kHeaderMaterialSize, "material", material_, size);
  if (record == nullptr) return false;
  for (uint32_t c = 0; c < 4; ++c) {
    for (uint32_t i = 0; i < 4; ++i)
      LoadFloatField(record, size, mdl7::kColorValueSize * c + 4 * i, colors[c][i]);
  }
  LoadFloatField(record, size, mdl7::kMaterialValue, value);
  return true;
}

bool MDL7R::ReadSizedBlock(uint8_t* buffer, uint32_t capacity) {
  if (skin_ == nullptr || (SkinType() & mdl7::kSkinHasSizedBlock) == 0) return false;
  if (sizedBlockLength_ <= 0 || buffer == nullptr) return false;
  const uint32_t length = static_cast<uint32_t>(sizedBlockLength_);
  if (length > capacity) return Fail(FailureReason::TooLarge("sized block longer than the buffer given"));
  const uint8_t* block = Take(length, "sized block");
  if (block == nullptr) return false;
  std::memcpy(buffer, block, length);
  return true;
}

bool MDL7R::ReadSizedBlockLength(int32_t& length) {
  if (skin_ == nullptr || (SkinType() & mdl7::kSkinHasSizedBlock) == 0) return false;
  const uint8_t* field = Take(mdl7::kSizedBlockLengthSize, "sized block length");
  if (field == nullptr) return false;
  sizedBlockLength_ = LoadI32(field, 0);
  length = sizedBlockLength_;
  return true;
}

bool MDL7R::ReadTexCoord(float& s, float& t) {
  if (!GroupCountAllowsRecord(mdl7::kGroupTexCoordCount, "texture coordinate count")) return false;
  uint32_t size = 0;
  const uint8_t* record = TakeRecord(mdl7::kHeaderTexCoordSize, "texture coordinate", texCoord_, size);
  if (record == nullptr) return false;
  LoadFloatField(record, size, mdl7::kTexCoordS, s);
  LoadFloatField(record, size, mdl7::kTexCoordT, t);
  return true;
}

bool MDL7R::ReadTriangleRecord(int32_t (&vertices)[3], int32_t (&texCoords)[3], int32_t& material,
                               const char* what) {
  uint32_t size = 0;
  const uint8_t* record = TakeRecord(mdl7::kHeaderTriangleSize, what, triangle_, size);
  if (record == nullptr) return false;
  for (uint32_t i = 0; i < 3; ++i) {
    const uint32_t vertex = mdl7::kTriangleVertices + 2 * i;
    if (size >= vertex + 2) vertices[i] = LoadU16(record, vertex);
    LoadIndexField(record, size, mdl7::kTriangleTexCoords + 2 * i, texCoords[i]);
  }
  LoadIntField(record, size, mdl7::kTriangleMaterial, material);
  return true;
}

bool MDL7R::ReadTriangle(int32_t (&vertices)[3], int32_t (&texCoords)[3], int32_t& material) {
  if (!GroupCountAllowsRecord(mdl7::kGroupTriangleCount, "triangle count")) return false;
  if (!ReadTriangleRecord(vertices, texCoords, material, "triangle")) return false;
  const uint32_t size = RecordSize(mdl7::kHeaderTriangleSize);
  const int32_t vertexCount = GroupField(mdl7::kGroupVertexCount);
  for (uint32_t i = 0; i < 3; ++i) {
    const uint32_t vertex = mdl7::kTriangleVertices + 2 * i;
    if (size >= vertex + 2 && vertices[i] >= vertexCount)
      return FailMalformed("triangle vertex index", OffsetOf(triangle_) + vertex);
  }
  return true;
}

bool MDL7R::ReadVertex(float& x, float& y, float& z, int32_t& bone) {
  if (!GroupCountAllowsRecord(mdl7::kGroupVertexCount, "vertex count")) return false;
  uint32_t size = 0;
  const uint8_t* record = TakeRecord(mdl7::kHeaderVertexSize, "vertex", vertex_, size);
  if (record == nullptr) return false;
  LoadVertexFields(record, size, x, y, z, bone);
  return true;
}

bool MDL7R::ReadNormal(const uint8_t* record, uint32_t size, float& x, float& y, float& z) {
  if (record == nullptr) return false;
  if (size >= mdl7::kVertexNormal + 12) {
    x = LoadF32(record, mdl7::kVertexNormal);
    y = LoadF32(record, mdl7::kVertexNormal + 4);
    z = LoadF32(record, mdl7::kVertexNormal + 8);
    return true;
  }
  if (size == mdl7::kCompactVertexSize) {
    // A compact record: a 16-bit index into the normal table.
    NormalFromIndex(LoadU16(record, mdl7::kVertexNormal), x, y, z);
    return false;
  }
  x = y = z = 0.0f;
  return false;
}

bool MDL7R::ReadVertexNormal(float& x, float& y, float& z) {
  return ReadNormal(vertex_, RecordSize(mdl7::kHeaderVertexSize), x, y, z);
}

bool MDL7R::ReadFrame(int32_t& frameVertexCount, int32_t& transformCount, char (&name)[kNameSize]) {
  if (!GroupCountAllowsRecord(mdl7::kGroupFrameCount, "frame count")) return false;
  uint32_t size = 0;
  const uint8_t* record = TakeRecord(mdl7::kHeaderFrameSize, "frame", frame_, size);
  if (record == nullptr) return false;
  CopyName(record, size, mdl7::kFrameName, mdl7::kFrameNameSize, name, kNameSize);
  LoadIntField(record, size, mdl7::kFrameVertexCount, frameVertexCount);
  LoadIntField(record, size, mdl7::kFrameTransformCount, transformCount);
  return true;
}

bool MDL7R::ReadFrameVertex(int32_t& vertexIndex, float& x, float& y, float& z) {
  if (frame_ == nullptr) return false;
  int32_t count = 0;
  LoadIntField(frame_, RecordSize(mdl7::kHeaderFrameSize), mdl7::kFrameVertexCount, count);
  if (count < 0) return FailMalformed("frame vertex count", OffsetOf(frame_) + mdl7::kFrameVertexCount);
  if (count == 0) return false;
  uint32_t size = 0;
  const uint8_t* record = TakeRecord(mdl7::kHeaderFrameVertexSize, "frame vertex", frameVertex_, size);
  if (record == nullptr) return false;
  LoadVertexFields(record, size, x, y, z, vertexIndex);
  return true;
}

bool MDL7R::ReadFrameVertexNormal(float& x, float& y, float& z) {
  return ReadNormal(frameVertex_, RecordSize(mdl7::kHeaderFrameVertexSize), x, y, z);
}

bool MDL7R::ReadBoneTransform(int32_t& bone, uint8_t (&matrix)[mdl7::kMatrixSize]) {
  uint32_t size = 0;
  const uint8_t* record = TakeRecord(mdl7::kHeaderBoneTransformSize, "bone transform", boneTransform_, size);
  if (record == nullptr) return false;
  if (size >= mdl7::kMatrixSize) std::memcpy(matrix, record, mdl7::kMatrixSize);
  LoadIndexField(record, size, mdl7::kTransformBone, bone);
  return true;
}

bool MDL7R::SkipDeformers() {
  for (int32_t i = 0; i < totalDeformerCount_; ++i) {
    if (!SkipDeformer()) return false;
  }
  return true;
}

bool MDL7R::SkipDeformer() {
  if (totalDeformerCount_ == 0) return false;
  uint8_t type = 0;
  int32_t groupIndex = 0;
  int32_t elementCount = 0;
  int32_t dataSize = 0;
  if (!ReadDeformer(type, groupIndex, elementCount, &dataSize)) return false;
  if (dataSize < static_cast<int32_t>(mdl7::kDeformerSize))
    return FailMalformed("deformer data size", OffsetOf(deformer_) + mdl7::kDeformerDataSize);
  return Skip(static_cast<uint32_t>(dataSize) - mdl7::kDeformerSize, "deformer elements");
}

bool MDL7R::ReadDeformer(uint8_t& type, int32_t& groupIndex, int32_t& elementCount, int32_t* dataSize) {
  const uint8_t* record = Take(mdl7::kDeformerSize, "deformer");
  if (record == nullptr) return false;
  deformer_ = record;
  type = record[mdl7::kDeformerType];
  groupIndex = LoadI32(record, mdl7::kDeformerGroup);
  elementCount = LoadI32(record, mdl7::kDeformerElementCount);
  if (dataSize != nullptr) *dataSize = LoadI32(record, mdl7::kDeformerDataSize);
  return true;
}

bool MDL7R::ReadDeformerElement(int32_t& elementIndex, char (*name)[kLongNameSize], int32_t& weightCount) {
  const uint8_t* record = Take(mdl7::kDeformerElementSize, "deformer element");
  if (record == nullptr) return false;
  deformerElement_ = record;
  elementIndex = LoadI32(record, mdl7::kElementIndex);
  if (name != nullptr) {
    CopyName(record, mdl7::kDeformerElementSize, mdl7::kElementName, mdl7::kElementNameSize, *name,
             kLongNameSize);
  }
  weightCount = LoadI32(record, mdl7::kElementWeightCount);
  return true;
}

bool MDL7R::ReadDeformerWeight(int32_t& index, float& weight) {
  const uint8_t* record = Take(mdl7::kDeformerWeightSize, "deformer weight");
  if (record == nullptr) return false;
  deformerWeight_ = record;
  index = LoadI32(record, mdl7::kWeightIndex);
  weight = LoadF32(record, mdl7::kWeightValue);
  return true;
}

bool MDL7R::SkipDeformerWeights() {
  if (deformerElement_ == nullptr) return false;
  const int32_t count = LoadI32(deformerElement_, mdl7::kElementWeightCount);
  if (count < 0)
    return FailMalformed("deformer weight count", OffsetOf(deformerElement_) + mdl7::kElementWeightCount);
  int32_t index = 0;
  float weight = 0.0f;
  for (int32_t i = 0; i < count; ++i) {
    if (!ReadDeformerWeight(index, weight)) return false;
  }
  return true;
}

// Open has checked that the header's sizes are not negative.
uint64_t MDL7R::LumpStart(bool second) const {
  const uint64_t dataSize = static_cast<uint32_t>(LoadI32(header_, mdl7::kHeaderDataSize));
  return second ? dataSize + LumpSize(false) : dataSize;
}

int32_t MDL7R::LumpSize(bool second) const {
  return LoadI32(header_, second ? mdl7::kHeaderSecondLumpSize : mdl7::kHeaderLumpSize);
}

bool MDL7R::SeekToLump() {
  if (header_ == nullptr || LumpSize(false) <= 0) return false;
  const uint32_t start = static_cast<uint32_t>(LumpStart(false));
  if (!SeekTo(start)) return Fail(FailureReason::Truncated("lump header", start));
  return true;
}

bool MDL7R::LumpPosition(uint64_t lumpStart, int32_t lumpSize, uint32_t recordSize, const char* what,
                         uint32_t& position) {
  // Lump-relative end of the record; below recordSize when the cursor lies
  // before the lump, above the lump size when the record would leave it.
  const int64_t end = static_cast<int64_t>(Offset()) - static_cast<int64_t>(lumpStart) + recordSize;
  if (end < static_cast<int64_t>(recordSize)) return false;
  if (end > lumpSize) return Fail(FailureReason::Truncated(what, Offset()));
  position = static_cast<uint32_t>(end);
  return true;
}

const uint8_t* MDL7R::TakeLumpRecord(uint64_t lumpStart, int32_t lumpSize, uint32_t recordSize,
                                     const char* what, bool secondLump) {
  uint32_t position = 0;
  if (!LumpPosition(lumpStart, lumpSize, recordSize, what, position)) return nullptr;
  const uint8_t* record = Take(recordSize, what);
  if (record == nullptr) return nullptr;
  lumpRecord_ = record;
  lumpPosition_ = position;
  secondLump_ = secondLump;
  return record;
}

bool MDL7R::LoadFieldPair(const uint8_t* record, uint32_t firstOffset, int32_t& first, uint32_t secondOffset,
                          int32_t& second) {
  if (record == nullptr) return false;
  first = LoadI32(record, firstOffset);
  second = LoadI32(record, secondOffset);
  return true;
}

bool MDL7R::ReadLumpHeader(int32_t& version, int32_t& sectionCount) {
  if (header_ == nullptr) return false;
  const uint8_t* record =
      TakeLumpRecord(LumpStart(false), LumpSize(false), mdl7::kLumpHeaderSize, "lump header", false);
  return LoadFieldPair(record, mdl7::kLumpHeaderVersion, version, mdl7::kLumpSectionCount, sectionCount);
}

bool MDL7R::ReadLumpSection(int32_t& sectionId, int32_t& listCount) {
  return LoadFieldPair(Take(mdl7::kLumpSectionSize, "lump section"), mdl7::kSectionId, sectionId,
                       mdl7::kSectionListCount, listCount);
}

bool MDL7R::ReadLumpList(int32_t& listId, int32_t& triangleCount) {
  return LoadFieldPair(Take(mdl7::kLumpListSize, "lump list"), mdl7::kListId, listId,
                       mdl7::kListTriangleCount, triangleCount);
}

bool MDL7R::ReadLumpTriangle(int32_t (&vertices)[3], int32_t (&texCoords)[3], int32_t& material) {
  return ReadTriangleRecord(vertices, texCoords, material, "lump triangle");
}

bool MDL7R::SeekToSecondLump() {
  if (header_ == nullptr || LumpSize(true) <= 0) return false;
  const uint64_t start = LumpStart(true);
  if (start > UINT32_MAX || !SeekTo(static_cast<uint32_t>(start)))
    return Fail(FailureReason::Truncated("second lump record", start));
  return true;
}

bool MDL7R::ReadSecondLumpRecord(int32_t& first, int32_t& second) {
  if (header_ == nullptr) return false;
  const uint8_t* record = TakeLumpRecord(LumpStart(true), LumpSize(true), mdl7::kSecondLumpRecordSize,
                                         "second lump record", true);
  return LoadFieldPair(record, mdl7::kSecondLumpId, first, mdl7::kLumpByteSize, second);
}

bool MDL7R::SkipLump() {
  if (lumpRecord_ == nullptr || header_ == nullptr) return false;
  const uint64_t lumpStart = LumpStart(secondLump_);
  const uint64_t lumpEnd = lumpStart + static_cast<uint32_t>(LumpSize(secondLump_));
  const uint32_t recordSize = secondLump_ ? mdl7::kSecondLumpRecordSize : mdl7::kLumpHeaderSize;
  const int32_t byteSize = LoadI32(lumpRecord_, mdl7::kLumpByteSize);
  const uint64_t byteSizeOffset = OffsetOf(lumpRecord_) + mdl7::kLumpByteSize;
  if (byteSize < static_cast<int32_t>(recordSize)) return FailMalformed("lump byte size", byteSizeOffset);
  const uint64_t recordStart = lumpStart + lumpPosition_ - recordSize;
  const uint64_t target = recordStart + static_cast<uint32_t>(byteSize);
  if (target > lumpEnd) return FailMalformed("lump byte size", byteSizeOffset);
  // Inside the declared lump, but past the end of a file shorter than its
  // declared total.
  if (target > ReadableSize()) return Fail(FailureReason::Truncated("lump", recordStart));
  // The end of the lump may be the end of the readable bytes, where SeekTo
  // would refuse; every later Take of one or more bytes then fails.
  SetCursor(static_cast<uint32_t>(target));
  return true;
}

}  // namespace modelfiles
