// The reasons the readers give for refusing a file or a record, one damaged
// file per kind of failure.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "modelfiles/mdl2r.h"
#include "modelfiles/mdl7r.h"
#include "modelfiles/model_file_opener.h"
#include "platform/failure_reason.h"
#include "platform/file_fault_injector.h"
#include "support/byte_builder.h"
#include "support/temp_dir_fixture.h"

namespace {

using modelfiles::MDL2R;
using modelfiles::MDL7R;
using modelfiles::ModelOpenStatus;
using platform::FailureReason;
using testsupport::ByteBuilder;
using Kind = platform::FailureReason::Kind;

// An 84-byte IDPO header with the given counts and no skin size.
ByteBuilder IdpoHeader(int32_t vertices, int32_t triangles) {
  ByteBuilder b;
  b.Text("IDPO", 4).Fill(0, 44);
  b.I32(0).I32(0).I32(0).I32(vertices).I32(triangles).I32(0).I32(0).I32(0).I32(0);
  return b;
}

// A 48-byte MDL7 header of one group, with the record sizes this library
// writes.
ByteBuilder Mdl7Header(int32_t dataSize, int32_t lumpSize) {
  ByteBuilder b;
  b.Text("MDL7", 4).I32(0).I32(0).I32(1).I32(dataSize).I32(lumpSize).I32(0);
  b.U16(36).U16(28).U16(16).U16(68).U16(8).U16(16).U16(26).U16(26).U16(68).U16(24);
  return b;
}

class ReaderFailureTest : public testsupport::TempDirFixture {
 protected:
  std::string Write(const ByteBuilder& b, const std::string& name = "model.mdl") {
    const std::string path = temp_.File(name);
    EXPECT_TRUE(testsupport::WriteFileBytes(path, b.Data()));
    return path;
  }
};

TEST_F(ReaderFailureTest, MissingFileCannotBeOpenedWithTheSystemsText) {
  const std::string expected = std::string("cannot open: ") + std::strerror(ENOENT);
  MDL7R reader;
  EXPECT_LT(reader.Open(temp_.File("absent.mdl").c_str()), 0);
  EXPECT_EQ(reader.LastFailure().GetKind(), Kind::kCannotOpen);
  EXPECT_EQ(reader.LastFailure().Text(), expected);
  const modelfiles::ModelOpenResult opened = modelfiles::OpenModelFile(temp_.File("absent.mdl").c_str());
  EXPECT_EQ(opened.status, ModelOpenStatus::kCannotRead);
  EXPECT_EQ(opened.reason.Text(), expected);

  // A successful open forgets the failure.
  ASSERT_GE(reader.Open(Write(Mdl7Header(48, 0)).c_str()), 0);
  EXPECT_EQ(reader.LastFailure().GetKind(), Kind::kNone);
}

TEST_F(ReaderFailureTest, TruncatedAtTheStartOfTheRecordThatDoesNotFit) {
  // Three texture coordinates of 12 bytes from 84 to 120, then triangles of
  // 16 bytes at 120 and 136; the file ends at 140, inside the second.
  ByteBuilder cut = IdpoHeader(3, 2);
  cut.Fill(0, 36 + 16 + 4);
  MDL2R legacy;
  ASSERT_TRUE(legacy.OpenBytes(cut.Data().data(), cut.Size()));
  EXPECT_FALSE(legacy.WalkGroup());
  EXPECT_EQ(legacy.LastFailure().Text(), "truncated at offset 136 (triangle)");

  // An MDL7 header may declare more than the file holds: the file opens and
  // the first record past its end is the one reported.
  ByteBuilder shortMdl7 = Mdl7Header(1000, 0);
  shortMdl7.Fill(0, 12);
  MDL7R mdl7;
  ASSERT_TRUE(mdl7.OpenBytes(shortMdl7.Data().data(), shortMdl7.Size()));
  uint8_t type = 0;
  int32_t size = 0;
  char name[MDL7R::kNameSize];
  EXPECT_FALSE(mdl7.ReadGroup(type, size, name));
  EXPECT_EQ(mdl7.LastFailure().GetKind(), Kind::kTruncated);
  EXPECT_EQ(mdl7.LastFailure().Offset(), 48u);
  EXPECT_STREQ(mdl7.LastFailure().Detail(), "group");

  // Shorter than any header.
  EXPECT_LT(mdl7.Open(Write(ByteBuilder().Text("MDL7", 4).Fill(0, 43)).c_str()), 0);
  EXPECT_EQ(mdl7.LastFailure().Text(), "truncated at offset 0 (header)");
}

TEST_F(ReaderFailureTest, MalformedFieldsAreNamedWithTheirOffset) {
  MDL2R legacy;
  const ByteBuilder negative = IdpoHeader(0, -1);
  ASSERT_TRUE(legacy.OpenBytes(negative.Data().data(), negative.Size()));
  EXPECT_FALSE(legacy.WalkGroup());
  EXPECT_EQ(legacy.LastFailure().Text(), "malformed triangle count at offset 64");

  MDL7R mdl7;
  EXPECT_LT(mdl7.Open(Write(Mdl7Header(48, -4)).c_str()), 0);
  EXPECT_EQ(mdl7.LastFailure().Text(), "malformed lump size at offset 20");
}

TEST_F(ReaderFailureTest, ForeignMagicIsUnsupportedAndShownPrintable) {
  ByteBuilder foreign;
  foreign.Text("HMP", 3).U8(0x01).Fill(0, 80);
  const modelfiles::ModelOpenResult opened =
      modelfiles::OpenModelBytes(foreign.Data().data(), foreign.Size());
  EXPECT_EQ(opened.status, ModelOpenStatus::kUnsupportedMagic);
  EXPECT_EQ(opened.reason.Text(), "unsupported format \"HMP\\x01\"");

  MDL7R mdl7;
  const ByteBuilder idpo = IdpoHeader(0, 0);
  EXPECT_FALSE(mdl7.OpenBytes(idpo.Data().data(), idpo.Size()));
  EXPECT_EQ(mdl7.LastFailure().Text(), "unsupported format \"IDPO\"");
}

TEST_F(ReaderFailureTest, FileBeyondOneBufferIsTooLarge) {
  // Sparse: refused by its size before anything is read or allocated.
  const std::string path = Write(Mdl7Header(48, 0));
  std::filesystem::resize_file(path, 0x80000000u);
  MDL7R reader;
  EXPECT_EQ(reader.Open(path.c_str()), -1);
  EXPECT_EQ(reader.LastFailure().Text(), "too large: 2147483648 bytes");
  const modelfiles::ModelOpenResult opened = modelfiles::OpenModelFile(path.c_str());
  EXPECT_EQ(opened.status, ModelOpenStatus::kCannotRead);
  EXPECT_EQ(opened.reason.GetKind(), Kind::kTooLarge);
}

// Every open after the first one fails: the opener and its reader must make
// do with the bytes of that first one.
TEST_F(ReaderFailureTest, OpenModelFileReadsTheFileOnce) {
  ByteBuilder model = IdpoHeader(3, 0);
  model.Fill(0, 36);
  const std::string path = Write(model);
  platform::FileFaultInjector::FailCall(platform::FileFaultInjector::Operation::kOpen, 2, true);
  const modelfiles::ModelOpenResult opened = modelfiles::OpenModelFile(path.c_str());
  ASSERT_EQ(opened.status, ModelOpenStatus::kOpened) << opened.reason.Text();
  EXPECT_TRUE(opened.reader->WalkGroup());
  EXPECT_EQ(opened.reader->Offset(), 120u);
}

}  // namespace
