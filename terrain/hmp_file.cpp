#include "terrain/hmp_file.h"

#include <cstddef>
#include <cstring>
#include <string>
#include <utility>

#include "modelfiles/image_size.h"
#include "platform/whole_file.h"

namespace terrain {

namespace {

using loamwriter::kHmpLargestSkinType;
using loamwriter::kHmpSkinBytesPerPixel;
using loamwriter::kHmpSkinFormatMask;
using platform::FailureReason;

// "skin 2 image", "frame 0 vertices".
std::string RecordPart(const char* record, int32_t index, const char* part) {
  return std::string(record) + " " + std::to_string(index) + " " + part;
}

}  // namespace

bool HmpFile::IsTerrainMagic(const uint8_t* bytes, size_t size) {
  return size >= 4 && (std::memcmp(bytes, "HMP7", 4) == 0 || std::memcmp(bytes, "HMP5", 4) == 0);
}

bool HmpFile::Load(const std::string& path) {
  std::vector<uint8_t> bytes;
  platform::FailureReason reason;
  if (!platform::ReadWholeFile(path.c_str(), bytes, reason)) {
    failure_ = reason;
    return false;
  }
  return Parse(std::move(bytes));
}

bool HmpFile::Parse(std::vector<uint8_t> bytes) {
  bytes_ = std::move(bytes);
  header_ = loamwriter::HmpHeader{};
  skins_.clear();
  frames_.clear();
  failure_ = FailureReason();
  walkComplete_ = false;
  walkEnd_ = 0;
  walkProblem_ = FailureReason();
  if (!IsTerrainMagic(bytes_.data(), bytes_.size())) {
    failure_ = FailureReason::Unsupported("format: not an HMP terrain file");
    return false;
  }
  if (bytes_.size() < kHeaderSize) {
    failure_ = FailureReason::Truncated("header", 0);
    return false;
  }
  std::memcpy(&header_, bytes_.data(), kHeaderSize);
  Walk();
  return true;
}

void HmpFile::Stop(const FailureReason& problem) {
  walkEnd_ = static_cast<uint32_t>(problem.Offset());
  walkProblem_ = problem;
}

bool HmpFile::WalkSkin(int32_t i, uint64_t& at) {
  const uint64_t size = bytes_.size();
  if (kSkinHeaderSize > size - at) {
    Stop(FailureReason::Truncated(RecordPart("skin", i, "header").c_str(), at));
    return false;
  }
  loamwriter::HmpSkinHeader record;
  std::memcpy(&record, bytes_.data() + at, kSkinHeaderSize);
  HmpSkinInfo skin;
  skin.offset = static_cast<uint32_t>(at);
  skin.type = record.type;
  skin.width = record.width;
  skin.height = record.height;
  if (record.type < 0 || record.type > kHmpLargestSkinType ||
      kHmpSkinBytesPerPixel[record.type & kHmpSkinFormatMask] == 0) {
    Stop(FailureReason::Malformed(RecordPart("skin", i, "type code").c_str(), skin.offset));
    return false;
  }
  skin.bytesPerPixel = kHmpSkinBytesPerPixel[record.type & kHmpSkinFormatMask];
  skin.mipmaps = (record.type & loamwriter::kHmpSkinTypeMipmapBit) != 0;
  uint64_t total = 0;
  for (int32_t level = 0; level < (skin.mipmaps ? modelfiles::kMipLevelCount : 1); ++level) {
    uint64_t levelBytes = 0;
    if (!modelfiles::SkinLevelBytes(record.width, record.height, skin.bytesPerPixel, level, levelBytes)) {
      Stop(FailureReason::Malformed(RecordPart("skin", i, "size").c_str(), skin.offset));
      return false;
    }
    total += levelBytes;
  }
  skin.dataBytes = total;
  skins_.push_back(skin);
  at += kSkinHeaderSize;
  if (total > size - at) {
    Stop(FailureReason::Truncated(RecordPart("skin", i, "image").c_str(), skin.offset));
    return false;
  }
  at += total;
  return true;
}

void HmpFile::Walk() {
  const uint64_t size = bytes_.size();
  uint64_t at = kHeaderSize;
  if (header_.numSkins < 0 || header_.numFrames < 0 || header_.numVertices < 0) {
    const size_t field = header_.numSkins < 0    ? offsetof(loamwriter::HmpHeader, numSkins)
                         : header_.numFrames < 0 ? offsetof(loamwriter::HmpHeader, numFrames)
                                                 : offsetof(loamwriter::HmpHeader, numVertices);
    Stop(FailureReason::Malformed("record count", field));
    return;
  }
  for (int32_t i = 0; i < header_.numSkins; ++i) {
    if (!WalkSkin(i, at)) return;
  }
  const uint64_t vertexBytes = static_cast<uint64_t>(header_.numVertices) * kVertexSize;
  for (int32_t i = 0; i < header_.numFrames; ++i) {
    if (kFrameHeaderSize > size - at) {
      Stop(FailureReason::Truncated(RecordPart("frame", i, "header").c_str(), at));
      return;
    }
    loamwriter::HmpFrameHeader record;
    std::memcpy(&record, bytes_.data() + at, kFrameHeaderSize);
    HmpFrameInfo frame;
    frame.offset = static_cast<uint32_t>(at);
    frame.type = record.type;
    frame.name.assign(record.name, strnlen(record.name, sizeof record.name));
    std::memcpy(frame.boundMin, record.boundMin.coordinates, sizeof frame.boundMin);
    std::memcpy(frame.boundMax, record.boundMax.coordinates, sizeof frame.boundMax);
    frames_.push_back(frame);
    at += kFrameHeaderSize;
    if (vertexBytes > size - at) {
      Stop(FailureReason::Truncated(RecordPart("frame", i, "vertices").c_str(), frame.offset));
      return;
    }
    at += vertexBytes;
  }
  walkComplete_ = true;
  walkEnd_ = static_cast<uint32_t>(at);
}

bool HmpFile::GridSize(int32_t& columns, int32_t& rows) const {
  const float param = header_.param0;
  if (!(param >= 1.0f && param <= 2147483647.0f) ||
      param != static_cast<float>(static_cast<int64_t>(param))) {
    return false;
  }
  const int64_t width = static_cast<int64_t>(param);
  if (header_.numVertices <= 0 || header_.numVertices % width != 0) return false;
  columns = static_cast<int32_t>(width);
  rows = static_cast<int32_t>(header_.numVertices / width);
  return true;
}

bool HmpFile::FirstFrameGrid(int32_t& columns, int32_t& rows, std::vector<uint16_t>& heights,
                             FailureReason& reason) const {
  if (frames_.empty()) {
    reason = Truncated() ? walkProblem_ : FailureReason::Unsupported("terrain without a frame");
    return false;
  }
  if (!GridSize(columns, rows)) {
    reason = FailureReason::Malformed("column count param0", offsetof(loamwriter::HmpHeader, param0));
    return false;
  }
  if (!FrameHeights(0, heights)) {
    reason = FailureReason::Truncated("frame 0 vertices", frames_[0].offset);
    return false;
  }
  return true;
}

bool HmpFile::SkinBytes(size_t index, std::vector<uint8_t>& data) const {
  if (index >= skins_.size()) return false;
  const uint64_t first = static_cast<uint64_t>(skins_[index].offset) + kSkinHeaderSize;
  if (skins_[index].dataBytes > bytes_.size() - first) return false;
  data.assign(bytes_.begin() + static_cast<ptrdiff_t>(first),
              bytes_.begin() + static_cast<ptrdiff_t>(first + skins_[index].dataBytes));
  return true;
}

bool HmpFile::FrameHeights(size_t index, std::vector<uint16_t>& heights) const {
  if (index >= frames_.size()) return false;
  const uint64_t first = static_cast<uint64_t>(frames_[index].offset) + kFrameHeaderSize;
  const uint64_t count = header_.numVertices > 0 ? static_cast<uint64_t>(header_.numVertices) : 0;
  if (count * kVertexSize > bytes_.size() - first) return false;
  heights.resize(static_cast<size_t>(count));
  for (uint64_t v = 0; v < count; ++v) {
    loamwriter::HmpVertex vertex;
    std::memcpy(&vertex, bytes_.data() + first + v * kVertexSize, sizeof vertex);
    heights[static_cast<size_t>(v)] = vertex.height;
  }
  return true;
}

}  // namespace terrain
