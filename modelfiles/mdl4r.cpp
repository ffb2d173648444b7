#include "modelfiles/mdl4r.h"

#include "platform/little_endian.h"

namespace modelfiles {

using platform::LoadU16;

namespace {

// Frame record: type, 16-bit minimum and maximum, name.
constexpr uint32_t kFrameSize = 36;
constexpr uint32_t kFrameMinimum = 4;
constexpr uint32_t kFrameMaximum = 12;
constexpr uint32_t kFrameName = 20;
// Frame vertex record: three 16-bit packed coordinates, normal index.
constexpr uint32_t kFrameVertexSize = 8;
constexpr uint32_t kFrameVertexNormal = 6;
// The only frame type read: a single frame with a 16-bit bounding box.
constexpr int32_t kSimpleFrame = 2;

}  // namespace

MDL4R::MDL4R() : MDL4R(kFormatMdl4) {}

MDL4R::MDL4R(int32_t formatCode) : MDL3R(formatCode) {}

int32_t MDL4R::Attach(const uint8_t* buffer, uint32_t size) {
  return AttachFormat(buffer, size, "MDL4", nullptr, kHeaderSize);
}

bool MDL4R::SkipFrameData() {
  return SkipRecords(VertexCount(), kFrameVertexSize, "frame vertex", "vertex count", counts_.vertices);
}

bool MDL4R::ReadFrame(char (*name)[kNameSize], uint16_t (*minimum)[3], uint16_t (*maximum)[3], float (*)[3],
                      float (*)[3]) {
  const uint8_t* record = TakeFrame(kFrameSize, kSimpleFrame, kFrameName, name);
  if (record == nullptr) return false;
  for (uint32_t i = 0; i < 3; ++i) {
    if (minimum != nullptr) (*minimum)[i] = LoadU16(record, kFrameMinimum + 2 * i);
    if (maximum != nullptr) (*maximum)[i] = LoadU16(record, kFrameMaximum + 2 * i);
  }
  return true;
}

bool MDL4R::TakeFrameVertex() { return TakeFrameVertexRecord(kFrameVertexSize); }

bool MDL4R::ReadFrameVertex(uint16_t (*position)[3], int32_t* normalIndex) {
  if (!TakeFrameVertex()) return false;
  DecodeFrameVertex(2, kFrameVertexNormal, position, normalIndex);
  return true;
}

}  // namespace modelfiles
