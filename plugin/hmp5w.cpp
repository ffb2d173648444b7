#include "plugin/hmp5w.h"

#include <cstring>

namespace loamwriter {
namespace {

// The largest record or image level the writer takes in one piece.
constexpr int64_t kLargestPiece = INT32_MAX;

HmpBoundVertex Bound(uint16_t coordinate) {
  return HmpBoundVertex{{coordinate, coordinate, coordinate}, 255, 0};
}

}  // namespace

HMP5W::HMP5W(uint32_t blockBytes)
    : fd(-1),
      header(),
      skin(),
      skinPos(-1),
      skinBytesPerPixel(0),
      skinMipmaps(false),
      frame(),
      framePos(-1),
      file_(blockBytes) {}

// The file stays as it is: a file whose Close never came keeps its
// provisional header.
HMP5W::~HMP5W() = default;

int HMP5W::Open(const char* path) { return OpenWithMagic(path, -1, "HMP5", 2); }

int HMP5W::OpenDescriptor(int descriptor) { return OpenWithMagic(nullptr, descriptor, "HMP5", 2); }

int HMP5W::OpenWithMagic(const char* path, int descriptor, const char (&magic)[5], int32_t version) {
  if (path == nullptr && descriptor < 0) {
    failure_ = platform::FailureReason::InputOutput("cannot open a file without a path", 0);
    return -1;
  }
  // A file still open is closed as its owner left it.
  (void)Close();
  failure_ = platform::FailureReason();
  skinPos = -1;
  framePos = -1;
  fd = path != nullptr ? file_.Open(path) : file_.OpenOn(descriptor);
  if (fd < 0) return fd;

  header = HmpHeader();
  std::memcpy(header.magic, magic, sizeof header.magic);
  header.version = version;
  if (!WriteNow(&header, sizeof header)) {
    // The reason of the failed write stays.
    (void)file_.Close();
    fd = -1;
  }
  return fd;
}

bool HMP5W::Close() {
  if (!file_.IsOpen()) return true;
  const bool whole = file_.Close(&header, sizeof header);
  fd = -1;
  skinPos = -1;
  framePos = -1;
  return whole;
}

bool HMP5W::BeginSkin(uint8_t type, const char* /*name*/) {
  skin = HmpSkinHeader{type, 0, 0};
  Increment(header.numSkins);
  skinBytesPerPixel = 0;
  skinPos = file_.IsOpen() ? file_.Position() : -1;
  return WriteNow(&skin, sizeof skin);
}

bool HMP5W::SetSkinImage(int32_t width, int32_t height, int32_t bytesPerPixel, bool mipmaps) {
  skin.width = width;
  skin.height = height;
  skinBytesPerPixel = bytesPerPixel;
  skinMipmaps = mipmaps;
  return true;
}

bool HMP5W::WriteSkinImage(const uint8_t* level0, const uint8_t* mip1, const uint8_t* mip2,
                           const uint8_t* mip3) {
  // Sizes in 64 bits: each factor may be any int32 here.
  int64_t w = skin.width;
  int64_t h = skin.height;
  const int64_t b = skinBytesPerPixel;
  if (w < 0 || h < 0 || b < 0)
    return Refuse(platform::FailureReason::Malformed("skin size", file_.Position()));
  const int64_t level0Bytes = skin.type == kHmpSkinTypeOneBytePerPixel ? w * h : w * h * b;
  if (level0Bytes != 0 && level0 == nullptr) {
    return Refuse(platform::FailureReason::Malformed("missing skin image", file_.Position()));
  }
  if (!WriteNow(level0, level0Bytes)) return false;
  if (!skinMipmaps) return true;

  const uint8_t* const mips[3] = {mip1, mip2, mip3};
  for (const uint8_t* mip : mips) {
    if (mip == nullptr)
      return Refuse(platform::FailureReason::Malformed("missing mip level", file_.Position()));
  }
  // The three levels go out together.
  for (const uint8_t* mip : mips) {
    w /= 2;
    h /= 2;
    if (b * h * w > kLargestPiece)
      return Refuse(platform::FailureReason::TooLarge("a mip level beyond one write"));
    if (!file_.Append(mip, static_cast<uint64_t>(b * h * w))) return false;
  }
  return file_.Flush();
}

bool HMP5W::FinishSkin() {
  if (skinPos < 0) return true;
  return Patch(skinPos, &skin, sizeof skin);
}

bool HMP5W::BeginFrame(const char* name) {
  frame = HmpFrameHeader();
  if (name != nullptr) {
    for (size_t i = 0; i < kHmpFrameNameLength && name[i] != '\0'; ++i) frame.name[i] = name[i];
  }
  Increment(header.numFrames);
  frame.type = 2;
  frame.boundMin = Bound(0);
  frame.boundMax = Bound(65535);
  framePos = file_.IsOpen() ? file_.Position() : -1;
  return WriteNow(&frame, sizeof frame);
}

bool HMP5W::FinishFrame() {
  if (framePos < 0) return true;
  return Patch(framePos, &frame, sizeof frame);
}

bool HMP5W::WriteNow(const void* data, int64_t size) {
  if (size < 0 || size > kLargestPiece)
    return Refuse(platform::FailureReason::TooLarge("a record beyond one write"));
  return file_.Append(data, static_cast<uint64_t>(size)) && file_.Flush();
}

bool HMP5W::Patch(int64_t position, const void* data, uint32_t size) {
  return file_.Rewrite(position, data, size) && file_.Flush();
}

const platform::FailureReason& HMP5W::LastFailure() const {
  return file_.LastFailure().IsFailure() ? file_.LastFailure() : failure_;
}

bool HMP5W::Refuse(const platform::FailureReason& reason) {
  failure_ = reason;
  return false;
}

}  // namespace loamwriter
