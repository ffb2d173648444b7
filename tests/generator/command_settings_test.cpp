#include "generator/command_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "noisemap/error.h"
#include "support/temp_dir_fixture.h"

namespace {

using duneforge::CommandSettings;
using duneforge::ReadCommandSettings;

CommandSettings Read(const std::string& text) {
  std::istringstream in(text);
  CommandSettings settings;
  ReadCommandSettings(in, settings);
  return settings;
}

void ExpectSameSettings(const CommandSettings& a, const CommandSettings& b) {
  EXPECT_EQ(a.hostWindow, b.hostWindow);
  EXPECT_EQ(a.moduleCount, b.moduleCount);
  EXPECT_EQ(a.tilesX, b.tilesX);
  EXPECT_EQ(a.tilesZ, b.tilesZ);
  EXPECT_EQ(a.tileWidth, b.tileWidth);
  EXPECT_EQ(a.tileHeight, b.tileHeight);
  EXPECT_EQ(a.lowerX, b.lowerX);
  EXPECT_EQ(a.upperX, b.upperX);
  EXPECT_EQ(a.lowerZ, b.lowerZ);
  EXPECT_EQ(a.upperZ, b.upperZ);
  EXPECT_EQ(a.seedBase, b.seedBase);
  EXPECT_EQ(a.preview, b.preview);
  for (int i = 0; i < a.moduleCount; ++i) {
    EXPECT_EQ(a.rows[i].type, b.rows[i].type) << "row " << i;
    EXPECT_EQ(a.rows[i].p1, b.rows[i].p1) << "row " << i;
    EXPECT_EQ(a.rows[i].p2, b.rows[i].p2) << "row " << i;
    EXPECT_EQ(a.rows[i].p3, b.rows[i].p3) << "row " << i;
    EXPECT_EQ(a.rows[i].p4, b.rows[i].p4) << "row " << i;
  }
  EXPECT_EQ(a.firstUnreadField, b.firstUnreadField);
}

TEST(ReadCommandSettings, ReadsHeaderAndRowsInFileOrder) {
  const CommandSettings s = Read("1234 1 2 2 128 128 0 4 0 4 5 0\n0 6 1 0.5 0.3\n");
  EXPECT_EQ(s.hostWindow, 1234);
  EXPECT_EQ(s.moduleCount, 1);
  EXPECT_EQ(s.tilesX, 2);
  EXPECT_EQ(s.tilesZ, 2);
  EXPECT_EQ(s.tileWidth, 128);
  EXPECT_EQ(s.tileHeight, 128);
  EXPECT_EQ(s.lowerX, 0.0f);
  EXPECT_EQ(s.upperX, 4.0f);
  EXPECT_EQ(s.lowerZ, 0.0f);
  EXPECT_EQ(s.upperZ, 4.0f);
  EXPECT_EQ(s.seedBase, 5);
  EXPECT_EQ(s.preview, 0);
  EXPECT_EQ(s.rows[0].type, 0);
  EXPECT_EQ(s.rows[0].p1, 6);
  EXPECT_EQ(s.rows[0].p2, 1.0f);
  EXPECT_EQ(s.rows[0].p3, 0.5f);
  // Held at single precision: 0.30000001192...
  EXPECT_EQ(static_cast<double>(s.rows[0].p4), static_cast<double>(0.3f));
  EXPECT_NE(static_cast<double>(s.rows[0].p4), 0.3);
  EXPECT_TRUE(s.firstUnreadField.empty());
}

TEST(ReadCommandSettings, LayoutDoesNotMatter) {
  const std::string numbers[] = {"7", "2", "3", "1", "16",  "8",   "-1.5", "2",  "0", "1e1",  "-3",
                                 "1", "0", "6", "1", "0.5", "0.3", "3",    "25", "2", "0.75", "-4"};
  std::string onePerLine, oneLine, rowPerLine;
  for (size_t i = 0; i < sizeof numbers / sizeof numbers[0]; ++i) {
    onePerLine += numbers[i] + "\n";
    oneLine += numbers[i] + (i % 2 ? "\t" : " ");
    rowPerLine += numbers[i] + ((i == 11 || i == 16 || i == 21) ? "\r\n" : " ");
  }
  const CommandSettings a = Read(onePerLine);
  ExpectSameSettings(a, Read(oneLine));
  ExpectSameSettings(a, Read(rowPerLine));
  EXPECT_EQ(a.seedBase, -3);
  EXPECT_EQ(a.upperX, 2.0f);  // a float written as 2
  EXPECT_EQ(a.upperZ, 10.0f);
  EXPECT_EQ(a.rows[1].p4, -4.0f);
  EXPECT_TRUE(a.firstUnreadField.empty());
}

TEST(ReadCommandSettings, IntegerFieldStopsAtTheFraction) {
  // 7.9 in tilesZ: 7 is read, ".9" fails the tileWidth read, and nothing
  // after it is read.
  const CommandSettings s = Read("5 1 2 7.9 64 64 0 1 0 1 9 1 0 6 1 0.5 0.3");
  EXPECT_EQ(s.tilesX, 2);
  EXPECT_EQ(s.tilesZ, 7);
  EXPECT_EQ(s.tileWidth, 256);
  EXPECT_EQ(s.tileHeight, 256);
  EXPECT_EQ(s.seedBase, 0);
  EXPECT_EQ(s.preview, 0);
  EXPECT_EQ(s.rows[0].p1, 0);
  EXPECT_EQ(s.firstUnreadField, "tileWidth");
  EXPECT_FALSE(s.unreadAtEnd);

  // Before a float field the fraction is the float's value.
  const CommandSettings f = Read("5 1 2 2 64 64.5 1 0 1 9 1 0 6 1 0.5 0.3");
  EXPECT_EQ(f.tileHeight, 64);
  EXPECT_EQ(f.lowerX, 0.5f);
  EXPECT_EQ(f.upperX, 1.0f);
}

TEST(ReadCommandSettings, FailedReadKeepsFieldAndStopsReading) {
  // An integer too large for 32 bits fails like a malformed token.
  const CommandSettings big = Read("1 1 99999999999 1 8 8 0 1 0 1 0 0 0 6 1 0.5 0.3");
  EXPECT_EQ(big.tilesX, 1);
  EXPECT_EQ(big.tileWidth, 256);
  EXPECT_EQ(big.firstUnreadField, "tilesX");

  const CommandSettings word = Read("1 1 1 1 8 8 0 1 zero 1 0 0");
  EXPECT_EQ(word.upperX, 1.0f);
  EXPECT_EQ(word.lowerZ, 0.0f);
  EXPECT_EQ(word.firstUnreadField, "lowerZ");

  const CommandSettings shortRows = Read("1 2 1 1 8 8 0 1 0 1 0 0  0 6 1 0.5 0.3  7 3");
  EXPECT_EQ(shortRows.rows[1].type, 7);
  EXPECT_EQ(shortRows.rows[1].p1, 3);
  EXPECT_EQ(shortRows.firstUnreadField, "row 1 p2");
  EXPECT_TRUE(shortRows.unreadAtEnd);
}

TEST(ReadCommandSettings, IgnoresNumbersAfterTheLastRowAndRowsBeyondTheStore) {
  const CommandSettings extra = Read("1 1 1 1 8 8 0 1 0 1 0 0 0 6 1 0.5 0.3 garbage 4 5 6");
  EXPECT_TRUE(extra.firstUnreadField.empty());
  EXPECT_EQ(extra.rows[1].type, 0);

  // A count beyond the store reads no row at all.
  const CommandSettings tooMany = Read("1 101 1 1 8 8 0 1 0 1 0 0 7 6 1 0.5 0.3");
  EXPECT_EQ(tooMany.moduleCount, 101);
  EXPECT_EQ(tooMany.rows[0].type, 0);
  EXPECT_EQ(tooMany.rows[0].p1, 0);
}

class LoadCommandFileTest : public testsupport::TempDirFixture {
 protected:
  std::string Write(const std::string& text) {
    const std::string path = temp_.File("cmd_noise.txt");
    std::ofstream(path) << text;
    return path;
  }
};

TEST_F(LoadCommandFileTest, MissingFileOrFolderReturnsFalseAndChangesNothing) {
  CommandSettings settings;
  settings.tilesX = 42;
  EXPECT_FALSE(duneforge::LoadCommandFile(temp_.File("cmd_noise.txt"), settings));
  EXPECT_EQ(settings.tilesX, 42);
  ASSERT_TRUE(std::filesystem::create_directory(temp_.File("folder")));
  EXPECT_FALSE(duneforge::LoadCommandFile(temp_.File("folder"), settings));
  EXPECT_EQ(settings.tilesX, 42);
}

// Returns the message of the noise::ExceptionInvalidParam that loading
// `text` throws, or fails the test.
std::string LoadError(const std::string& path) {
  CommandSettings settings;
  try {
    duneforge::LoadCommandFile(path, settings);
  } catch (const noise::utils::InvalidParamError& e) {
    return e.Message();
  }
  ADD_FAILURE() << "no noise::ExceptionInvalidParam";
  return std::string();
}

TEST_F(LoadCommandFileTest, RefusesIncompleteFilesAndModuleCountsOutsideTheStore) {
  // The 7.9 token leaves the bounds unread.
  std::string message = LoadError(Write("5 1 2 7.9 64 64 0 1 0 1 9 1 0 6 1 0.5 0.3"));
  EXPECT_NE(message.find("cmd_noise.txt"), std::string::npos) << message;
  EXPECT_NE(message.find("tileWidth"), std::string::npos) << message;

  message = LoadError(Write(""));
  EXPECT_NE(message.find("ends before hostWindow"), std::string::npos) << message;
  message = LoadError(Write("1 3 1 1 8 8 0 1 0 1 0 0  0 6 1 0.5 0.3  0 6 1 0.5"));
  EXPECT_NE(message.find("row 1 p4"), std::string::npos) << message;
  message = LoadError(Write("1 0 1 1 8 8 0 1 0 1 0 0"));
  EXPECT_NE(message.find("moduleCount 0"), std::string::npos) << message;
  message = LoadError(Write("1 101 1 1 8 8 0 1 0 1 0 0"));
  EXPECT_NE(message.find("moduleCount 101"), std::string::npos) << message;
  message = LoadError(Write("1 -1"));
  EXPECT_NE(message.find("moduleCount -1"), std::string::npos) << message;
}

// A number too large for its field is called that, wherever it stands, also
// as the file's last number.
TEST_F(LoadCommandFileTest, NamesNumbersOutOfTheFieldsRange) {
  const struct {
    const char* text;
    const char* field;
  } cases[] = {{"999999999999 1 1 1 8 8 0 1 0 1 0 0 0 6 1 0.5 0.3", "hostWindow is out of range"},
               {"1 1 1 1 8 8 0 1e308 0 1 0 0 0 6 1 0.5 0.3", "upperX is out of range"},
               {"1 1 1 1 8 8 0 1 -1e39 1 0 0 0 6 1 0.5 0.3", "lowerZ is out of range"},
               {"1 1 1 -2147483649 8 8 0 1 0 1 0 0 0 6 1 0.5 0.3", "tilesZ is out of range"},
               {"1 1 1 1 8 8 0 1 0 1 0 0 0 6 1 0.5 3.5e38", "row 0 p4 is out of range"}};
  for (const auto& c : cases) {
    const std::string message = LoadError(Write(c.text));
    EXPECT_NE(message.find(c.field), std::string::npos) << c.text << ": " << message;
  }
}

TEST_F(LoadCommandFileTest, AcceptsAHundredRows) {
  std::string text = "1 100 1 1 8 8 0 1 0 1 0 0\n";
  for (int i = 0; i < 100; ++i) text += std::to_string(i % 16) + " 1 2 3 4\n";
  const std::string path = Write(text);
  CommandSettings settings;
  ASSERT_TRUE(duneforge::LoadCommandFile(path, settings));
  EXPECT_EQ(settings.rows[99].type, 99 % 16);
  EXPECT_EQ(settings.rows[99].p4, 4.0f);
}

}  // namespace
