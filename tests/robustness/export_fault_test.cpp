// The engine's whole terrain sequence through the exports, on a device that
// fills up at each byte position in turn: every export that writes reports
// 0 as soon as one of its bytes is lost, and WriteHmpClose reports 1024 only
// for a file that got every byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_fault_injector.h"
#include "plugin/exports.h"
#include "support/byte_builder.h"
#include "support/fake_engine.h"
#include "support/temp_dir_fixture.h"

namespace {

using platform::FileFaultInjector;

constexpr int32_t kTrue = 1024;
constexpr int32_t kFalse = 0;

// One export call of the sequence: the bytes it writes when nothing fails.
struct Call {
  const char* name;
  uint64_t bytes;
};

// 16 x 8 pixels of a 565 bitmap with the high-type flag: skin type 10, two
// bytes per pixel and three mip levels (256 + 64 + 16 + 4 bytes).
const Call kCalls[] = {
    {"WriteHMP", 84},
    {"WriteHmpHeader", 0},
    {"WriteSkinEmpty", 12 + 8 + 12},
    {"WriteHmpSkin", 12 + 340 + 12},
    {"WriteHmpFrame", 36},
    {"WriteHmpVertex", 4},
    {"WriteHmpVertex", 4},
    {"WriteHmpVertex", 4},
    {"WriteHmpFrameEnd", 36},
    {"WriteHmpClose", 84},
};
constexpr size_t kCallCount = sizeof kCalls / sizeof kCalls[0];

class ExportFaultTest : public testsupport::TempDirFixture {
 protected:
  void SetUp() override { ASSERT_EQ(A6_DLLAPI(engine_.Host()), 630); }
  void TearDown() override {
    WriteHmpClose();
    testsupport::TempDirFixture::TearDown();
  }

  // Runs the sequence once and returns what every call returned.
  std::vector<int32_t> RunSequence() {
    std::vector<uint8_t> pixels(16 * 8 * 2);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 37);
    engine::EngineBitmap* bitmap =
        engine_.AddBitmap(565, 16, 8, 2, engine::kBitmapFlagHighTypes, std::move(pixels));
    const engine::EngineNamedRecord* name = engine_.AddNamed("ground");
    const engine::Fixed10Vector params{1024, 2048, 3072};
    const engine::Fixed10Vector minimum{0, 0, 0};
    const engine::Fixed10Vector maximum{65535 * 1024, 65535 * 1024, 64 * 1024};
    const engine::Fixed10Vector up{0, 0, 1024};

    std::vector<int32_t> results;
    results.push_back(WriteHMP(path_.c_str()));
    results.push_back(WriteHmpHeader(&params, &minimum, &maximum));
    results.push_back(WriteSkinEmpty(4 * 1024, 2 * 1024, name));
    results.push_back(WriteHmpSkin(name, bitmap));
    results.push_back(WriteHmpFrame(name));
    for (int32_t height : {0, 16, 48}) results.push_back(WriteHmpVertex(height * 1024, &up));
    results.push_back(WriteHmpFrameEnd());
    results.push_back(WriteHmpClose());
    return results;
  }

  testsupport::FakeEngine engine_;
  std::string path_ = temp_.File("terrain.hmp");
};

TEST_F(ExportFaultTest, EveryLostByteIsReportedByItsExportAndByClose) {
  uint64_t total = 0;
  for (const Call& call : kCalls) total += call.bytes;
  const std::vector<int32_t> whole = RunSequence();
  for (size_t i = 0; i < kCallCount; ++i) {
    if (std::string(kCalls[i].name) != "WriteHmpVertex") {
      ASSERT_EQ(whole[i], kTrue) << kCalls[i].name;
    }
  }
  const std::vector<uint8_t> wholeFile = testsupport::ReadFileBytes(path_);
  ASSERT_EQ(wholeFile.size(), total - 12 - 12 - 36 - 84);  // the patches rewrite in place

  for (uint64_t limit = 0; limit <= total; ++limit) {
    FileFaultInjector::LimitWrittenBytes(limit);
    const std::vector<int32_t> results = RunSequence();
    FileFaultInjector::Reset();
    uint64_t end = 0;
    for (size_t i = 0; i < kCallCount; ++i) {
      end += kCalls[i].bytes;
      const std::string call = kCalls[i].name;
      int32_t expected = end <= limit || kCalls[i].bytes == 0 ? kTrue : kFalse;
      if (limit < 84) {
        // The file never opened: records fail; ending a frame and closing
        // have nothing to do and succeed, as documented.
        expected = call == "WriteHmpHeader" || call == "WriteHmpFrameEnd" || call == "WriteHmpClose" ? kTrue
                                                                                                     : kFalse;
      }
      // A vertex reports its packed height whatever became of its bytes.
      if (call == "WriteHmpVertex") expected = whole[i];
      ASSERT_EQ(results[i], expected) << call << " (call " << i << ") with the device full after " << limit
                                      << " of " << total << " bytes";
    }
  }
  EXPECT_EQ(testsupport::ReadFileBytes(path_), wholeFile);
}

}  // namespace
