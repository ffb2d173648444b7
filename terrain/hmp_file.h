// Reader of HMP terrain files, such as those loamwriter writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/failure_reason.h"
#include "plugin/hmp_records.h"

namespace terrain {

// A skin record of an HMP file and the size of the image data after it.
struct HmpSkinInfo {
  uint32_t offset = 0;  // of the skin header
  int32_t type = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t bytesPerPixel = 0;
  bool mipmaps = false;    // three reduced levels follow level 0
  uint64_t dataBytes = 0;  // all levels together
};

// A frame record of an HMP file; its vertices follow the header.
struct HmpFrameInfo {
  uint32_t offset = 0;  // of the frame header
  int32_t type = 0;
  std::string name;
  uint16_t boundMin[3] = {};
  uint16_t boundMax[3] = {};
};

// Loads an HMP file ("HMP5" or "HMP7") whole and walks its records:
// the 84-byte header, `numSkins` skins (a 12-byte header and the levels its
// type code implies) and `numFrames` frames (a 36-byte header and
// `numVertices` 4-byte vertices each). A skin type code gives the bytes per
// pixel in its low three bits (0: 1, 2 and 3: 2, 4: 3, 5: 4, 6: 1), and the
// bit of value 8 announces three mip levels; codes whose low bits are 1 or 7
// and codes above 15 have no known size
// and end the walk. Records that do not fit in the file end the walk as
// truncated. Bytes after the last frame are allowed and counted. The reader
// keeps the bytes; nothing is written and nothing throws.
class HmpFile {
 public:
  static constexpr uint32_t kHeaderSize = sizeof(loamwriter::HmpHeader);
  static constexpr uint32_t kSkinHeaderSize = sizeof(loamwriter::HmpSkinHeader);
  static constexpr uint32_t kFrameHeaderSize = sizeof(loamwriter::HmpFrameHeader);
  static constexpr uint32_t kVertexSize = sizeof(loamwriter::HmpVertex);

  // Whether `bytes` (of `size`) start with a magic this reader knows.
  static bool IsTerrainMagic(const uint8_t* bytes, size_t size);

  // Reads and walks the file. False, with LastFailure() set, when the file
  // cannot be read, does not start with an HMP magic, or is shorter than the
  // header; a walk that stops early still loads (see WalkComplete).
  bool Load(const std::string& path);
  // The same for bytes already in memory.
  bool Parse(std::vector<uint8_t> bytes);

  // Why Load or Parse refused the file.
  const platform::FailureReason& LastFailure() const { return failure_; }
  // The magic as text, e.g. "HMP7".
  std::string Magic() const { return std::string(header_.magic, 4); }
  const loamwriter::HmpHeader& Header() const { return header_; }
  uint32_t FileSize() const { return static_cast<uint32_t>(bytes_.size()); }
  const std::vector<HmpSkinInfo>& Skins() const { return skins_; }
  const std::vector<HmpFrameInfo>& Frames() const { return frames_; }

  // Whether every record the header counts was found whole.
  bool WalkComplete() const { return walkComplete_; }
  // Where the walk ended: the end of the last frame when complete, else the
  // start of the record that stopped it.
  uint32_t WalkEnd() const { return walkEnd_; }
  // Whether the walk stopped because a record ran past the end of the file.
  bool Truncated() const { return walkProblem_.GetKind() == platform::FailureReason::Kind::kTruncated; }
  // Why the walk stopped, at the record that stopped it; no failure when the
  // walk is complete.
  const platform::FailureReason& WalkProblem() const { return walkProblem_; }

  // The terrain grid: `param0` columns and numVertices / columns rows. False
  // when param0 is not a positive whole number that divides the vertex count.
  bool GridSize(int32_t& columns, int32_t& rows) const;
  // The packed heights of frame `index`, numVertices of them in file order.
  // False when there is no such frame.
  bool FrameHeights(size_t index, std::vector<uint16_t>& heights) const;
  // The image bytes of skin `index`, all its levels. False when there is no
  // such skin.
  bool SkinBytes(size_t index, std::vector<uint8_t>& data) const;
  // The first frame as a grid: its size (GridSize) and packed heights. False
  // with the `reason` when the file holds no frame, the grid size is unknown,
  // or the frame is cut short.
  bool FirstFrameGrid(int32_t& columns, int32_t& rows, std::vector<uint16_t>& heights,
                      platform::FailureReason& reason) const;
  // The value a packed height stands for: offset z + packed x scale z.
  double Height(uint16_t packed) const {
    return static_cast<double>(header_.offset[2]) +
           static_cast<double>(packed) * static_cast<double>(header_.scale[2]);
  }

 private:
  void Walk();
  // Walks skin `i`, which starts at `at`, and moves `at` past it. False when
  // the walk stops there.
  bool WalkSkin(int32_t i, uint64_t& at);
  // Stops the walk at the record the `problem` names.
  void Stop(const platform::FailureReason& problem);

  std::vector<uint8_t> bytes_;
  loamwriter::HmpHeader header_{};
  std::vector<HmpSkinInfo> skins_;
  std::vector<HmpFrameInfo> frames_;
  platform::FailureReason failure_;
  bool walkComplete_ = false;
  uint32_t walkEnd_ = 0;
  platform::FailureReason walkProblem_;
};

}  // namespace terrain
