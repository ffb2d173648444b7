#include "modelfiles/model_file_opener.h"

#include <gtest/gtest.h>

#include <string>

#include "modelfiles/legacy_model_reader.h"
#include "modelfiles/mdl7r.h"
#include "support/byte_builder.h"
#include "support/temp_dir_fixture.h"

namespace {

using modelfiles::ModelOpenStatus;
using modelfiles::OpenModelFile;
using testsupport::ByteBuilder;

class ModelFileOpenerTest : public testsupport::TempDirFixture {
 protected:
  std::string Write(const std::string& magic, size_t size) {
    ByteBuilder b;
    b.Text(magic, 4).Fill(0, size - 4);
    if (magic == "MDL7") b.PatchU32(16, static_cast<uint32_t>(size));
    const std::string path = temp_.File("model.bin");
    EXPECT_TRUE(testsupport::WriteFileBytes(path, b.Data()));
    return path;
  }
};

TEST_F(ModelFileOpenerTest, EachSupportedMagicGetsItsReader) {
  const struct {
    const char* magic;
    int32_t formatCode;
  } cases[] = {{"IDPO", 1}, {"MDL2", 1}, {"IDP2", 2}, {"MDL3", 4},
               {"MDL4", 5}, {"MDL5", 6}, {"MDL6", 7}, {"MDL7", 8}};
  for (const auto& c : cases) {
    modelfiles::ModelOpenResult result = OpenModelFile(Write(c.magic, 84).c_str());
    ASSERT_EQ(result.status, ModelOpenStatus::kOpened) << c.magic;
    EXPECT_STREQ(result.magic, c.magic);
    EXPECT_EQ(result.reader->FormatCode(), c.formatCode);
    // The reader holds the bytes read once and keeps no file open.
    EXPECT_EQ(result.reader->Descriptor(), -1);
    EXPECT_FALSE(result.reason.IsFailure());
    const bool isMdl7 = dynamic_cast<modelfiles::MDL7R*>(result.reader.get()) != nullptr;
    const bool isLegacy = dynamic_cast<modelfiles::LegacyModelReader*>(result.reader.get()) != nullptr;
    EXPECT_EQ(isMdl7, c.formatCode == 8) << c.magic;
    EXPECT_EQ(isLegacy, c.formatCode != 8) << c.magic;
  }
}

TEST_F(ModelFileOpenerTest, SaysWhichMagicItDoesNotSupport) {
  modelfiles::ModelOpenResult result = OpenModelFile(Write("HMP5", 84).c_str());
  EXPECT_EQ(result.status, ModelOpenStatus::kUnsupportedMagic);
  EXPECT_STREQ(result.magic, "HMP5");
  EXPECT_EQ(result.reader, nullptr);
}

TEST_F(ModelFileOpenerTest, UnreadableAndRefusedFilesOpenNothing) {
  modelfiles::ModelOpenResult missing = OpenModelFile(temp_.File("absent.mdl").c_str());
  EXPECT_EQ(missing.status, ModelOpenStatus::kCannotRead);
  EXPECT_STREQ(missing.magic, "");
  EXPECT_EQ(OpenModelFile(nullptr).status, ModelOpenStatus::kCannotRead);
  ASSERT_TRUE(testsupport::WriteFileBytes(temp_.File("tiny"), {'M', 'D', 'L'}));
  EXPECT_EQ(OpenModelFile(temp_.File("tiny").c_str()).status, ModelOpenStatus::kCannotRead);

  // Long enough to load, too short for an 84-byte header.
  modelfiles::ModelOpenResult refused = OpenModelFile(Write("MDL3", 60).c_str());
  EXPECT_EQ(refused.status, ModelOpenStatus::kRejected);
  EXPECT_STREQ(refused.magic, "MDL3");
  EXPECT_EQ(refused.reader, nullptr);
}

}  // namespace
