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

// The skin record is a 32-bit type whose low byte holds the type bits.
constexpr uint32_t kSkinTypeSize = 4;
constexpr uint32_t kSkinType = 0;
// Texture coordinate record: the seam flag, s and t, 32 bits each; s and t
// are read as their low 16 bits.
constexpr legacy::TexCoordLayout kTexCoord = {12, 4, 8};
// Triangle record: the front-face flag, then three 32-bit vertex indices.
constexpr legacy::TriangleLayout kTriangle = {16, 4, 0, 4, false};
// Frame record: type 0 (a single frame, not a group of frames), minimum and
// maximum (a byte per coordinate), name.
constexpr legacy::FrameLayout kFrame = {28, 0, 4, 8, 1, 12};
// Frame vertex record: three packed coordinates of one byte, normal index.
constexpr legacy::FrameVertexLayout kFrameVertex = {4, 1, 3};
// The type leads the frame record of every format of the family; a frame
// group has another type than a single frame.
constexpr uint32_t kFrameType = 0;
// Texture coordinate record: the seam flag leads. Triangle record: the
// front-face flag leads.
constexpr uint32_t kTexCoordOnSeam = 0;
constexpr uint32_t kTriangleFacesFront = 0;
// Frame group: type, frame count, minimum and maximum, then one 32-bit
// interval per frame and the frames, each a box, a name and its vertices.
constexpr uint32_t kFrameGroupHeadSize = 16;
constexpr uint32_t kFrameGroupCount = 4;
constexpr uint32_t kFrameIntervalSize = 4;
// A frame of a group: a box (a byte per coordinate) and a name; it stores
// no type, so the layout's type is never compared.
constexpr legacy::FrameLayout kGroupFrame = {24, 0, 0, 4, 1, 8};

// A triangle index of `width` bytes: 4 signed, or 2 unsigned.
int32_t LoadIndex(const uint8_t* record, uint32_t offset, uint32_t width) {
  return width == 4 ? LoadI32(record, offset) : LoadU16(record, offset);
}

// Runs `step` `count` times, up to its first failure.
template <typename Step>
bool Repeat(int32_t count, Step step) {
  for (int32_t i = 0; i < count; ++i) {
    if (!step()) return false;
  }
  return true;
}

}  // namespace

MDL2R::MDL2R() : MDL2R(kFormatIdpo) {}

MDL2R::MDL2R(int32_t formatCode)
    : LegacyModelReader(formatCode),
      counts_{legacy::kHeaderSkinCount, legacy::kHeaderVertexCount, legacy::kHeaderTriangleCount,
              legacy::kHeaderFrameCount, legacy::kHeaderVertexCount} {}

bool MDL2R::Close() {
  ModelReader::Close();
  skin_ = header_ = nullptr;
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
  return Repeat(count,
                [this] { return ReadSkin(nullptr, nullptr, nullptr, nullptr, nullptr) && SkipSkinData(); });
}

bool MDL2R::SkipTexCoords() { return SkipTexCoordRun(kTexCoord); }

bool MDL2R::SkipTriangles() { return SkipTriangleRun(kTriangle); }

bool MDL2R::SkipFrameData() { return SkipFrameVertexRun(kFrameVertex); }

bool MDL2R::SkipTexCoordRun(const legacy::TexCoordLayout& layout) {
  return SkipRecords(TexCoordCount(), layout.size, "texture coordinate", "texture coordinate count",
                     counts_.texCoords);
}

bool MDL2R::SkipTriangleRun(const legacy::TriangleLayout& layout) {
  return SkipRecords(TriangleCount(), layout.size, "triangle", "triangle count", counts_.triangles);
}

bool MDL2R::SkipFrameVertexRun(const legacy::FrameVertexLayout& layout) {
  return SkipRecords(VertexCount(), layout.size, "frame vertex", "vertex count", counts_.vertices);
}

bool MDL2R::WalkFrames() {
  const int32_t count = FrameCount();
  if (count < 0) return FailMalformed("frame count", counts_.frames);
  return Repeat(count,
                [this] { return ReadFrame(nullptr, nullptr, nullptr, nullptr, nullptr) && SkipFrameData(); });
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

bool MDL2R::TakeSkinRecord(uint32_t size, const char* what, uint8_t* type) {
  if (!CountAllowsRecord(SkinCount(), "skin count", counts_.skins)) return false;
  const uint8_t* record = Take(size, what);
  if (record == nullptr) return false;
  skin_ = record;
  if (type != nullptr) *type = record[kSkinType];
  if (!DecodeSkinType(record[kSkinType])) return FailMalformed("skin type", OffsetOf(record) + kSkinType);
  return true;
}

void MDL2R::ReportSkin(int32_t skinWidth, int32_t skinHeight, int32_t* width, int32_t* height,
                       int32_t* bytesPerPixel, uint8_t* mipFlag) const {
  if (width != nullptr) *width = skinWidth;
  if (height != nullptr) *height = skinHeight;
  if (bytesPerPixel != nullptr) *bytesPerPixel = bytesPerPixel_;
  if (mipFlag != nullptr) *mipFlag = mipFlag_;
}

bool MDL2R::ReadSkin(uint8_t* type, int32_t* width, int32_t* height, int32_t* bytesPerPixel,
                     uint8_t* mipFlag) {
  if (!TakeSkinRecord(kSkinTypeSize, "skin type", type)) return false;
  ReportSkin(HeaderField(legacy::kHeaderSkinWidth), HeaderField(legacy::kHeaderSkinHeight), width, height,
             bytesPerPixel, mipFlag);
  return true;
}

bool MDL2R::TakeSkinImage(const uint8_t** level0, const uint8_t**, const uint8_t**, const uint8_t**) {
  return TakeSkinLevels(HeaderField(legacy::kHeaderSkinWidth), legacy::kHeaderSkinWidth,
                        HeaderField(legacy::kHeaderSkinHeight), legacy::kHeaderSkinHeight, bytesPerPixel_, 1,
                        {level0, nullptr, nullptr, nullptr});
}

bool MDL2R::ReadTexCoord(int16_t* s, int16_t* t) { return ReadTexCoordRecord(kTexCoord, s, t); }

bool MDL2R::ReadTexCoordRecord(const legacy::TexCoordLayout& layout, int16_t* s, int16_t* t) {
  if (!CountAllowsRecord(TexCoordCount(), "texture coordinate count", counts_.texCoords)) return false;
  const uint8_t* record = Take(layout.size, "texture coordinate");
  if (record == nullptr) return false;
  texCoord_ = record;
  if (s != nullptr) *s = LoadI16(record, layout.s);
  if (t != nullptr) *t = LoadI16(record, layout.t);
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
  return ReadTriangleRecord(kTriangle, vertices, texCoords);
}

bool MDL2R::ReadTriangleRecord(const legacy::TriangleLayout& layout, int32_t (*vertices)[3],
                               int32_t (*texCoords)[3]) {
  if (!CountAllowsRecord(TriangleCount(), "triangle count", counts_.triangles)) return false;
  const uint8_t* record = Take(layout.size, "triangle");
  if (record == nullptr) return false;
  triangle_ = record;
  const uint32_t width = layout.indexWidth;
  int32_t read[3];
  for (uint32_t i = 0; i < 3; ++i) {
    read[i] = LoadIndex(record, layout.vertices + width * i, width);
    if (vertices != nullptr) (*vertices)[i] = read[i];
    if (texCoords != nullptr)
      (*texCoords)[i] = layout.hasTexCoords ? LoadIndex(record, layout.texCoords + width * i, width) : -1;
  }
  return CheckTriangleVertices(read, record, layout.vertices, width);
}

const uint8_t* MDL2R::TakeFrameRecord(uint32_t size, const char* what) {
  if (!CountAllowsRecord(FrameCount(), "frame count", counts_.frames)) return nullptr;
  const uint8_t* record = Take(size, what);
  if (record != nullptr) frame_ = record;
  return record;
}

bool MDL2R::ReadFrameRecord(const legacy::FrameLayout& layout, char (*name)[kNameSize],
                            uint16_t (*minimum)[3], uint16_t (*maximum)[3]) {
  const uint8_t* record = TakeFrameRecord(layout.size, "frame");
  if (record == nullptr) return false;
  const int32_t type = LoadI32(record, kFrameType);
  if (type != layout.type) {
    char what[32];
    std::snprintf(what, sizeof what, "frame type %d", static_cast<int>(type));
    return Fail(FailureReason::Unsupported(what));
  }
  CopyFrameName(record, layout.name, name);
  LoadPacked(record, layout.minimum, layout.fieldWidth, minimum);
  LoadPacked(record, layout.maximum, layout.fieldWidth, maximum);
  return true;
}

void MDL2R::CopyFrameName(const uint8_t* record, uint32_t nameOffset, char (*name)[kNameSize]) {
  if (name == nullptr) return;
  std::memset(*name, 0, kNameSize);
  for (uint32_t i = 0; i + 1 < kNameSize && record[nameOffset + i] != 0; ++i) {
    (*name)[i] = static_cast<char>(record[nameOffset + i]);
  }
}

void MDL2R::LoadPacked(const uint8_t* record, uint32_t offset, uint32_t fieldWidth, uint16_t (*values)[3]) {
  if (values == nullptr) return;
  for (uint32_t i = 0; i < 3; ++i) {
    (*values)[i] = fieldWidth == 1 ? record[offset + i] : LoadU16(record, offset + 2 * i);
  }
}

bool MDL2R::TexCoordOnSeam() const {
  return texCoord_ != nullptr && LoadI32(texCoord_, kTexCoordOnSeam) != 0;
}

bool MDL2R::TriangleFacesFront() const {
  return triangle_ == nullptr || LoadI32(triangle_, kTriangleFacesFront) != 0;
}

bool MDL2R::NextFrameIsGroup() const {
  return header_ != nullptr && Remaining() >= 4 && LoadI32(Buffer(), Offset() + kFrameType) != kFrame.type;
}

bool MDL2R::ReadFrameGroup(int32_t& count) {
  const uint8_t* record = TakeFrameRecord(kFrameGroupHeadSize, "frame group");
  if (record == nullptr) return false;
  count = LoadI32(record, kFrameGroupCount);
  const uint64_t countOffset = OffsetOf(record) + kFrameGroupCount;
  if (count < 1) return FailMalformed("frame group count", countOffset);
  return SkipRecords(count, kFrameIntervalSize, "frame interval", "frame group count", countOffset);
}

bool MDL2R::ReadGroupFrame(char (*name)[kNameSize], uint16_t (*minimum)[3], uint16_t (*maximum)[3]) {
  if (frame_ == nullptr) return false;
  const uint8_t* record = Take(kGroupFrame.size, "frame");
  if (record == nullptr) return false;
  CopyFrameName(record, kGroupFrame.name, name);
  LoadPacked(record, kGroupFrame.minimum, kGroupFrame.fieldWidth, minimum);
  LoadPacked(record, kGroupFrame.maximum, kGroupFrame.fieldWidth, maximum);
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
  return ReadFrameRecord(kFrame, name, minimum, maximum);
}

bool MDL2R::TakeFrameVertex() { return TakeFrameVertexRecord(kFrameVertex.size); }

bool MDL2R::ReadFrameVertexRecord(const legacy::FrameVertexLayout& layout, uint16_t (*position)[3],
                                  int32_t* normalIndex) {
  if (!TakeFrameVertex()) return false;
  LoadPacked(frameVertex_, 0, layout.fieldWidth, position);
  if (normalIndex != nullptr) {
    const int32_t index = frameVertex_[layout.normal];
    *normalIndex = index < NormalCount ? index : 0;
  }
  return true;
}

bool MDL2R::ReadFrameVertex(uint16_t (*position)[3], int32_t* normalIndex) {
  return ReadFrameVertexRecord(kFrameVertex, position, normalIndex);
}

bool MDL2R::ReadVertexNormal(float&, float&, float&) { return false; }

}  // namespace modelfiles
