// Fuzz target of MDL7R: any bytes as a file's content, opened in memory,
// every record read in file order, then the same bytes walked structurally.
// Results are checked only where a failure ends a loop: every call must
// merely be safe, whatever it returns.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_input.h"
#include "modelfiles/mdl7r.h"

namespace {

using modelfiles::MDL7R;

// Counts come from the file, and a declared record size of 0 lets a huge
// count spin without consuming bytes; so every loop stops after this many
// rounds, and all loops of one input share kRoundBudget rounds.
constexpr int32_t kMaxRounds = 256;
constexpr int32_t kRoundBudget = 3000;
int32_t roundsLeft = 0;

int32_t Rounds(int32_t count) {
  const int32_t limit = count < kMaxRounds ? count : kMaxRounds;
  return limit < roundsLeft ? limit : roundsLeft;
}
// Spends one round of the budget; false once it is used up.
bool Spend() { return roundsLeft-- > 0; }

void ReadSkins(MDL7R& r, int32_t skinCount) {
  for (int32_t i = 0; i < Rounds(skinCount) && Spend(); ++i) {
    uint8_t type = 0;
    char name[MDL7R::kNameSize] = {};
    if (!r.ReadSkin(type, name)) return;
    int32_t width = 0, height = 0, bytesPerPixel = 0;
    uint8_t mip = 0;
    (void)r.ReadSkinImage(width, height, bytesPerPixel, mip);
    const uint8_t* levels[4] = {};
    if (!r.TakeSkinImage(&levels[0], &levels[1], &levels[2], &levels[3])) return;
    if (type & 0x10) {
      float colors[4][4];
      float value;
      (void)r.ReadMaterial(colors, value);
    }
    if (type & 0x20) {
      int32_t length = 0;
      uint8_t block[256];
      if (r.ReadSizedBlockLength(length) && !r.ReadSizedBlock(block, sizeof block))
        (void)r.Skip(static_cast<uint32_t>(length));
    }
  }
}

void ReadGroupBody(MDL7R& r) {
  int32_t skins = 0, texCoords = 0, triangles = 0, vertices = 0, frames = 0;
  if (!r.ReadGroupCounts(skins, texCoords, triangles, vertices, frames)) return;
  ReadSkins(r, skins);
  for (int32_t i = 0; i < Rounds(texCoords) && Spend(); ++i) {
    float s, t;
    if (!r.ReadTexCoord(s, t)) return;
  }
  for (int32_t i = 0; i < Rounds(triangles) && Spend(); ++i) {
    int32_t corners[3], uvs[3], material = 0;
    (void)r.ReadTriangle(corners, uvs, material);  // a bad index still consumes the record
  }
  for (int32_t i = 0; i < Rounds(vertices) && Spend(); ++i) {
    float x, y, z;
    int32_t bone;
    if (!r.ReadVertex(x, y, z, bone)) return;
    (void)r.ReadVertexNormal(x, y, z);
  }
  for (int32_t i = 0; i < Rounds(frames) && Spend(); ++i) {
    int32_t frameVertices = 0, transforms = 0;
    char name[MDL7R::kNameSize] = {};
    if (!r.ReadFrame(frameVertices, transforms, name)) return;
    for (int32_t v = 0; v < Rounds(frameVertices) && Spend(); ++v) {
      int32_t index;
      float x, y, z;
      if (!r.ReadFrameVertex(index, x, y, z)) return;
      (void)r.ReadFrameVertexNormal(x, y, z);
    }
    for (int32_t b = 0; b < Rounds(transforms) && Spend(); ++b) {
      int32_t bone;
      uint8_t matrix[64];
      if (!r.ReadBoneTransform(bone, matrix)) return;
    }
  }
}

void ReadDeformers(MDL7R& r) {
  for (int32_t d = 0; d < Rounds(r.TotalDeformerCount()) && Spend(); ++d) {
    uint8_t type = 0;
    int32_t group = 0, elements = 0, size = 0;
    if (!r.ReadDeformer(type, group, elements, &size)) return;
    for (int32_t e = 0; e < Rounds(elements) && Spend(); ++e) {
      int32_t index = 0, weights = 0;
      char name[MDL7R::kLongNameSize];
      if (!r.ReadDeformerElement(index, &name, weights)) return;
      for (int32_t w = 0; w < Rounds(weights) && Spend(); ++w) {
        float weight;
        if (!r.ReadDeformerWeight(index, weight)) return;
      }
    }
  }
}

void ReadLumps(MDL7R& r) {
  if (r.SeekToLump()) {
    int32_t version = 0, sections = 0;
    if (r.ReadLumpHeader(version, sections)) {
      for (int32_t s = 0; s < Rounds(sections) && Spend(); ++s) {
        int32_t id = 0, lists = 0;
        if (!r.ReadLumpSection(id, lists)) break;
        for (int32_t l = 0; l < Rounds(lists) && Spend(); ++l) {
          int32_t listId = 0, count = 0;
          if (!r.ReadLumpList(listId, count)) break;
          for (int32_t t = 0; t < Rounds(count) && Spend(); ++t) {
            int32_t corners[3], uvs[3], material = 0;
            if (!r.ReadLumpTriangle(corners, uvs, material)) break;
          }
        }
      }
      (void)r.SeekToLump();
      (void)r.ReadLumpHeader(version, sections);
      (void)r.SkipLump();
    }
  }
  if (r.SeekToSecondLump()) {
    for (int32_t i = 0; i < kMaxRounds && Spend(); ++i) {
      int32_t first = 0, second = 0;
      if (!r.ReadSecondLumpRecord(first, second)) break;
      if (!r.SkipLump()) break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  roundsLeft = kRoundBudget;
  MDL7R r;
  if (!r.OpenBytes(data, size)) {
    (void)r.LastFailure().Text();
    return 0;
  }
  int32_t bones = 0, groups = 0, dataSize = 0, lumpSize = 0, secondLumpSize = 0;
  if (r.ReadHeaderCounts(bones, groups, dataSize, lumpSize, secondLumpSize)) {
    for (int32_t i = 0; i < Rounds(bones) && Spend(); ++i) {
      int32_t parent;
      float x, y, z;
      char name[MDL7R::kLongNameSize];
      if (!r.ReadBone(parent, x, y, z, name)) break;
    }
    for (int32_t g = 0; g < Rounds(groups) && Spend(); ++g) {
      uint8_t type = 0;
      int32_t groupSize = 0;
      char name[MDL7R::kNameSize];
      if (!r.ReadGroup(type, groupSize, name)) break;
      ReadGroupBody(r);
    }
    ReadDeformers(r);
    ReadLumps(r);
  }
  (void)r.LastFailure().Text();

  // The structural walk from the start, on the same bytes.
  r.Close();
  roundsLeft = kRoundBudget;
  if (!r.OpenBytes(data, size)) return 0;
  if (r.ReadHeaderCounts(bones, groups, dataSize, lumpSize, secondLumpSize) && r.SkipBones()) {
    bool walking = true;
    for (int32_t g = 0; walking && g < Rounds(groups); ++g) {
      uint8_t type = 0;
      int32_t groupSize = 0;
      char name[MDL7R::kNameSize];
      walking = r.ReadGroup(type, groupSize, name) && r.WalkGroup();
    }
    if (walking) (void)r.SkipDeformers();
  }
  (void)r.LastFailure().Text();
  r.SyncFilePosition();
  (void)r.SyncCursor();
  r.Close();
  return 0;
}
