// The HMP terrain reader of the tools, against bytes built here.
#include "terrain/hmp_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/byte_builder.h"

namespace {

using testsupport::ByteBuilder;

// An HMP7 file of `columns` x `rows` vertices in one frame with the given
// skins (type, width, height), each followed by `skinBytes` of data.
ByteBuilder Terrain(int32_t columns, int32_t rows, const std::vector<std::vector<int32_t>>& skins,
                    const std::vector<uint32_t>& skinBytes) {
  ByteBuilder b;
  b.Text("HMP7", 4).I32(0);
  b.F32(1.0f).F32(1.0f).F32(0.5f);                                // scale
  b.F32(0.0f).F32(0.0f).F32(-10.0f);                              // offset
  b.I32(0).F32(8.0f).F32(8.0f).F32(static_cast<float>(columns));  // param1, param2, param0
  b.I32(static_cast<int32_t>(skins.size())).I32(0).I32(0).I32(columns * rows).I32(0).I32(1);
  b.I32(0).I32(0).I32(0);
  for (size_t i = 0; i < skins.size(); ++i) {
    b.I32(skins[i][0]).I32(skins[i][1]).I32(skins[i][2]).Fill(0xEE, skinBytes[i]);
  }
  b.I32(2).U16(0).U16(0).U16(0).U8(255).U8(0).U16(65535).U16(65535).U16(65535).U8(255).U8(0).Text("ground",
                                                                                                  16);
  for (int32_t v = 0; v < columns * rows; ++v) b.U16(static_cast<uint16_t>(100 * v)).U8(0).U8(0);
  return b;
}

TEST(HmpFileTest, WalksSkinsWithAndWithoutMipLevelsAndTheFrame) {
  // Type 12: 3 bytes per pixel and three mip levels (8x4: 96 + 24 + 6 + 0);
  // type 0: 1 byte per pixel, no mips; type 4: 3 bytes, no mips.
  const ByteBuilder b = Terrain(3, 2, {{12, 8, 4}, {0, 5, 3}, {4, 2, 2}}, {96 + 24 + 6, 15, 12});
  terrain::HmpFile file;
  ASSERT_TRUE(file.Parse(b.Data())) << file.LastFailure().Text();
  EXPECT_EQ(file.Magic(), "HMP7");
  ASSERT_TRUE(file.WalkComplete()) << file.WalkProblem().Text();
  EXPECT_EQ(file.WalkEnd(), b.Size());
  ASSERT_EQ(file.Skins().size(), 3u);
  EXPECT_TRUE(file.Skins()[0].mipmaps);
  EXPECT_EQ(file.Skins()[0].dataBytes, 126u);
  EXPECT_EQ(file.Skins()[1].bytesPerPixel, 1);
  EXPECT_FALSE(file.Skins()[2].mipmaps);
  ASSERT_EQ(file.Frames().size(), 1u);
  EXPECT_EQ(file.Frames()[0].name, "ground");
  int32_t columns = 0, rows = 0;
  ASSERT_TRUE(file.GridSize(columns, rows));
  EXPECT_EQ(columns, 3);
  EXPECT_EQ(rows, 2);
  std::vector<uint16_t> heights;
  ASSERT_TRUE(file.FrameHeights(0, heights));
  EXPECT_EQ(heights, (std::vector<uint16_t>{0, 100, 200, 300, 400, 500}));
  EXPECT_DOUBLE_EQ(file.Height(heights[5]), -10.0 + 250.0);
  EXPECT_FALSE(file.FrameHeights(1, heights));
}

TEST(HmpFileTest, EveryTruncationIsReportedNeverRead) {
  const std::vector<uint8_t> whole = Terrain(2, 2, {{13, 4, 4}}, {64 + 16 + 4}).Data();
  for (size_t size = 0; size < whole.size(); ++size) {
    terrain::HmpFile file;
    const bool loaded =
        file.Parse(std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<long>(size)));
    if (size < terrain::HmpFile::kHeaderSize) {
      EXPECT_FALSE(loaded) << size;
      EXPECT_TRUE(file.LastFailure().IsFailure()) << size;
    } else {
      ASSERT_TRUE(loaded) << size;
      EXPECT_FALSE(file.WalkComplete()) << size;
      EXPECT_TRUE(file.Truncated()) << size;
      EXPECT_LE(file.WalkEnd(), size) << size;
    }
  }
}

TEST(HmpFileTest, HostileHeadersStopTheWalk) {
  ByteBuilder unknown = Terrain(1, 1, {{7, 3, 0}}, {3});  // type 7 has no known size
  terrain::HmpFile file;
  ASSERT_TRUE(file.Parse(unknown.Data()));
  EXPECT_FALSE(file.WalkComplete());
  EXPECT_FALSE(file.Truncated());
  EXPECT_EQ(file.WalkEnd(), terrain::HmpFile::kHeaderSize);

  // A skin of 2^31 - 1 squared pixels, a negative count, and a vertex count
  // that would overflow 32 bits when multiplied by the vertex size.
  ByteBuilder huge = Terrain(1, 1, {{13, 0x7FFFFFFF, 0x7FFFFFFF}}, {0});
  ASSERT_TRUE(file.Parse(huge.Data()));
  EXPECT_FALSE(file.WalkComplete());
  ByteBuilder negative = Terrain(1, 1, {}, {});
  negative.PatchU32(68, 0xFFFFFFFFu);
  ASSERT_TRUE(file.Parse(negative.Data()));
  EXPECT_FALSE(file.WalkComplete());
  ByteBuilder many = Terrain(1, 1, {}, {});
  many.PatchU32(60, 0x7FFFFFFFu);
  ASSERT_TRUE(file.Parse(many.Data()));
  EXPECT_TRUE(file.Truncated());

  EXPECT_FALSE(file.Parse(ByteBuilder().Text("MDL7", 4).Fill(0, 80).Data()));
  EXPECT_EQ(file.LastFailure().Text(), "unsupported format: not an HMP terrain file");
}

TEST(HmpFileTest, GridSizeNeedsAWholeColumnCountThatDividesTheVertices) {
  ByteBuilder b = Terrain(3, 2, {}, {});
  terrain::HmpFile file;
  int32_t columns = 0, rows = 0;
  for (float param0 : {0.0f, 2.5f, 4.0f, -3.0f}) {
    uint32_t raw;
    std::memcpy(&raw, &param0, sizeof raw);
    b.PatchU32(44, raw);
    ASSERT_TRUE(file.Parse(b.Data()));
    EXPECT_FALSE(file.GridSize(columns, rows)) << param0;
  }
}

TEST(HmpFileTest, TrailingBytesAreCountedAndBoundsKept) {
  ByteBuilder b = Terrain(2, 1, {{6, 2, 2}}, {4});  // type 6: one byte per pixel
  const uint32_t end = static_cast<uint32_t>(b.Size());
  b.Fill(0xAB, 5);
  terrain::HmpFile file;
  ASSERT_TRUE(file.Parse(b.Data()));
  EXPECT_TRUE(file.WalkComplete()) << file.WalkProblem().Text();
  EXPECT_EQ(file.WalkEnd(), end);
  EXPECT_EQ(file.FileSize(), end + 5);
  EXPECT_EQ(file.Skins()[0].dataBytes, 4u);
  ASSERT_EQ(file.Frames().size(), 1u);
  EXPECT_EQ(file.Frames()[0].boundMin[2], 0);
  EXPECT_EQ(file.Frames()[0].boundMax[2], 65535);
}

TEST(HmpFileTest, FirstFrameGridSaysWhyThereIsNone) {
  terrain::HmpFile file;
  int32_t columns = 0, rows = 0;
  std::vector<uint16_t> heights;
  platform::FailureReason reason;
  ByteBuilder none = Terrain(1, 1, {}, {});
  none.PatchU32(68, 0);  // no frame counted
  ASSERT_TRUE(file.Parse(none.Data()));
  EXPECT_FALSE(file.FirstFrameGrid(columns, rows, heights, reason));
  EXPECT_EQ(reason.Text(), "unsupported terrain without a frame");
  // A skin cut short: the frame is never reached, and the skin is named.
  const std::vector<uint8_t> whole = Terrain(1, 1, {{4, 2, 2}}, {12}).Data();
  ASSERT_TRUE(file.Parse(std::vector<uint8_t>(whole.begin(), whole.begin() + 84 + 12 + 5)));
  EXPECT_FALSE(file.FirstFrameGrid(columns, rows, heights, reason));
  EXPECT_TRUE(file.Truncated());
  EXPECT_EQ(reason.Offset(), 84u);
  EXPECT_NE(reason.Text().find("skin 0 image"), std::string::npos) << reason.Text();
}

}  // namespace
