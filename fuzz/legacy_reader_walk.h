// The fuzz pattern shared by the single-mesh model readers: any bytes as the
// content of a file of the reader's format, opened in memory, every record
// read in file order, then the same bytes walked structurally.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "modelfiles/legacy_model_reader.h"

namespace fuzzing {

// Counts come from the header; every loop stops after this many rounds, and
// all loops of one input share kLegacyRoundBudget rounds, so that an input
// cannot turn into a slow unit by its counts alone.
constexpr int32_t kMaxLegacyRounds = 256;
constexpr int32_t kLegacyRoundBudget = 3000;

class RoundBudget {
 public:
  int32_t Rounds(int32_t count) const {
    const int32_t limit = count < kMaxLegacyRounds ? count : kMaxLegacyRounds;
    return limit < left_ ? limit : left_;
  }
  // Spends one round; false once the budget is used up.
  bool Spend() { return left_-- > 0; }

 private:
  int32_t left_ = kLegacyRoundBudget;
};

// The input as the reader sees it. An input that starts with the magic of
// any single-mesh format gets `magic` in its place, so that the seed files of
// one format exercise the readers of all of them; other inputs keep their
// first bytes and exercise the refusal of foreign magics. An input that
// starts with `alsoAccepted` (a second magic of the same reader) stays as it is.
inline std::vector<uint8_t> LegacyInput(const char (&magic)[5], const uint8_t* data, size_t size,
                                        const char* alsoAccepted = nullptr) {
  static const char* const kFamily[] = {"IDPO", "MDL2", "MDL3", "MDL4", "MDL5", "MDL6", "IDP2"};
  std::vector<uint8_t> bytes(data, data + size);
  if (size < 4) return bytes;
  bool ours = false;
  for (const char* known : kFamily) ours = ours || std::memcmp(data, known, 4) == 0;
  if (alsoAccepted != nullptr && std::memcmp(data, alsoAccepted, 4) == 0) ours = false;
  if (ours) std::memcpy(bytes.data(), magic, 4);
  return bytes;
}

// Reads every record the counts announce, then reopens and walks. Results
// are checked only where a failure ends a loop: every call must merely be
// safe, whatever it returns.
inline void ReadAndWalk(modelfiles::LegacyModelReader& r, const std::vector<uint8_t>& bytes) {
  if (!r.OpenBytes(bytes.data(), bytes.size())) {
    (void)r.LastFailure().Text();
    return;
  }
  RoundBudget budget;
  const uint8_t* header = nullptr;
  (void)r.GetHeader(&header);
  bool reading = true;
  for (int32_t i = 0; reading && i < budget.Rounds(r.SkinCount()) && budget.Spend(); ++i) {
    uint8_t type = 0, mip = 0;
    int32_t width = 0, height = 0, bytesPerPixel = 0;
    if (!r.ReadSkin(&type, &width, &height, &bytesPerPixel, &mip)) {
      reading = false;
      break;
    }
    const uint8_t* levels[4] = {};
    reading = r.TakeSkinImage(&levels[0], &levels[1], &levels[2], &levels[3]);
  }
  for (int32_t i = 0; reading && i < budget.Rounds(r.TexCoordCount()) && budget.Spend(); ++i) {
    int16_t s = 0, t = 0;
    reading = r.ReadTexCoord(&s, &t);
  }
  for (int32_t i = 0; reading && i < budget.Rounds(r.TriangleCount()) && budget.Spend(); ++i) {
    int32_t vertices[3], texCoords[3];
    (void)r.ReadTriangle(&vertices, &texCoords);  // a bad index still consumes the record
  }
  for (int32_t f = 0; reading && f < budget.Rounds(r.FrameCount()) && budget.Spend(); ++f) {
    char name[modelfiles::LegacyModelReader::kNameSize];
    uint16_t minimum[3], maximum[3];
    float scale[3], translation[3];
    if (!r.ReadFrame(&name, &minimum, &maximum, &scale, &translation)) break;
    for (int32_t v = 0; v < budget.Rounds(r.VertexCount()) && budget.Spend(); ++v) {
      uint16_t position[3];
      int32_t normal = 0;
      // Odd frames only take their records, as a caller that skips them does.
      if (!((f & 1) != 0 ? r.TakeFrameVertex() : r.ReadFrameVertex(&position, &normal))) break;
    }
  }
  float x, y, z;
  (void)r.ReadVertexNormal(x, y, z);
  (void)r.LastFailure().Text();

  // The structural walk from the start.
  r.Close();
  if (!r.OpenBytes(bytes.data(), bytes.size())) return;
  if (r.SkipBones()) (void)r.WalkGroup();
  (void)r.LastFailure().Text();
  r.SyncFilePosition();
  (void)r.SyncCursor();
  r.Close();
}

}  // namespace fuzzing
