#include "modelfiles/mdl4r.h"

#include "modelfiles/legacy_layout.h"

namespace modelfiles {

namespace {

// Frame record: type 2 (a single frame with a 16-bit bounding box), 16-bit
// minimum and maximum, name.
constexpr legacy::FrameLayout kFrame = {36, 2, 4, 12, 2, 20};
// Frame vertex record: three 16-bit packed coordinates, normal index.
constexpr legacy::FrameVertexLayout kFrameVertex = {8, 2, 6};

}  // namespace

MDL4R::MDL4R() : MDL4R(kFormatMdl4) {}

MDL4R::MDL4R(int32_t formatCode) : MDL3R(formatCode) {}

int32_t MDL4R::Attach(const uint8_t* buffer, uint32_t size) {
  return AttachFormat(buffer, size, "MDL4", nullptr, kHeaderSize);
}

bool MDL4R::SkipFrameData() { return SkipFrameVertexRun(kFrameVertex); }

bool MDL4R::ReadFrame(char (*name)[kNameSize], uint16_t (*minimum)[3], uint16_t (*maximum)[3], float (*)[3],
                      float (*)[3]) {
  return ReadFrameRecord(kFrame, name, minimum, maximum);
}

bool MDL4R::TakeFrameVertex() { return TakeFrameVertexRecord(kFrameVertex.size); }

bool MDL4R::ReadFrameVertex(uint16_t (*position)[3], int32_t* normalIndex) {
  return ReadFrameVertexRecord(kFrameVertex, position, normalIndex);
}

}  // namespace modelfiles
