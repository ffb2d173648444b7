#include "platform/record_file_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/byte_builder.h"
#include "support/temp_dir_fixture.h"

namespace {

using platform::RecordFileWriter;

class RecordFileWriterTest : public testsupport::TempDirFixture {};

std::vector<uint8_t> Pattern(size_t size, uint8_t first) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(first + i);
  return bytes;
}

// Blocks of 8 bytes: appends that fill a block, one larger than a block,
// a zero fill, a rewrite of bytes already in the file and one of bytes still
// in the buffer, and the header at close. The file, the file kept in memory
// and a plain model of the same edits hold the same bytes.
TEST_F(RecordFileWriterTest, FileAndMemoryHoldTheSameBytesAsAPlainModel) {
  const std::vector<uint8_t> a = Pattern(5, 10), b = Pattern(3, 40), c = Pattern(20, 60), d = Pattern(3, 100);
  const uint8_t early[4] = {0xE1, 0xE2, 0xE3, 0xE4}, late[2] = {0xB1, 0xB2}, header[4] = {'H', 'E', 'A', 'D'};

  std::vector<uint8_t> model;
  for (const auto* part : {&a, &b, &c}) model.insert(model.end(), part->begin(), part->end());
  model.insert(model.end(), 13, 0);
  std::memcpy(model.data() + 2, early, sizeof early);
  model.insert(model.end(), d.begin(), d.end());
  std::memcpy(model.data() + 42, late, sizeof late);
  std::memcpy(model.data(), header, sizeof header);

  const std::string path = temp_.File("records.bin");
  RecordFileWriter onDisk(8), inMemory(8);
  ASSERT_GE(onDisk.Open(path.c_str()), 0);
  inMemory.OpenInMemory();
  for (RecordFileWriter* writer : {&onDisk, &inMemory}) {
    SCOPED_TRACE(writer == &onDisk ? "file" : "memory");
    EXPECT_TRUE(writer->Append(a.data(), a.size()));
    EXPECT_TRUE(writer->Append(b.data(), b.size()));
    EXPECT_TRUE(writer->Append(c.data(), c.size()));
    EXPECT_TRUE(writer->AppendZeros(13));
    EXPECT_EQ(writer->Position(), 41);
    EXPECT_TRUE(writer->Rewrite(2, early, sizeof early));
    EXPECT_TRUE(writer->Append(d.data(), d.size()));
    EXPECT_TRUE(writer->Rewrite(42, late, sizeof late));
    EXPECT_FALSE(writer->Rewrite(43, late, sizeof late));  // past the end of the data
    EXPECT_TRUE(writer->Close(header, sizeof header));
  }
  EXPECT_EQ(testsupport::ReadFileBytes(path), model);
  EXPECT_EQ(inMemory.MemoryBytes(), model);
}

}  // namespace
