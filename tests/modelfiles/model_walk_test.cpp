// One walk over a model of each family, counted against the corpus manifest.
#include "modelfiles/model_walk.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "modelfiles/mdl7w.h"
#include "modelfiles/model_file_opener.h"
#include "support/shared_data.h"

namespace {

using namespace modelfiles;

// Counts what the walk tells.
class CountingVisitor : public ModelVisitor {
 public:
  void Group(const GroupRecord&) override { ++counts[0]; }
  void Skin(const SkinRecord& skin) override {
    ++counts[1];
    materials += skin.material.present ? 1 : 0;
  }
  void TexCoord(const TexCoordRecord&) override { ++counts[2]; }
  void Triangle(const TriangleRecord&) override { ++counts[3]; }
  void Vertex(const VertexRecord& vertex) override {
    ++counts[4];
    CountNormal(vertex);
  }
  void Frame(const FrameRecord&) override { ++counts[5]; }
  void FrameVertex(const FrameVertexRecord& vertex) override {
    ++counts[6];
    CountNormal(vertex);
  }
  void End(uint32_t offset) override { end = offset; }
  void Failure(const WalkFailure& failure) override { failed = failure.reason.Text(); }

  // Groups, skins, texture coordinates, triangles, base vertices, frames,
  // frame vertices.
  int64_t counts[7] = {};
  int32_t materials = 0;
  // Base and frame vertices told with a normal of unit length.
  int64_t unitNormals = 0;
  int64_t end = -1;
  std::string failed;

 private:
  template <typename Record>
  void CountNormal(const Record& vertex) {
    const float* n = vertex.normal;
    if (vertex.hasNormal && std::fabs(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]) - 1.0f) < 2e-3f) {
      ++unitNormals;
    }
  }
};

struct WalkCase {
  const char* file;
  int64_t counts[7];
  int32_t materials;
  int64_t end;
};

// From the manifest's tables: IDPO frame vertices are vertices x frames, a
// frame group counts its 7 frames; IDP2 records end where its GL commands
// start; MDL7 skins of type 16 hold a material.
const WalkCase kCases[] = {
    {"corpus/idpo/bolt.mdl", {0, 1, 52, 26, 0, 1, 52}, 0, 1620},
    {"corpus/idpo/flame_framegroups.mdl", {0, 1, 91, 102, 0, 14, 14 * 91}, 0, 16524},
    {"corpus/idp2/flag_10frames.md2", {0, 0, 612, 204, 0, 10, 1060}, 0, 9604},
    {"corpus/mdl3/minigun.MDL", {0, 1, 117, 576, 0, 8, 8 * 314}, 0, 2851756},
    {"corpus/mdl5/phosphoric_acid.mdl", {0, 0, 1, 960, 0, 1, 496}, 0, 15612},
    {"corpus/mdl7/phosphoric_acid.mdl", {8, 3, 0, 960, 496, 0, 0}, 3, 28944},
};

TEST(ModelWalkTest, TellsEveryRecordOfEachFamily) {
  for (const WalkCase& c : kCases) {
    SCOPED_TRACE(c.file);
    const std::string path = testsupport::SharedPath(c.file);
    TOOLKIT_REQUIRE_SHARED(path);
    ModelOpenResult opened = OpenModelFile(path.c_str());
    ASSERT_EQ(opened.status, ModelOpenStatus::kOpened) << opened.reason.Text();
    CountingVisitor visitor;
    EXPECT_TRUE(WalkModel(*opened.reader, visitor)) << visitor.failed;
    EXPECT_EQ(std::vector<int64_t>(visitor.counts, visitor.counts + 7),
              std::vector<int64_t>(c.counts, c.counts + 7));
    EXPECT_EQ(visitor.materials, c.materials);
    // Each of these files stores a normal with every vertex: an index into
    // the normal table, or the MDL7 vertex's own three floats.
    EXPECT_EQ(visitor.unitNormals, c.counts[4] + c.counts[6]);
    EXPECT_EQ(visitor.end, c.end);
  }
}

// Records the place of each skin and frame: its index and its group.
class PlaceVisitor : public ModelVisitor {
 public:
  void Skin(const SkinRecord& skin) override { skins.emplace_back(skin.index, skin.group); }
  void Frame(const FrameRecord& frame) override { frames.emplace_back(frame.index, frame.group); }
  std::vector<std::pair<int32_t, int32_t>> skins, frames;
};

// Two skins and two frames in the first group, one of each in the second:
// skins and frames are numbered over the whole model.
TEST(ModelWalkTest, NumbersSkinsAndFramesAcrossTheGroups) {
  MDL7W w;
  ASSERT_TRUE(w.OpenInMemory());
  const uint8_t pixels[2] = {1, 2};
  const char* skinNames[2][2] = {{"a", "b"}, {"c", nullptr}};
  const char* frameNames[2][2] = {{"f", "g"}, {"h", nullptr}};
  for (int group = 0; group < 2; ++group) {
    ASSERT_TRUE(w.BeginGroup(group == 0 ? "head" : "tail"));
    for (const char* name : skinNames[group]) {
      if (name == nullptr) continue;
      ASSERT_TRUE(w.BeginSkin(0, name));
      w.SetSkinImage(2, 1, 1, false);
      ASSERT_TRUE(w.WriteSkinImage(pixels, nullptr, nullptr, nullptr));
      ASSERT_TRUE(w.FinishSkin());
    }
    ASSERT_TRUE(w.AddVertex(0, 0, 0, MDL7W::kNoBone, 0, 0, 1));
    for (const char* name : frameNames[group]) {
      if (name == nullptr) continue;
      ASSERT_TRUE(w.BeginFrame(name));
      ASSERT_TRUE(w.FinishFrame());
    }
    ASSERT_TRUE(w.FinishGroup());
  }
  ASSERT_TRUE(w.Close());
  const std::vector<uint8_t>& bytes = w.MemoryBytes();
  ModelOpenResult opened = OpenModelBytes(bytes.data(), bytes.size());
  ASSERT_EQ(opened.status, ModelOpenStatus::kOpened) << opened.reason.Text();
  PlaceVisitor visitor;
  ASSERT_TRUE(WalkModel(*opened.reader, visitor));
  const std::vector<std::pair<int32_t, int32_t>> expected = {{0, 0}, {1, 0}, {2, 1}};
  EXPECT_EQ(visitor.skins, expected);
  EXPECT_EQ(visitor.frames, expected);
}

}  // namespace
