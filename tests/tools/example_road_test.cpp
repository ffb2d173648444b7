// The road of one terrain, run whole by the example host in a scratch
// folder: duneforge, its completion message, then loamwriter's exports.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "support/byte_builder.h"
#include "support/run_program.h"
#include "support/temp_dir_fixture.h"

namespace {

using testsupport::LoadU32;

float LoadF32(const std::vector<uint8_t>& bytes, size_t offset) {
  const uint32_t raw = LoadU32(bytes, offset);
  float value;
  std::memcpy(&value, &raw, sizeof value);
  return value;
}

// 2 x 2 tiles of 16 x 8 samples of one Perlin module over x and z from 0 to
// 4, with or without the preview.
std::string Commands(int preview) {
  return "0 1\n2 2 16 8\n0.0 4.0 0.0 4.0\n3 " + std::to_string(preview) + "\n0 6 1.0 0.5 0.0\n";
}

class ExampleRoadTest : public testsupport::TempDirFixture {
 protected:
  std::string WriteText(const std::string& name, const std::string& text, bool executable = false) {
    const std::string path = temp_.File(name);
    EXPECT_TRUE(testsupport::WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end())));
    if (executable) chmod(path.c_str(), 0700);
    return path;
  }
  testsupport::ProgramResult Host(const std::vector<std::string>& args) {
    return testsupport::RunProgram(EXAMPLE_HOST_PROGRAM, args, temp_.Path());
  }
};

// The heights as duneforge wrote them (2 x 2 tiles of 16 x 8, tile by
// tile), put into one 32 x 16 grid.
std::vector<float> GridOfTiles(const std::vector<float>& values) {
  std::vector<float> grid(values.size());
  for (size_t t = 0; t < 4; ++t) {
    for (size_t j = 0; j < 16 * 8; ++j) {
      grid[(t / 2 * 8 + j / 16) * 32 + t % 2 * 16 + j % 16] = values[t * 128 + j];
    }
  }
  return grid;
}

// The skin: the 16 x 8 preview as a 24-bit skin with mip levels, or a
// blank one of the grid's size. Where the frame begins, after the skin.
size_t ExpectSkin(const std::vector<uint8_t>& hmp, bool preview) {
  size_t at = 84;
  const uint32_t type = LoadU32(hmp, at), width = LoadU32(hmp, at + 4), height = LoadU32(hmp, at + 8);
  if (preview) {
    EXPECT_EQ(type, 12u);
    EXPECT_EQ(width, 16u);
    EXPECT_EQ(height, 8u);
    at += 12 + 3 * (16 * 8 + 8 * 4 + 4 * 2 + 2 * 1);
  } else {
    EXPECT_EQ(type, 0u);
    EXPECT_EQ(width, 32u);
    EXPECT_EQ(height, 16u);
    at += 12 + 32 * 16;
  }
  return at;
}

// The vertices from `at` on hold `grid`, in engine units of `units` per
// noise unit, within a packing step; the lowest of them is the header's z
// offset, and every normal's x and y lie within the unit circle.
void ExpectVertices(const std::vector<uint8_t>& hmp, size_t at, const std::vector<float>& grid,
                    double units) {
  const float scaleZ = LoadF32(hmp, 16), offsetZ = LoadF32(hmp, 28);
  double lowest = 1e9;
  for (size_t i = 0; i < grid.size(); ++i) {
    const uint16_t packed = static_cast<uint16_t>(hmp[at + 4 * i] | (hmp[at + 4 * i + 1] << 8));
    const double value = (offsetZ + packed * static_cast<double>(scaleZ)) / units;
    EXPECT_NEAR(value, grid[i], scaleZ / units) << "vertex " << i;
    lowest = std::min(lowest, value);
    // A normal's x and y lie within the unit circle.
    const int8_t nx = static_cast<int8_t>(hmp[at + 4 * i + 2]), ny = static_cast<int8_t>(hmp[at + 4 * i + 3]);
    EXPECT_LE(nx * nx + ny * ny, 127 * 127 + 2) << "vertex " << i;
  }
  EXPECT_NEAR(offsetZ / units, lowest, scaleZ / units);
}

TEST_F(ExampleRoadTest, TerrainFileHoldsTheHeightArray) {
  for (int preview : {1, 0}) {
    SCOPED_TRACE(preview);
    const std::string commands = WriteText("terrain.txt", Commands(preview));
    const std::string folder = temp_.File(preview ? "with_preview" : "without_preview");
    const auto result = Host({commands, folder, DUNEFORGE_PROGRAM, LOAMWRITER_LIBRARY});
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("message 368475 received"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("terrain:      " + folder + "/terrain.hmp"), std::string::npos) << result.out;

    const std::vector<float> values = testsupport::ParseHeightArray(folder + "/noise_arr.txt");
    ASSERT_EQ(values.size(), 4u * 16 * 8);
    const std::vector<float> grid = GridOfTiles(values);

    const std::vector<uint8_t> hmp = testsupport::ReadFileBytes(folder + "/terrain.hmp");
    ASSERT_GE(hmp.size(), 84u);
    EXPECT_EQ(std::string(hmp.begin(), hmp.begin() + 4), "HMP7");
    EXPECT_EQ(LoadU32(hmp, 48), 1u);        // skins
    EXPECT_EQ(LoadU32(hmp, 60), 32u * 16);  // vertices of the first frame
    EXPECT_EQ(LoadU32(hmp, 68), 1u);        // frames
    EXPECT_EQ(LoadF32(hmp, 44), 32.0f);     // param0: the columns
    const float spacingX = LoadF32(hmp, 36), spacingY = LoadF32(hmp, 40);
    EXPECT_FLOAT_EQ(2 * spacingX, spacingY);  // 4 / 32 and 4 / 16 of the area, scaled alike
    ASSERT_GT(LoadF32(hmp, 16), 0.0f);        // the z scale

    size_t at = ExpectSkin(hmp, preview);
    ASSERT_EQ(hmp.size(), at + 36 + 4 * 32 * 16);
    EXPECT_EQ(LoadU32(hmp, at), 2u);
    EXPECT_STREQ(reinterpret_cast<const char*>(hmp.data() + at + 20), "terrain");
    at += 36;

    // Engine units per noise unit, from the spacing the header carries
    // (samples lie 4 / 32 noise units apart along x).
    ExpectVertices(hmp, at, grid, spacingX / (4.0 / 32.0));
  }
}

TEST_F(ExampleRoadTest, NormalsLeanAwayFromTheRisingGround) {
  // One Const module plus a ScaleBias would give flat ground; a single
  // tile of Perlin noise has slopes: every normal must lean against the
  // height difference of its neighbours along x.
  const std::string commands = WriteText("terrain.txt", Commands(0));
  const std::string folder = temp_.File("normals");
  ASSERT_EQ(Host({commands, folder, DUNEFORGE_PROGRAM, LOAMWRITER_LIBRARY}).status, 0);
  const std::vector<uint8_t> hmp = testsupport::ReadFileBytes(folder + "/terrain.hmp");
  const size_t first = 84 + 12 + 32 * 16 + 36;
  ASSERT_EQ(hmp.size(), first + 4 * 32 * 16);
  int checked = 0;
  for (size_t y = 0; y < 16; ++y) {
    for (size_t x = 1; x + 1 < 32; ++x) {
      const auto height = [&](size_t cx) {
        const size_t v = first + 4 * (y * 32 + cx);
        return static_cast<int>(hmp[v] | (hmp[v + 1] << 8));
      };
      const int rise = height(x + 1) - height(x - 1);
      const int nx = static_cast<int8_t>(hmp[first + 4 * (y * 32 + x) + 2]);
      if (std::abs(rise) > 2000 && std::abs(nx) > 1) {
        EXPECT_LT(rise * nx, 0) << x << "," << y;
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 20);
}

TEST_F(ExampleRoadTest, MissingMessageIsAnErrorNotASuccess) {
  const std::string commands = WriteText("terrain.txt", Commands(0));
  // A program that ends at once without sending anything.
  const std::string silent = WriteText("silent.sh", "#!/bin/sh\nexit 0\n", true);
  auto result = Host({commands, temp_.File("silent"), silent, LOAMWRITER_LIBRARY});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("without sending its completion message"), std::string::npos) << result.err;
  struct stat info;
  EXPECT_NE(stat(temp_.File("silent/terrain.hmp").c_str(), &info), 0);

  // A program that never ends is stopped at the time limit.
  const std::string stuck = WriteText("stuck.sh", "#!/bin/sh\nexec sleep 60\n", true);
  result = Host({"--timeout", "1", commands, temp_.File("stuck"), stuck, LOAMWRITER_LIBRARY});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("no completion message within 1 seconds"), std::string::npos) << result.err;

  // duneforge's own failure status is passed on.
  const std::string failing = WriteText("failing.sh", "#!/bin/sh\nexit 3\n", true);
  EXPECT_EQ(Host({commands, temp_.File("failing"), failing, LOAMWRITER_LIBRARY}).status, 3);
}

TEST_F(ExampleRoadTest, RefusesWhatCannotMakeATerrain) {
  const std::string commands = WriteText("terrain.txt", Commands(0));
  auto result = Host({commands, temp_.File("noplugin"), DUNEFORGE_PROGRAM, temp_.File("missing.so")});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("cannot load"), std::string::npos) << result.err;

  // An area without extent gives no terrain.
  const std::string flat = WriteText("flat.txt", "0 1\n1 1 8 8\n1.0 1.0 0.0 4.0\n0 0\n0 6 1.0 0.5 0.0\n");
  result = Host({flat, temp_.File("flat"), DUNEFORGE_PROGRAM, LOAMWRITER_LIBRARY});
  EXPECT_EQ(result.status, 1);
  EXPECT_FALSE(result.err.empty());

  // An earlier run's height array is not appended to.
  const std::string folder = temp_.File("again");
  ASSERT_EQ(Host({commands, folder, DUNEFORGE_PROGRAM, LOAMWRITER_LIBRARY}).status, 0);
  ASSERT_EQ(Host({commands, folder, DUNEFORGE_PROGRAM, LOAMWRITER_LIBRARY}).status, 0);
  EXPECT_EQ(testsupport::ParseHeightArray(folder + "/noise_arr.txt").size(), 4u * 16 * 8);
}

}  // namespace
