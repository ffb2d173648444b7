#include "modelfiles/mdl2r.h"

#include <cstring>

#include "modelfiles/image_size.h"
#include "modelfiles/normal_table.h"
#include "platform/little_endian.h"

namespace modelfiles {

using platform::LoadI16;
using platform::LoadI32;
using platform::LoadU16;

namespace {

// Header fields.
constexpr uint32_t kSkinCount = 48;
constexpr uint32_t kSkinWidth = 52;
constexpr uint32_t kSkinHeight = 56;
constexpr uint32_t kVertexCount = 60;
constexpr uint32_t kTriangleCount = 64;
constexpr uint32_t kFrameCount = 68;

// Record sizes.
constexpr uint32_t kSkinTypeSize = 4;
constexpr uint32_t kTexCoordSize = 12;
constexpr uint32_t kTriangleSize = 16;
constexpr uint32_t kFrameSize = 28;
constexpr uint32_t kFrameVertexSize = 4;

constexpr uint32_t kFrameName = 12;
// The only frame type read: a single frame, not a group of frames.
constexpr int32_t kSimpleFrame = 0;
constexpr uint8_t kSkinFormatMask = 0x07;
constexpr uint8_t kSkinMipFlag = 0x08;

}  // namespace

MDL2R::MDL2R() : MDL2R(kFormatIdpo) {}

MDL2R::MDL2R(int32_t formatCode) : LegacyModelReader(formatCode) {}

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
  if (buffer == nullptr || size < headerSize || size > INT32_MAX) return 0;
  if (std::memcmp(buffer, magic, 4) != 0 &&
      (secondMagic == nullptr || std::memcmp(buffer, secondMagic, 4) != 0)) {
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

int32_t MDL2R::SkinCount() const { return HeaderField(kSkinCount); }
int32_t MDL2R::VertexCount() const { return HeaderField(kVertexCount); }
int32_t MDL2R::TriangleCount() const { return HeaderField(kTriangleCount); }
int32_t MDL2R::TexCoordCount() const { return HeaderField(kVertexCount); }
int32_t MDL2R::FrameCount() const { return HeaderField(kFrameCount); }

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
  if (count < 0) return false;
  for (int32_t i = 0; i < count; ++i) {
    if (!ReadSkin(nullptr, nullptr, nullptr, nullptr, nullptr) || !SkipSkinData()) return false;
  }
  return true;
}

bool MDL2R::SkipTexCoords() { return SkipRecords(TexCoordCount(), kTexCoordSize); }

bool MDL2R::SkipTriangles() { return SkipRecords(TriangleCount(), kTriangleSize); }

bool MDL2R::SkipFrameData() { return SkipRecords(VertexCount(), kFrameVertexSize); }

bool MDL2R::WalkFrames() {
  const int32_t count = FrameCount();
  if (count < 0) return false;
  for (int32_t i = 0; i < count; ++i) {
    if (!ReadFrame(nullptr, nullptr, nullptr, nullptr, nullptr) || !SkipFrameData()) return false;
  }
  return true;
}

int32_t MDL2R::BytesPerPixelOfType(uint8_t type) const {
  switch (type & kSkinFormatMask) {
    case 0:
      return 1;
    case 2:
    case 3:
      return 2;
    default:
      return -1;
  }
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
  if (SkinCount() <= 0) return false;
  const uint8_t* record = Take(kSkinTypeSize);
  if (record == nullptr) return false;
  if (type != nullptr) *type = record[0];
  if (!DecodeSkinType(record[0])) return false;
  if (width != nullptr) *width = HeaderField(kSkinWidth);
  if (height != nullptr) *height = HeaderField(kSkinHeight);
  if (bytesPerPixel != nullptr) *bytesPerPixel = bytesPerPixel_;
  if (mipFlag != nullptr) *mipFlag = mipFlag_;
  return true;
}

bool MDL2R::TakeSkinImage(const uint8_t** level0, const uint8_t**, const uint8_t**, const uint8_t**) {
  uint64_t bytes = 0;
  if (!SkinLevelBytes(HeaderField(kSkinWidth), HeaderField(kSkinHeight), bytesPerPixel_, 0, bytes))
    return false;
  // Passed over or taken, the image must fit: a skin cut short by the end of
  // the file is never reported as read.
  const uint8_t* image = Take(static_cast<uint32_t>(bytes));
  if (image == nullptr) return false;
  if (level0 != nullptr) *level0 = image;
  return true;
}

bool MDL2R::ReadTexCoord(int16_t* s, int16_t* t) {
  if (TexCoordCount() <= 0) return false;
  const uint8_t* record = Take(kTexCoordSize);
  if (record == nullptr) return false;
  texCoord_ = record;
  // The low 16 bits of the 32-bit values at 4 and 8; the value at 0 marks
  // seam vertices and is not returned.
  if (s != nullptr) *s = LoadI16(record, 4);
  if (t != nullptr) *t = LoadI16(record, 8);
  return true;
}

bool MDL2R::CheckTriangleVertices(const int32_t (&vertices)[3]) const {
  const int32_t count = VertexCount();
  for (int32_t vertex : vertices) {
    if (vertex < 0 || vertex >= count) return false;
  }
  return true;
}

bool MDL2R::ReadTriangle(int32_t (*vertices)[3], int32_t (*texCoords)[3]) {
  if (TriangleCount() <= 0) return false;
  const uint8_t* record = Take(kTriangleSize);
  if (record == nullptr) return false;
  triangle_ = record;
  const int32_t read[3] = {LoadI32(record, 4), LoadI32(record, 8), LoadI32(record, 12)};
  for (int32_t i = 0; i < 3; ++i) {
    if (vertices != nullptr) (*vertices)[i] = read[i];
    if (texCoords != nullptr) (*texCoords)[i] = -1;
  }
  return CheckTriangleVertices(read);
}

const uint8_t* MDL2R::TakeFrame(uint32_t frameSize, int32_t frameType, uint32_t nameOffset,
                                char (*name)[kNameSize]) {
  if (FrameCount() <= 0) return nullptr;
  const uint8_t* record = Take(frameSize);
  if (record == nullptr) return nullptr;
  frame_ = record;
  if (LoadI32(record, 0) != frameType) return nullptr;
  if (name != nullptr) {
    std::memset(*name, 0, kNameSize);
    for (uint32_t i = 0; i + 1 < kNameSize && record[nameOffset + i] != 0; ++i) {
      (*name)[i] = static_cast<char>(record[nameOffset + i]);
    }
  }
  return record;
}

bool MDL2R::TakeFrameVertexRecord(uint32_t size) {
  if (VertexCount() < 1) return false;
  const uint8_t* record = Take(size);
  if (record == nullptr) return false;
  frameVertex_ = record;
  return true;
}

bool MDL2R::ReadFrame(char (*name)[kNameSize], uint16_t (*minimum)[3], uint16_t (*maximum)[3], float (*)[3],
                      float (*)[3]) {
  const uint8_t* record = TakeFrame(kFrameSize, kSimpleFrame, kFrameName, name);
  if (record == nullptr) return false;
  for (uint32_t i = 0; i < 3; ++i) {
    if (minimum != nullptr) (*minimum)[i] = record[4 + i];
    if (maximum != nullptr) (*maximum)[i] = record[8 + i];
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
  DecodeFrameVertex(1, 3, position, normalIndex);
  return true;
}

bool MDL2R::ReadVertexNormal(float&, float&, float&) { return false; }

}  // namespace modelfiles
