// Every writer on a device that fills up at each byte position in turn: each
// operation reports failure exactly when one of its bytes did not reach the
// file, every operation after that reports failure too, and only a run that
// got every byte through reports a finished file.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "modelfiles/mdl7w.h"
#include "platform/file_fault_injector.h"
#include "plugin/hmp7w.h"
#include "support/byte_builder.h"
#include "support/temp_dir_fixture.h"

namespace {

using platform::FileFaultInjector;

// One step of a writer's sequence: what it writes when nothing fails and the
// step itself, which says whether it reported success. A step that does not
// use the file at all always succeeds.
struct Step {
  const char* name;
  uint64_t bytes;
  std::function<bool()> run;
  bool usesFile = true;
};

// Runs `makeSteps()` with the device full after `limit` bytes; returns each
// step's report.
std::vector<bool> RunWithLimit(const std::function<std::vector<Step>()>& makeSteps, uint64_t limit) {
  FileFaultInjector::Reset();
  FileFaultInjector::LimitWrittenBytes(limit);
  std::vector<bool> reports;
  for (const Step& step : makeSteps()) reports.push_back(step.run());
  FileFaultInjector::Reset();
  return reports;
}

uint64_t TotalBytes(const std::vector<Step>& steps) {
  uint64_t total = 0;
  for (const Step& step : steps) total += step.bytes;
  return total;
}

// The reports a writer must give with the device full after `limit` bytes
// once its file is open: a step succeeds exactly when all of its bytes and
// all bytes before them fit under the limit, so the first step that crosses
// it and every step after it that uses the file fail.
std::vector<bool> ExpectedReports(const std::vector<Step>& steps, uint64_t limit) {
  std::vector<bool> expected;
  uint64_t end = 0;
  for (const Step& step : steps) {
    end += step.bytes;
    expected.push_back(!step.usesFile || end <= limit);
  }
  return expected;
}

std::string Describe(const std::vector<Step>& steps, const std::vector<bool>& reports) {
  std::string text;
  for (size_t i = 0; i < steps.size() && i < reports.size(); ++i) {
    text += std::string(steps[i].name) + (reports[i] ? "+ " : "- ");
  }
  return text;
}

class WriterFaultTest : public testsupport::TempDirFixture {
 protected:
  // Sweeps every limit from 0 to the whole sequence. While the header of
  // `openBytes` cannot be written whole the file never opens, and the steps
  // then report as `unopened` says; from there on the rule of
  // ExpectedReports holds. At the full size the file equals the one written
  // without faults.
  void SweepEveryByte(const std::function<std::vector<Step>()>& makeSteps, uint64_t openBytes,
                      const std::function<std::vector<bool>()>& unopened) {
    const std::vector<Step> steps = makeSteps();
    const uint64_t total = TotalBytes(steps);
    FileFaultInjector::Reset();
    std::vector<bool> reports;
    for (const Step& step : steps) reports.push_back(step.run());
    ASSERT_EQ(reports, std::vector<bool>(steps.size(), true)) << Describe(steps, reports);
    const std::vector<uint8_t> whole = testsupport::ReadFileBytes(path_);

    for (uint64_t limit = 0; limit <= total; ++limit) {
      reports = RunWithLimit(makeSteps, limit);
      const std::vector<bool> expected = limit < openBytes ? unopened() : ExpectedReports(steps, limit);
      ASSERT_EQ(reports, expected) << "device full after " << limit << " of " << total
                                   << " bytes: " << Describe(steps, reports);
    }
    EXPECT_EQ(testsupport::ReadFileBytes(path_), whole);
  }

  std::string path_ = temp_.File("out.bin");
};

// Vertices go out in blocks: with blocks of 10 bytes the third vertex fills
// the first block and the fifth the second, cutting a vertex in two each
// time; the last vertex goes out when the frame ends.
TEST_F(WriterFaultTest, HmpWriterReportsEveryShortWriteAndNeverAWholeFileAfterIt) {
  const std::vector<uint8_t> level0(16 * 8 * 2, 1), level1(8 * 4 * 2, 2), level2(4 * 2 * 2, 3),
      level3(2 * 1 * 2, 4);
  constexpr uint64_t kBlock = 10;
  constexpr int kVertices = 6;
  loamwriter::HMP7W writer(kBlock);
  const auto steps = [&]() {
    std::vector<Step> s;
    s.push_back({"open", 84, [&] { return writer.Open(path_.c_str()) >= 0; }});
    s.push_back({"skin", 12, [&] { return writer.BeginSkin(10, "mipped"); }});
    s.push_back({"size", 0, [&] { return writer.SetSkinImage(16, 8, 2, true); }, false});
    s.push_back({"image", 256 + 64 + 16 + 4, [&] {
                   return writer.WriteSkinImage(level0.data(), level1.data(), level2.data(), level3.data());
                 }});
    s.push_back({"skin-end", 12, [&] { return writer.FinishSkin(); }});
    s.push_back({"frame", 36, [&] { return writer.BeginFrame("first"); }});
    for (int i = 1; i <= kVertices; ++i) {
      const uint64_t blocks = 4 * i / kBlock - 4 * (i - 1) / kBlock;
      s.push_back({"vertex", blocks * kBlock,
                   [&, i] { return writer.AddFrameVertex(static_cast<uint16_t>(i * 1000), 0, 1, 0); }});
    }
    s.push_back({"frame-end", 4 * kVertices % kBlock + 36, [&] { return writer.FinishFrame(); }});
    s.push_back({"close", 84, [&] { return writer.Close(); }});
    return s;
  };
  // Without an open file the records fail, while finishing and closing have
  // nothing to do and succeed, as documented.
  const auto unopened = [&]() {
    std::vector<bool> r;
    for (const Step& step : steps()) {
      const std::string name = step.name;
      r.push_back(name == "size" || name == "skin-end" || name == "frame-end" || name == "close");
    }
    return r;
  };
  SweepEveryByte(steps, 84, unopened);
}

// The steps of an MDL7 model's group: a skin with an image, a material and
// a sized block, then one record of every kind of the group's body.
void AddModelGroupSteps(std::vector<Step>& s, modelfiles::MDL7W& writer, const std::vector<uint8_t>& pixels,
                        const float (&colors)[4][4], const uint8_t (&block)[5], const uint8_t (&matrix)[64]) {
  s.push_back({"group", modelfiles::mdl7::kGroupSize, [&] { return writer.BeginGroup("body"); }});
  s.push_back({"skin", modelfiles::mdl7::kSkinSize, [&] { return writer.BeginSkin(0x32, "skin"); }});
  s.push_back({"image", 16, [&] {
                 writer.SetSkinImage(4, 2, 2, false);
                 return writer.WriteSkinImage(pixels.data(), nullptr, nullptr, nullptr);
               }});
  s.push_back(
      {"material", modelfiles::mdl7::kMaterialSize, [&] { return writer.WriteMaterial(colors, 0.5f); }});
  s.push_back({"block", 4 + 5, [&] { return writer.WriteSizedBlock(5, block); }});
  s.push_back({"skin-end", modelfiles::mdl7::kSkinSize, [&] { return writer.FinishSkin(); }});
  s.push_back({"texcoord", modelfiles::mdl7::kTexCoordSize, [&] { return writer.AddTexCoord(0.5f, 0.5f); }});
  s.push_back(
      {"triangle", modelfiles::mdl7::kTriangleSize, [&] { return writer.AddTriangle(0, 0, 0, 0, 0, 0, 0); }});
  s.push_back(
      {"vertex", modelfiles::mdl7::kVertexSize, [&] { return writer.AddVertex(1, 2, 3, 0, 0, 0, 1); }});
  s.push_back({"frame", modelfiles::mdl7::kFrameSize, [&] { return writer.BeginFrame("pose"); }});
  s.push_back({"frame-vertex", modelfiles::mdl7::kFrameVertexSize,
               [&] { return writer.AddFrameVertex(0, 1, 1, 1, 1, 0, 0); }});
  s.push_back({"transform", modelfiles::mdl7::kBoneTransformSize,
               [&] { return writer.AddBoneTransform(0, matrix); }});
  s.push_back({"frame-end", modelfiles::mdl7::kFrameSize, [&] { return writer.FinishFrame(); }});
  s.push_back({"group-end", modelfiles::mdl7::kGroupSize, [&] { return writer.SetGroupDeformers(1, 1); }});
}

// The steps of an MDL7 model's deformer with one weighted element, then of
// its lump with one section holding one list of one triangle.
void AddModelDeformerAndLumpSteps(std::vector<Step>& s, modelfiles::MDL7W& writer) {
  s.push_back({"deformer", modelfiles::mdl7::kDeformerSize, [&] { return writer.BeginDeformer(1, 0); }});
  s.push_back({"element", modelfiles::mdl7::kDeformerElementSize,
               [&] { return writer.BeginDeformerElement(0, "joint"); }});
  s.push_back(
      {"weight", modelfiles::mdl7::kDeformerWeightSize, [&] { return writer.AddDeformerWeight(0, 1.0f); }});
  s.push_back({"element-end", modelfiles::mdl7::kDeformerElementSize,
               [&] { return writer.FinishDeformerElement(); }});
  s.push_back({"deformer-end", modelfiles::mdl7::kDeformerSize, [&] { return writer.FinishDeformer(); }});
  s.push_back({"lump", modelfiles::mdl7::kLumpHeaderSize, [&] { return writer.BeginLump(); }});
  s.push_back({"section", modelfiles::mdl7::kLumpSectionSize, [&] { return writer.BeginLumpSection(1); }});
  s.push_back({"list", modelfiles::mdl7::kLumpListSize, [&] { return writer.BeginLumpList(2); }});
  s.push_back({"lump-triangle", modelfiles::mdl7::kTriangleSize,
               [&] { return writer.AddLumpTriangle(0, 0, 0, 0, 0, 0, 0); }});
  s.push_back({"list-end", modelfiles::mdl7::kLumpListSize, [&] { return writer.FinishLumpList(); }});
  s.push_back(
      {"section-end", modelfiles::mdl7::kLumpSectionSize, [&] { return writer.FinishLumpSection(); }});
  s.push_back({"lump-end", modelfiles::mdl7::kLumpHeaderSize, [&] { return writer.FinishLump(); }});
}

TEST_F(WriterFaultTest, ModelWriterReportsEveryShortWriteAndNeverAWholeFileAfterIt) {
  using modelfiles::MDL7W;
  const std::vector<uint8_t> pixels(4 * 2 * 2, 7);
  const float colors[4][4] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {0, 0, 0, 0}};
  const uint8_t block[5] = {1, 2, 3, 4, 5};
  uint8_t matrix[64] = {};
  MDL7W writer;
  const auto steps = [&]() {
    std::vector<Step> s;
    s.push_back({"open", modelfiles::mdl7::kHeaderSize, [&] { return writer.Open(path_.c_str()) >= 0; }});
    s.push_back({"bone", modelfiles::mdl7::kBoneSize,
                 [&] { return writer.AddBone(MDL7W::kNoBone, 1, 2, 3, "root"); }});
    AddModelGroupSteps(s, writer, pixels, colors, block, matrix);
    AddModelDeformerAndLumpSteps(s, writer);
    s.push_back({"close", modelfiles::mdl7::kHeaderSize, [&] { return writer.Close(); }});
    return s;
  };
  // Without an open file every record is refused; closing has nothing to do.
  const auto unopened = [&]() {
    std::vector<bool> r;
    for (const Step& step : steps()) r.push_back(std::string(step.name) == "close");
    return r;
  };
  SweepEveryByte(steps, modelfiles::mdl7::kHeaderSize, unopened);
}

// A rewrite seeks to its record, writes it and seeks back to the end of the
// data: the second seek of FinishSkin/FinishFrame is that return. When it
// fails the position is unknown, so the writer must refuse every later record
// rather than write it over the data already in the file, and Close must not
// call the file whole. The next file starts clean.
TEST_F(WriterFaultTest, LostPositionAfterARewriteRefusesLaterRecordsInsteadOfOverwriting) {
  const std::vector<uint8_t> image(8 * 8 * 2, 0xAB);
  loamwriter::HMP7W hmp;
  ASSERT_GE(hmp.Open(path_.c_str()), 0);
  ASSERT_TRUE(hmp.BeginSkin(10, "skin"));
  hmp.SetSkinImage(8, 8, 2, false);
  ASSERT_TRUE(hmp.WriteSkinImage(image.data(), nullptr, nullptr, nullptr));
  FileFaultInjector::FailCall(FileFaultInjector::Operation::kSeek, 2);
  EXPECT_FALSE(hmp.FinishSkin());
  FileFaultInjector::Reset();
  EXPECT_FALSE(hmp.BeginFrame("late"));
  EXPECT_FALSE(hmp.AddFrameVertex(1, 0, 0, 1));
  EXPECT_FALSE(hmp.FinishFrame());
  EXPECT_FALSE(hmp.Close());
  EXPECT_EQ(hmp.LastFailure().Text(), "cannot seek back to the end of the data: Input/output error");
  std::vector<uint8_t> bytes = testsupport::ReadFileBytes(path_);
  ASSERT_EQ(bytes.size(), 84u + 12u + image.size());
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 96, bytes.end()), image);
  EXPECT_GE(hmp.Open(path_.c_str()), 0);
  EXPECT_TRUE(hmp.BeginFrame("again"));
  EXPECT_TRUE(hmp.Close());
  EXPECT_FALSE(hmp.LastFailure().IsFailure());

  using modelfiles::MDL7W;
  MDL7W mdl;
  ASSERT_GE(mdl.Open(path_.c_str()), 0);
  ASSERT_TRUE(mdl.BeginGroup("body"));
  ASSERT_TRUE(mdl.AddVertex(1, 2, 3, 0, 0, 0, 1));
  ASSERT_TRUE(mdl.BeginFrame("pose"));
  ASSERT_TRUE(mdl.AddFrameVertex(0, 1, 1, 1, 1, 0, 0));
  FileFaultInjector::FailCall(FileFaultInjector::Operation::kSeek, 2);
  EXPECT_FALSE(mdl.FinishFrame());
  FileFaultInjector::Reset();
  EXPECT_FALSE(mdl.BeginFrame("late"));
  EXPECT_FALSE(mdl.AddFrameVertex(0, 4, 4, 4, 1, 0, 0));
  EXPECT_FALSE(mdl.Close());
  EXPECT_EQ(mdl.LastFailure().Text(), "cannot seek back to the end of the data: Input/output error");
  bytes = testsupport::ReadFileBytes(path_);
  const uint64_t written = modelfiles::mdl7::kHeaderSize + modelfiles::mdl7::kGroupSize +
                           modelfiles::mdl7::kVertexSize + modelfiles::mdl7::kFrameSize +
                           modelfiles::mdl7::kFrameVertexSize;
  ASSERT_EQ(bytes.size(), written);
  // The frame vertex's x, 1.0f little-endian, is still in place.
  const std::vector<uint8_t> one = {0x00, 0x00, 0x80, 0x3F};
  EXPECT_EQ(std::vector<uint8_t>(bytes.end() - modelfiles::mdl7::kFrameVertexSize,
                                 bytes.end() - modelfiles::mdl7::kFrameVertexSize + 4),
            one);
  EXPECT_GE(mdl.Open(path_.c_str()), 0);
  EXPECT_TRUE(mdl.Close());
}

}  // namespace
