#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_fault_injector.h"
#include "plugin/exports.h"
#include "plugin/hmp7w.h"
#include "support/byte_builder.h"
#include "support/fake_engine.h"
#include "support/temp_dir_fixture.h"
#include "tests/plugin/hmp_expect.h"

namespace {

using hmptest::AppendFrameHeader;
using hmptest::AppendHeader;
using hmptest::AppendSkinHeader;
using hmptest::AppendVertex;
using hmptest::HeaderValues;
using platform::FileFaultInjector;
using testsupport::ByteBuilder;
using testsupport::FakeEngine;
using testsupport::LoadU32;
using testsupport::ReadFileBytes;
using testsupport::ToFixed10;
using Op = platform::FileFaultInjector::Operation;

constexpr int32_t kOk = 1024;
constexpr int32_t kRefused = -1024;

// Pixels of a w x h bitmap, b bytes each, every byte distinct (mod 256).
std::vector<uint8_t> Pixels(int w, int h, int b, int seed) {
  std::vector<uint8_t> pixels(static_cast<size_t>(w * h * b));
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(seed + 7 * i);
  return pixels;
}

// Level 0 as the file holds it: the bitmap's rows from the last to the first.
std::vector<uint8_t> RowsReversed(const std::vector<uint8_t>& pixels, int w, int h, int b) {
  std::vector<uint8_t> out;
  for (int row = h - 1; row >= 0; --row) {
    const auto first = pixels.begin() + static_cast<std::ptrdiff_t>(row) * w * b;
    out.insert(out.end(), first, first + static_cast<std::ptrdiff_t>(w) * b);
  }
  return out;
}

// A reduced level: every step-th pixel of level 0, `count` of them.
std::vector<uint8_t> EveryNth(const std::vector<uint8_t>& level0, int b, int step, int count) {
  std::vector<uint8_t> out;
  for (int q = 0; q < count; ++q) {
    const auto first = level0.begin() + static_cast<std::ptrdiff_t>(q) * step * b;
    out.insert(out.end(), first, first + b);
  }
  return out;
}

engine::Fixed10Vector Vec(double x, double y, double z) { return {ToFixed10(x), ToFixed10(y), ToFixed10(z)}; }

class TerrainExportsTest : public testsupport::TempDirFixture {
 protected:
  void SetUp() override { ASSERT_EQ(A6_DLLAPI(engine_.Host()), 630); }
  void TearDown() override {
    FileFaultInjector::Reset();
    WriteHmpClose();
    EXPECT_EQ(engine_.ProtocolErrors(), 0);
    TempDirFixture::TearDown();
  }
  std::string Path() { return temp_.File("terrain.hmp"); }
  std::vector<uint8_t> Bytes() { return ReadFileBytes(Path()); }
  void Open() { ASSERT_EQ(WriteHMP(Path().c_str()), kOk); }
  void ExpectBalanced(const engine::EngineBitmap* bitmap, int locks) {
    EXPECT_EQ(engine_.LockCount(bitmap), locks);
    EXPECT_EQ(engine_.UnlockCount(bitmap), locks);
  }

  FakeEngine engine_;
};

// One skin per pixel format, with the type code the format and flag select;
// only the codes with the mip bit (10 to 13) carry the three reduced levels.
struct SkinCase {
  int32_t format;
  int32_t flags;
  int w, h, b;
  int32_t type;
};
const SkinCase kSkins[] = {
    {565, 0, 4, 2, 2, 2},   {565, 0x400, 4, 2, 2, 10}, {4444, 0, 2, 2, 2, 3},  {4444, 0x401, 2, 2, 2, 11},
    {888, 0, 8, 8, 3, 12},  {888, 0x400, 2, 4, 3, 12}, {8888, 0, 8, 4, 4, 13}, {8888, 0x400, 16, 16, 3, 12},
    {8888, 0, 2, 1, 1, 13}, {565, 0, 3, 5, 2, 2},
};

// The whole sequence in parts: the skins, the frames, the file expected.
class TerrainExportsSequenceTest : public TerrainExportsTest {
 protected:
  // Writes a skin of every case of kSkins, then a blank 16 x 8 skin; the
  // skins as the file must hold them.
  ByteBuilder WriteEverySkin() {
    ByteBuilder skins;
    int seed = 0;
    for (const SkinCase& c : kSkins) {
      SCOPED_TRACE(testing::Message() << c.format << " flags " << c.flags << " b " << c.b);
      const std::vector<uint8_t> pixels = Pixels(c.w, c.h, c.b, seed += 3);
      engine::EngineBitmap* bitmap = engine_.AddBitmap(c.format, c.w, c.h, c.b, c.flags, pixels);
      EXPECT_EQ(WriteHmpSkin(engine_.AddNamed("skin"), bitmap), kOk);
      ExpectBalanced(bitmap, 1);
      EXPECT_EQ(bitmap->pixels, nullptr);

      AppendSkinHeader(skins, c.type, c.w, c.h);
      const std::vector<uint8_t> level0 = RowsReversed(pixels, c.w, c.h, c.b);
      skins.Bytes(level0);
      if (c.type >= 10) {
        skins.Bytes(EveryNth(level0, c.b, 4, (c.w / 2) * (c.h / 2)));
        skins.Bytes(EveryNth(level0, c.b, 16, (c.w / 4) * (c.h / 4)));
        skins.Bytes(EveryNth(level0, c.b, 64, (c.w / 8) * (c.h / 8)));
      }
    }
    EXPECT_EQ(WriteSkinEmpty(16 * 1024, 8 * 1024, engine_.AddNamed(nullptr)), kOk);
    AppendSkinHeader(skins, 0, 16, 8);
    skins.Fill(0, 128);
    return skins;
  }

  // Two frames of three vertices each: heights above, below and inside the
  // header's range, and normals up, tilted and half way.
  void WriteTwoFrames() {
    const engine::Fixed10Vector up = Vec(0, 0, 1), tilted = Vec(1, -1, 0), half = Vec(0.5, -0.5, 0.7);
    EXPECT_EQ(WriteHmpFrame(engine_.AddNamed("ground")), kOk);
    EXPECT_EQ(WriteHmpVertex(ToFixed10(100.5), &tilted), 100 * 1024);
    EXPECT_EQ(WriteHmpVertex(ToFixed10(-1.0), &up), 65535 * 1024);
    EXPECT_EQ(WriteHmpVertex(ToFixed10(65536.0), &half), 0);
    EXPECT_EQ(WriteHmpFrameEnd(), kOk);
    EXPECT_EQ(WriteHmpFrame(engine_.AddNamed(nullptr)), kOk);
    EXPECT_EQ(WriteHmpVertex(ToFixed10(3.99), &up), 3 * 1024);
    EXPECT_EQ(WriteHmpVertex(ToFixed10(0.0), &up), 0);
    EXPECT_EQ(WriteHmpVertex(ToFixed10(65535.0), &up), 65535 * 1024);
    EXPECT_EQ(WriteHmpFrameEnd(), kOk);
  }

  // The file the sequence writes, around the skins of WriteEverySkin.
  static ByteBuilder ExpectedFile(const ByteBuilder& skins) {
    HeaderValues header;
    header.scale[0] = static_cast<float>(100.0 / 65535.0);
    header.scale[1] = static_cast<float>(20.0 / 65535.0);
    header.scale[2] = 1.0f;
    header.offset[1] = -10.0f;
    header.param0 = 1.0f;
    header.param1 = 2.0f;
    header.param2 = 3.0f;
    header.numSkins = static_cast<int32_t>(sizeof kSkins / sizeof kSkins[0]) + 1;
    header.numVertices = 3;
    header.numFrames = 2;
    ByteBuilder expected;
    AppendHeader(expected, header);
    expected.Bytes(skins.Data());
    AppendFrameHeader(expected, "ground");
    AppendVertex(expected, 100, 127, 0x81);
    AppendVertex(expected, 65535, 0, 0);
    AppendVertex(expected, 0, 63, 0xC1);
    AppendFrameHeader(expected, "");
    AppendVertex(expected, 3, 0, 0);
    AppendVertex(expected, 0, 0, 0);
    AppendVertex(expected, 65535, 0, 0);
    return expected;
  }
};

TEST_F(TerrainExportsSequenceTest, WholeSequenceFromBindingToCloseIsReadBackFieldByField) {
  Open();
  const engine::Fixed10Vector params = Vec(1, 2, 3);
  const engine::Fixed10Vector low = Vec(0, -10, 0);
  const engine::Fixed10Vector high = Vec(100, 10, 65535);
  EXPECT_EQ(WriteHmpHeader(&params, &low, &high), kOk);
  const ByteBuilder skins = WriteEverySkin();
  WriteTwoFrames();
  EXPECT_EQ(WriteHmpClose(), kOk);
  const ByteBuilder expected = ExpectedFile(skins);

  const std::vector<uint8_t> bytes = Bytes();
  ASSERT_EQ(bytes.size(), expected.Size());
  // The parameters lie at 36, 40, 44 as y, z, x of the params vector.
  EXPECT_EQ(hmptest::LoadF32(bytes, 36), 2.0f);
  EXPECT_EQ(hmptest::LoadF32(bytes, 40), 3.0f);
  EXPECT_EQ(hmptest::LoadF32(bytes, 44), 1.0f);
  EXPECT_EQ(LoadU32(bytes, 48), 11u);
  EXPECT_EQ(LoadU32(bytes, 60), 3u);
  EXPECT_EQ(LoadU32(bytes, 68), 2u);
  EXPECT_EQ(bytes, expected.Data());
}

// A 4 x 2 bitmap of bytes 0..7: level 0 is 4 5 6 7 0 1 2 3, level 1 picks
// 4 0, levels 2 and 3 are empty; without the mip bit only level 0 follows.
TEST_F(TerrainExportsTest, SmallBitmapLevelsAndMipLevelsOnlyWithTheMipBit) {
  Open();
  const std::vector<uint8_t> pixels = {0, 1, 2, 3, 4, 5, 6, 7};
  engine::EngineBitmap* plain = engine_.AddBitmap(565, 4, 2, 1, 0, pixels);
  engine::EngineBitmap* mipped = engine_.AddBitmap(565, 4, 2, 1, 0x400, pixels);
  EXPECT_EQ(WriteHmpSkin(engine_.AddNamed("a"), plain), kOk);
  EXPECT_EQ(WriteHmpSkin(engine_.AddNamed("b"), mipped), kOk);
  EXPECT_EQ(WriteHmpClose(), kOk);

  ByteBuilder expected;
  AppendSkinHeader(expected, 2, 4, 2);
  expected.Bytes({4, 5, 6, 7, 0, 1, 2, 3});
  AppendSkinHeader(expected, 10, 4, 2);
  expected.Bytes({4, 5, 6, 7, 0, 1, 2, 3}).Bytes({4, 0});
  EXPECT_EQ(hmptest::Slice(Bytes(), 84, 1000), expected.Data());
}

TEST_F(TerrainExportsTest, BitmapsThatCannotBeTakenAreRefusedBeforeAnyWrite) {
  Open();
  struct Case {
    const char* what;
    int32_t format, w, h, b;
    size_t pixelBytes;
  };
  const Case cases[] = {
      {"format 555", 555, 2, 2, 2, 8},         {"format 0", 0, 2, 2, 2, 8},
      {"no bytes per pixel", 888, 2, 2, 0, 8}, {"negative bytes per pixel", 888, 2, 2, -3, 8},
      {"negative width", 888, -2, 2, 3, 8},    {"negative height", 8888, 2, -1, 4, 8},
      {"2^32 bytes", 888, 65536, 65536, 1, 8}, {"2^31 bytes", 8888, 32768, 16384, 4, 8},
      {"no pixel data", 565, 2, 2, 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    engine::EngineBitmap* bitmap =
        engine_.AddBitmap(c.format, c.w, c.h, c.b, 0, std::vector<uint8_t>(c.pixelBytes, 1));
    EXPECT_EQ(WriteHmpSkin(engine_.AddNamed("s"), bitmap), kRefused);
    ExpectBalanced(bitmap, 1);
  }
  engine::EngineBitmap* good = engine_.AddBitmap(888, 1, 1, 3, 0, {1, 2, 3});
  EXPECT_EQ(WriteHmpSkin(nullptr, good), kRefused);
  EXPECT_EQ(WriteHmpSkin(engine_.AddNamed("s"), nullptr), kRefused);
  ExpectBalanced(good, 0);
  EXPECT_EQ(loamwriter::theWriter.header.numSkins, 0);
  EXPECT_EQ(WriteHmpClose(), kOk);
  EXPECT_EQ(Bytes().size(), 84u);
  EXPECT_EQ(LoadU32(Bytes(), 48), 0u);
}

TEST_F(TerrainExportsTest, UnboundBitmapFunctionsRefuseWithoutCallingTheEngine) {
  for (const char* missing : {"bmap_lock", "bmap_width", "bmap_height", "bmap_unlock"}) {
    SCOPED_TRACE(missing);
    FakeEngine partial;
    partial.LeaveUnresolved(missing);
    ASSERT_EQ(A6_DLLAPI(partial.Host()), 630);
    engine::EngineBitmap* bitmap = partial.AddBitmap(888, 1, 1, 3, 0, {1, 2, 3});
    EXPECT_EQ(WriteHmpSkin(partial.AddNamed("s"), bitmap), kRefused);
    EXPECT_EQ(partial.LockCount(bitmap), 0);
    EXPECT_EQ(partial.ProtocolErrors(), 0);
  }
}

TEST_F(TerrainExportsTest, EmptySkinIsZeroBytesOfTheIntegerSize) {
  Open();
  EXPECT_EQ(WriteSkinEmpty(16 * 1024 + 1000, 8 * 1024 + 5, engine_.AddNamed("e")), kOk);
  EXPECT_EQ(WriteSkinEmpty(0, 3 * 1024, engine_.AddNamed("e")), kOk);
  EXPECT_EQ(WriteSkinEmpty(-1, 1024, engine_.AddNamed("e")), 0);
  EXPECT_EQ(WriteSkinEmpty(65536 * 1024, 65536 * 1024 - 1, engine_.AddNamed("e")), 0);
  EXPECT_EQ(WriteSkinEmpty(1024, 1024, nullptr), 0);
  EXPECT_EQ(WriteHmpClose(), kOk);

  ByteBuilder expected;
  AppendSkinHeader(expected, 0, 16, 8);
  expected.Fill(0, 128);
  AppendSkinHeader(expected, 0, 0, 3);
  EXPECT_EQ(hmptest::Slice(Bytes(), 84, 1000), expected.Data());
  EXPECT_EQ(LoadU32(Bytes(), 48), 2u);
}

TEST_F(TerrainExportsTest, VerticesPackToZeroWithoutScaleOrOutsideTheIntegerRange) {
  Open();
  const engine::Fixed10Vector up = Vec(0, 0, 1);
  EXPECT_EQ(WriteHmpFrame(engine_.AddNamed("f")), kOk);
  // No header values yet: scale z is 0.
  EXPECT_EQ(WriteHmpVertex(ToFixed10(1234.0), &up), 0);
  // min z = max z: scale z is 0 as well.
  const engine::Fixed10Vector zero = Vec(0, 0, 0), flat = Vec(1, 1, 5);
  EXPECT_EQ(WriteHmpHeader(&zero, &flat, &flat), kOk);
  EXPECT_EQ(WriteHmpVertex(ToFixed10(5.0), &up), 0);
  // A tiny scale puts the quotient far beyond 32 bits.
  const engine::Fixed10Vector tinyHigh{0, 0, 1};
  EXPECT_EQ(WriteHmpHeader(&zero, &zero, &tinyHigh), kOk);
  EXPECT_EQ(WriteHmpVertex(ToFixed10(1000000.0), &up), 0);
  EXPECT_EQ(WriteHmpVertex(ToFixed10(-1000000.0), &up), 0);
  // Inside the range the quotient keeps its low 16 bits: 1/1024 over a scale
  // of (1/1024)/65535 is 65535.
  EXPECT_EQ(WriteHmpVertex(1, &up), 65535 * 1024);
  // A null normal writes and counts nothing.
  EXPECT_EQ(WriteHmpVertex(ToFixed10(1.0), nullptr), 0);
  EXPECT_EQ(WriteHmpClose(), kOk);

  const std::vector<uint8_t> bytes = Bytes();
  EXPECT_EQ(LoadU32(bytes, 60), 5u);
  ByteBuilder vertices;
  for (uint16_t h : {0, 0, 0, 0, 65535}) AppendVertex(vertices, h, 0, 0);
  EXPECT_EQ(hmptest::Slice(bytes, 84 + 36, 1000), vertices.Data());
}

TEST_F(TerrainExportsTest, NullArgumentsChangeNothing) {
  Open();
  const engine::Fixed10Vector v = Vec(1, 2, 3);
  EXPECT_EQ(WriteHmpHeader(nullptr, &v, &v), 0);
  EXPECT_EQ(WriteHmpHeader(&v, nullptr, &v), 0);
  EXPECT_EQ(WriteHmpHeader(&v, &v, nullptr), 0);
  EXPECT_EQ(WriteHmpFrame(nullptr), 0);
  EXPECT_EQ(WriteHMP(nullptr), 0);
  EXPECT_EQ(WriteHmpClose(), kOk);
  ByteBuilder expected;
  AppendHeader(expected, HeaderValues());
  EXPECT_EQ(Bytes(), expected.Data());
}

TEST_F(TerrainExportsTest, FileFaultsAreReportedAsFailures) {
  // The file cannot be created: nothing is open, closing still succeeds.
  FileFaultInjector::FailCall(Op::kOpen, 1);
  EXPECT_EQ(WriteHMP(Path().c_str()), 0);
  EXPECT_EQ(WriteHmpFrame(engine_.AddNamed("f")), 0);
  EXPECT_EQ(WriteHmpFrameEnd(), kOk);
  EXPECT_EQ(WriteHmpClose(), kOk);
  EXPECT_TRUE(Bytes().empty());
  EXPECT_EQ(WriteHMP(temp_.File("missing/folder.hmp").c_str()), 0);

  // The provisional header cannot be written whole.
  FileFaultInjector::LimitWrittenBytes(83);
  EXPECT_EQ(WriteHMP(Path().c_str()), 0);
  FileFaultInjector::Reset();
  EXPECT_EQ(WriteHmpClose(), kOk);

  // A skin whose mip levels fail: 0, header still patched, bitmap unlocked.
  // Writes after the open: skin header, level 0, then the mip levels. The file
  // is then not whole: later records are refused although the device works
  // again, and the close reports it, with the counts in its header.
  Open();
  engine::EngineBitmap* bitmap = engine_.AddBitmap(8888, 4, 4, 4, 0, Pixels(4, 4, 4, 1));
  FileFaultInjector::FailCall(Op::kWrite, 3);
  EXPECT_EQ(WriteHmpSkin(engine_.AddNamed("s"), bitmap), 0);
  ExpectBalanced(bitmap, 1);
  EXPECT_EQ(WriteSkinEmpty(1024, 1024, engine_.AddNamed("e")), 0);
  EXPECT_EQ(WriteHmpFrame(engine_.AddNamed("f")), 0);
  EXPECT_EQ(WriteHmpFrameEnd(), 0);
  EXPECT_EQ(WriteHmpClose(), 0);
  const std::vector<uint8_t> bytes = Bytes();
  ASSERT_EQ(bytes.size(), 84u + 12 + 64);
  EXPECT_EQ(LoadU32(bytes, 84), 13u);
  EXPECT_EQ(LoadU32(bytes, 84 + 4), 4u);  // the real size, patched in
  EXPECT_EQ(LoadU32(bytes, 84 + 8), 4u);
  EXPECT_EQ(LoadU32(bytes, 48), 2u);
  EXPECT_EQ(LoadU32(bytes, 68), 1u);

  // A final header that comes up short is not reported as written.
  Open();
  FileFaultInjector::LimitWrittenBytes(50);
  EXPECT_EQ(WriteHmpClose(), 0);
  FileFaultInjector::Reset();
  EXPECT_EQ(WriteHmpClose(), kOk);
}

// A second WriteHMP closes the first file with its final header.
TEST_F(TerrainExportsTest, OpeningAnotherFileFinishesTheFirst) {
  Open();
  const engine::Fixed10Vector up = Vec(0, 0, 1);
  EXPECT_EQ(WriteHmpFrame(engine_.AddNamed("f")), kOk);
  WriteHmpVertex(0, &up);
  WriteHmpVertex(0, &up);
  ASSERT_EQ(WriteHMP(temp_.File("second.hmp").c_str()), kOk);
  const std::vector<uint8_t> first = Bytes();
  ASSERT_EQ(first.size(), 84u + 36 + 8);
  EXPECT_EQ(LoadU32(first, 60), 2u);
  EXPECT_EQ(LoadU32(first, 68), 1u);
  EXPECT_EQ(loamwriter::theWriter.header.numFrames, 0);
}

}  // namespace
