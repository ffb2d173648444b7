// Inputs that once made a reader misbehave, rebuilt field by field.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "modelfiles/mdl7r.h"
#include "support/byte_builder.h"
#include "support/temp_dir_fixture.h"

namespace {

using modelfiles::MDL7R;

// A one-group MDL7 file whose header declares the skin and frame record
// sizes given (the others as written by this library), and a mesh group
// with the given skin and frame counts and nothing else.
std::vector<uint8_t> OneGroupModel(uint16_t skinSize, uint16_t frameSize, int32_t skinCount,
                                   int32_t frameCount) {
  const uint32_t fileSize = 48 + 44;
  testsupport::ByteBuilder b;
  b.Text("MDL7", 4).I32(0).I32(0).I32(1).I32(static_cast<int32_t>(fileSize)).I32(0).I32(0);
  b.U16(36).U16(skinSize).U16(16).U16(68).U16(8).U16(16).U16(26).U16(26).U16(68).U16(frameSize);
  b.U8(1).U8(0).U8(0).U8(0).I32(44).Text("spin", 16);
  b.I32(skinCount).I32(0).I32(0).I32(0).I32(frameCount);
  return b.Data();
}

class ReaderRegressionTest : public testsupport::TempDirFixture {
 protected:
  // Opens `bytes` and walks its one group; the walk's result.
  bool WalkOnlyGroup(const std::vector<uint8_t>& bytes) {
    const std::string path = temp_.File("model.mdl");
    EXPECT_TRUE(testsupport::WriteFileBytes(path, bytes));
    MDL7R r;
    EXPECT_GE(r.Open(path.c_str()), 0);
    uint8_t type = 0;
    int32_t size = 0;
    char name[MDL7R::kNameSize];
    EXPECT_TRUE(r.SkipBones());
    EXPECT_TRUE(r.ReadGroup(type, size, name));
    const bool walked = r.WalkGroup();
    EXPECT_EQ(r.Offset(), bytes.size());
    return walked;
  }
};

// Skins or frames of 0 bytes each consume nothing, so all 2^31 - 1 of them
// read the same bytes with the same result; the walk used to go through
// every one of them, minutes of work for a 92-byte file.
TEST_F(ReaderRegressionTest, ZeroByteSkinsAndFramesDoNotSpinThroughTheirCount) {
  const auto started = std::chrono::steady_clock::now();
  EXPECT_TRUE(WalkOnlyGroup(OneGroupModel(0, 24, INT32_MAX, 0)));
  EXPECT_TRUE(WalkOnlyGroup(OneGroupModel(28, 0, 0, INT32_MAX)));
  EXPECT_TRUE(WalkOnlyGroup(OneGroupModel(0, 0, INT32_MAX, INT32_MAX)));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

// A real skin record still has to fit: a count the file cannot hold fails.
TEST_F(ReaderRegressionTest, SkinsThatDoNotFitStillFailTheWalk) {
  EXPECT_FALSE(WalkOnlyGroup(OneGroupModel(28, 24, INT32_MAX, 0)));
  EXPECT_FALSE(WalkOnlyGroup(OneGroupModel(28, 24, 0, 3)));
}

}  // namespace
