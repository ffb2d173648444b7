#include "modelfiles/mdl2r.h"

#include <cstdio>
#include <cstring>

#include "modelfiles/image_size.h"
#include "modelfiles/legacy_layout.h"
#include "modelfiles/normal_table.h"
#include "modelfiles/skin_format.h"
#include "platform/little_endian.h"

namespace modelfiles {

using platform::FailureReason;
using platform::LoadI16;
using platform::LoadI32;
using platform::LoadU16;

namespace {

// Record sizes.
constexpr uint32_t kSkinTypeSize = 4;
// The skin record is a 32-bit type whose low byte holds the type bits.
constexpr uint32_t kSkinType = 0;
constexpr uint32_t kTexCoordSize = 12;
constexpr uint32_t kTriangleSize = 16;
constexpr uint32_t kFrameSize = 28;
constexpr uint32_t kFrameVertexSize = 4;

// Texture coordinate record: the seam flag, s and t, 32 bits each.
constexpr uint32_t kTexCoordS = 4;
constexpr uint32_t kTexCoordT = 8;
// Triangle record: the front-face flag, then three 32-bit vertex indices.
constexpr uint32_t kTriangleVertices = 4;
constexpr uint32_t kTriangleIndexWidth = 4;
// Frame record: type, minimum and maximum (a packed vertex each), name. The
// type leads the frame record of every format of the family.
constexpr uint32_t kFrameType = 0;
constexpr uint32_t kFrameMinimum = 4;
constexpr uint32_t kFrameMaximum = 8;
constexpr uint32_t kFrameName = 12;
// The only frame type read: a single frame, not a group of frames.
constexpr int32_t kSimpleFrame = 0;
// Frame vertex record: three packed coordinates of one byte, normal index.
constexpr uint32_t kFrameVertexNormal = 3;
// Texture coordinate record: the seam flag leads. Triangle record: the
// front-face flag leads.
constexpr uint32_t kTexCoordOnSeam = 0;
constexpr uint32_t kTriangleFacesFront = 0;
// Frame group: type, frame count, minimum and maximum, then one 32-bit
// interval per frame and the frames, each a box, a name and its vertices.
constexpr uint32_t kFrameGroupHeadSize = 16;
constexpr uint32_t kFrameGroupCount = 4;
constexpr uint32_t kFrameIntervalSize = 4;
constexpr uint32_t kGroupFrameSize = 24;
constexpr uint32_t kGroupFrameMinimum = 0;
constexpr uint32_t kGroupFrameMaximum = 4;
constexpr uint32_t kGroupFrameName = 8;

}  // namespace

MDL2R::MDL2R() : MDL2R(kFormatIdpo) {}

MDL2R::MDL2R(int32_t formatCode)
    : LegacyModelReader(formatCode),
      counts_{legacy::kHeaderSkinCount, legacy::kHeaderVertexCount, legacy::kHeaderTriangleCount,
              legacy::kHeaderFrameCount, legacy::kHeaderVertexCount} {}

bool MDL2R::Close() {
  ModelReader::Close();
  header_ = nullptr;
  bytesPerPixel_ = 0;
  mipFlag_ = 0;
  texCoord_ = triangle_ = frameVertex_ = frame_ = nullptr;
  return true;
}

int32_t MDL2R::Attach(const uint8_t* buffer, uint32_t size) {
  return AttachFormat(buffer, size, "IDPO", "MDL2", kHeaderSize);
}

int32_t MDL2R::AttachFormat(const uint8_t* buffer, uint32_t size, const char* magic, const char* secondMagic,
                            uint32_t headerSize) {
  // The magic first: a file of another format is reported as such, however
  // short it is.
  if (buffer != nullptr && size >= 4 && std::memcmp(buffer, magic, 4) != 0 &&
      (secondMagic == nullptr || std::memcmp(buffer, secondMagic, 4) != 0)) {
    Fail(UnsupportedMagic(buffer));
    return 0;
  }
  if (buffer == nullptr || size < headerSize) {
    Fail(FailureReason::Truncated("header", 0));
    return 0;
  }
  if (size > INT32_MAX) {
    Fail(FailureReason::TooLarge("more than 2147483647 bytes"));
    return 0;
  }
  header_ = buffer;
  SetReadableSize(size);
  SetCursor(headerSize);
  return static_cast<int32_t>(size);
}

int32_t MDL2R::HeaderField(uint32_t offset) const {
  return header_ != nullptr ? LoadI32(header_, offset) : 0;
}

int32_t MDL2R::SkinCount() const { return HeaderField(counts_.skins); }
int32_t MDL2R::VertexCount() const { return HeaderField(counts_.vertices); }
int32_t MDL2R::TriangleCount() const { return HeaderField(counts_.triangles); }
int32_t MDL2R::TexCoordCount() const { return HeaderField(counts_.texCoords); }
int32_t MDL2R::FrameCount() const { return HeaderField(counts_.frames); }

bool MDL2R::GetHeader(const uint8_t** header) {
  if (header != nullptr) *header = header_;
  return header_ != nullptr;
}

bool MDL2R::SkipBones() { return true; }

bool MDL2R::SkipVertices() { return true; }

bool MDL2R::WalkGroup() {
  if (header_ == nullptr) return false;
  return WalkSkins() && SkipTexCoords() && SkipTriangles() && WalkFrames();
}

bool MDL2R::SkipSkinData() { return TakeSkinImage(nullptr, nullptr, nullptr, nullptr); }

bool MDL2R::WalkSkins() {
  const int32_t count = SkinCount();
  if (count < 0) return FailMalformed("skin count", counts_.skins);
  for (int32_t i = 0; i < count; ++i) {
    if (!ReadSkin(nullptr, nullptr, nullptr, nullptr, nullptr) || !SkipSkinData()) return false;
  }
  return true;
}

bool MDL2R::SkipTexCoords() {
  return SkipRecords(TexCoordCount(), kTexCoordSize, "texture coordinate", "texture coordinate count",
                     counts_.texCoords);
}

bool MDL2R::SkipTriangles() {
  return SkipRecords(TriangleCount(), kTriangleSize, "triangle", "triangle count", counts_.triangles);
}

bool MDL2R::SkipFrameData() {
  return SkipRecords(VertexCount(), kFrameVertexSize, "frame vertex", "vertex count", counts_.vertices);
}

bool MDL2R::WalkFrames() {
  const int32_t count = FrameCount();
  if (count < 0) return FailMalformed("frame count", counts_.frames);
  for (int32_t i = 0; i < count; ++i) {
    if (!ReadFrame(nullptr, nullptr, nullptr, nullptr, nullptr) || !SkipFrameData()) return false;
  }
  return true;
}

int32_t MDL2R::BytesPerPixelOfType(uint8_t type) const {
  return kLegacyBytesPerPixel[type & kSkinFormatMask];
}

bool MDL2R::DecodeSkinType(uint8_t type) {
  bytesPerPixel_ = 0;
  mipFlag_ = 0;
  const int32_t bytesPerPixel = BytesPerPixelOfType(type);
  if (bytesPerPixel < 0) return false;
  bytesPerPixel_ = bytesPerPixel;
  mipFlag_ = (type & kSkinMipFlag) != 0 ? 1 : 0;
  return true;
}

bool MDL2R::ReadSkin(uint8_t* type, int32_t* width, int32_t* height, int32_t* bytesPerPixel,
                     uint8_t* mipFlag) {
  if (!CountAllowsRecord(SkinCount(), "skin count", counts_.skins)) return false;
  const uint8_t* record = Take(kSkinTypeSize, "skin type");
  if (record == nullptr) return false;
  if (type != nullptr) *type = record[kSkinType];
  if (!DecodeSkinType(record[kSkinType])) return FailMalformed("skin type", OffsetOf(record) + kSkinType);
  if (width != nullptr) *width = HeaderField(legacy::kHeaderSkinWidth);
  if (height != nullptr) *height = HeaderField(legacy::kHeaderSkinHeight);
  if (bytesPerPixel != nullptr) *bytesPerPixel = bytesPerPixel_;
  if (mipFlag != nullptr) *mipFlag = mipFlag_;
  return true;
}

bool MDL2R::TakeSkinImage(const uint8_t** level0, const uint8_t**, const uint8_t**, const uint8_t**) {
  uint64_t bytes = 0;
  const int32_t width = HeaderField(legacy::kHeaderSkinWidth);
  const int32_t height = HeaderField(legacy::kHeaderSkinHeight);
  if (!SkinLevelBytes(width, height, bytesPerPixel_, 0, bytes))
    return FailSkinSize(width, legacy::kHeaderSkinWidth, height, legacy::kHeaderSkinHeight);
  // Passed over or taken, the image must fit: a skin cut short by the end of
  // the file is never reported as read.
  const uint8_t* image = Take(static_cast<uint32_t>(bytes), "skin image");
  if (image == nullptr) return false;
  if (level0 != nullptr) *level0 = image;
  return true;
}

bool MDL2R::ReadTexCoord(int16_t* s, int16_t* t) {
  if (!CountAllowsRecord(TexCoordCount(), "texture coordinate count", counts_.texCoords)) return false;
  const uint8_t* record = Take(kTexCoordSize, "texture coordinate");
  if (record == nullptr) return false;
  texCoord_ = record;
  // The low 16 bits of the 32-bit values; the seam flag is not returned.
  if (s != nullptr) *s = LoadI16(record, kTexCoordS);
  if (t != nullptr) *t = LoadI16(record, kTexCoordT);
  return true;
}

bool MDL2R::CheckTriangleVertices(const int32_t (&vertices)[3], const uint8_t* record, uint32_t firstIndex,
                                  uint32_t indexWidth) {
  const int32_t count = VertexCount();
  for (uint32_t i = 0; i < 3; ++i) {
    if (vertices[i] < 0 || vertices[i] >= count)
      return FailMalformed("triangle vertex index", OffsetOf(record) + firstIndex + indexWidth * i);
  }
  return true;
}

bool MDL2R::ReadTriangle(int32_t (*vertices)[3], int32_t (*texCoords)[3]) {
  if (!CountAllowsRecord(TriangleCount(), "triangle count", counts_.triangles)) return false;
  const uint8_t* record = Take(kTriangleSize, "triangle");
  if (record == nullptr) return false;
  triangle_ = record;
  int32_t read[3];
  for (uint32_t i = 0; i < 3; ++i) {
    read[i] = LoadI32(record, kTriangleVertices + kTriangleIndexWidth * i);
    if (vertices != nullptr) (*vertices)[i] = read[i];
    if (texCoords != nullptr) (*texCoords)[i] = -1;
  }
  return CheckTriangleVertices(read, record, kTriangleVertices, kTriangleIndexWidth);
}

const uint8_t* MDL2R::TakeFrame(uint32_t frameSize, int32_t frameType, uint32_t nameOffset,
                                char (*name)[kNameSize]) {
  if (!CountAllowsRecord(FrameCount(), "frame count", counts_.frames)) return nullptr;
  const uint8_t* record = Take(frameSize, "frame");
  if (record == nullptr) return nullptr;
  frame_ = record;
  const int32_t type = LoadI32(record, kFrameType);
  if (type != frameType) {
    char what[32];
    std::snprintf(what, sizeof what, "frame type %d", static_cast<int>(type));
    Fail(FailureReason::Unsupported(what));
    return nullptr;
  }
  CopyFrameName(record, nameOffset, name);
  return record;
}

void MDL2R::CopyFrameName(const uint8_t* record, uint32_t nameOffset, char (*name)[kNameSize]) {
  if (name == nullptr) return;
  std::memset(*name, 0, kNameSize);
  for (uint32_t i = 0; i + 1 < kNameSize && record[nameOffset + i] != 0; ++i) {
    (*name)[i] = static_cast<char>(record[nameOffset + i]);
  }
}

bool MDL2R::TexCoordOnSeam() const {
  return texCoord_ != nullptr && LoadI32(texCoord_, kTexCoordOnSeam) != 0;
}

bool MDL2R::TriangleFacesFront() const {
  return triangle_ == nullptr || LoadI32(triangle_, kTriangleFacesFront) != 0;
}

bool MDL2R::NextFrameIsGroup() const {
  return header_ != nullptr && Remaining() >= 4 && LoadI32(Buffer(), Offset() + kFrameType) != kSimpleFrame;
}

bool MDL2R::ReadFrameGroup(int32_t& count) {
  if (!CountAllowsRecord(FrameCount(), "frame count", counts_.frames)) return false;
  const uint8_t* record = Take(kFrameGroupHeadSize, "frame group");
  if (record == nullptr) return false;
  frame_ = record;
  count = LoadI32(record, kFrameGroupCount);
  const uint64_t countOffset = OffsetOf(record) + kFrameGroupCount;
  if (count < 1) return FailMalformed("frame group count", countOffset);
  return SkipRecords(count, kFrameIntervalSize, "frame interval", "frame group count", countOffset);
}

bool MDL2R::ReadGroupFrame(char (*name)[kNameSize], uint16_t (*minimum)[3], uint16_t (*maximum)[3]) {
  if (frame_ == nullptr) return false;
  const uint8_t* record = Take(kGroupFrameSize, "frame");
  if (record == nullptr) return false;
  CopyFrameName(record, kGroupFrameName, name);
  for (uint32_t i = 0; i < 3; ++i) {
    if (minimum != nullptr) (*minimum)[i] = record[kGroupFrameMinimum + i];
    if (maximum != nullptr) (*maximum)[i] = record[kGroupFrameMaximum + i];
  }
  return true;
}

bool MDL2R::TakeFrameVertexRecord(uint32_t size) {
  if (!CountAllowsRecord(VertexCount(), "vertex count", counts_.vertices)) return false;
  const uint8_t* record = Take(size, "frame vertex");
  if (record == nullptr) return false;
  frameVertex_ = record;
  return true;
}

bool MDL2R::ReadFrame(char (*name)[kNameSize], uint16_t (*minimum)[3], uint16_t (*maximum)[3], float (*)[3],
                      float (*)[3]) {
  const uint8_t* record = TakeFrame(kFrameSize, kSimpleFrame, kFrameName, name);
  if (record == nullptr) return false;
  for (uint32_t i = 0; i < 3; ++i) {
    if (minimum != nullptr) (*minimum)[i] = record[kFrameMinimum + i];
    if (maximum != nullptr) (*maximum)[i] = record[kFrameMaximum + i];
  }
  return true;
}

bool MDL2R::TakeFrameVertex() { return TakeFrameVertexRecord(kFrameVertexSize); }

void MDL2R::DecodeFrameVertex(uint32_t fieldWidth, uint32_t normalOffset, uint16_t (*position)[3],
                              int32_t* normalIndex) const {
  if (position != nullptr) {
    for (uint32_t i = 0; i < 3; ++i) {
      (*position)[i] = fieldWidth == 1 ? frameVertex_[i] : LoadU16(frameVertex_, 2 * i);
    }
  }
  if (normalIndex != nullptr) {
    const int32_t index = frameVertex_[normalOffset];
    *normalIndex = index < NormalCount ? index : 0;
  }
}

bool MDL2R::ReadFrameVertex(uint16_t (*position)[3], int32_t* normalIndex) {
  if (!TakeFrameVertex()) return false;
  DecodeFrameVertex(1, kFrameVertexNormal, position, normalIndex);
  return true;
}

bool MDL2R::ReadVertexNormal(float&, float&, float&) { return false; }

}  // namespace modelfiles
