// StudioFolder: plain names, links inside the folder, and the list.
#include "studio/studio_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "studio/studio_error.h"
#include "support/temp_dir_fixture.h"

namespace {

namespace fs = std::filesystem;
using studio::StudioFolder;

TEST(StudioFolderNameTest, PlainNamesAreOneComponentEndingInTxt) {
  for (const std::string& name : std::vector<std::string>{"a.txt", "a b.txt", "\xc3\xa9.txt", "..txt",
                                                          std::string(251, 'n') + ".txt"}) {
    EXPECT_TRUE(StudioFolder::IsPlainName(name)) << name;
  }
  for (const std::string& name :
       std::vector<std::string>{".txt", "a.TXT", "a.txt.bak", "a/b.txt", "a\\b.txt", "a\x1f.txt", "a\x7f.txt",
                                "\t.txt", std::string(252, 'n') + ".txt", std::string("a\0.txt", 6)}) {
    EXPECT_FALSE(StudioFolder::IsPlainName(name)) << name;
  }
  EXPECT_TRUE(StudioFolder::IsPlainComponent("a.hmp"));
  // A final dot or space would be dropped on Windows.
  for (const std::string name : {"", ".", "..", "a/", "\n", "...", " "})
    EXPECT_FALSE(StudioFolder::IsPlainComponent(name));
}

class StudioFolderTest : public testsupport::TempDirFixture {
 protected:
  void Put(const std::string& name, const std::string& text) { std::ofstream(temp_.File(name)) << text; }
  static int StatusOf(const std::function<void()>& call) {
    try {
      call();
    } catch (const studio::StudioError& e) {
      return e.Status();
    }
    return 0;
  }
};

// A link to a file of the folder itself is followed, also along a chain;
// one into a subfolder, a chain of more than 40 links, or a folder is not.
TEST_F(StudioFolderTest, FollowsOnlyLinksThatStayInTheFolder) {
  Put("real.txt", "real");
  fs::create_symlink("real.txt", temp_.File("alias.txt"));
  fs::create_symlink("alias.txt", temp_.File("again.txt"));
  fs::create_directory(temp_.File("sub"));
  Put("sub/deep.txt", "deep");
  fs::create_symlink("sub/deep.txt", temp_.File("deep.txt"));
  fs::create_directory(temp_.File("dir.txt"));
  std::string previous = "real.txt";
  for (int i = 1; i <= 41; ++i) {
    const std::string name = "chain" + std::to_string(i) + ".txt";
    fs::create_symlink(previous, temp_.File(name));
    previous = name;
  }
  const StudioFolder folder(temp_.Path());
  EXPECT_EQ(folder.Read("again.txt"), "real");
  EXPECT_EQ(folder.Read("chain40.txt"), "real");
  EXPECT_EQ(StatusOf([&] { folder.Read("chain41.txt"); }), 403);
  folder.Write("alias.txt", "written");
  EXPECT_EQ(folder.Read("real.txt"), "written");
  EXPECT_TRUE(fs::is_symlink(temp_.File("alias.txt")));
  EXPECT_EQ(StatusOf([&] { folder.Read("deep.txt"); }), 403);
  EXPECT_EQ(StatusOf([&] { folder.Write("deep.txt", "x"); }), 403);
  EXPECT_EQ(StatusOf([&] { folder.Read("dir.txt"); }), 400);
  EXPECT_EQ(StatusOf([&] { folder.Read("missing.txt"); }), 404);
  EXPECT_EQ(StatusOf([&] { folder.OutputPath("sub"); }), 400);
  EXPECT_EQ(folder.OutputPath("new.hmp"), (fs::canonical(temp_.Path()) / "new.hmp").string());
  std::vector<std::string> expected = {"again.txt", "alias.txt"};
  for (int i = 1; i <= 40; ++i) expected.push_back("chain" + std::to_string(i) + ".txt");
  std::sort(expected.begin(), expected.end());
  expected.push_back("real.txt");
  EXPECT_EQ(folder.List(), expected);
}

TEST_F(StudioFolderTest, ListsInByteOrder) {
  for (const char* name : {"b.txt", "B.txt", "a.txt", "_.txt", "a.hmp", "A.txt"}) Put(name, "x");
  EXPECT_EQ(StudioFolder(temp_.Path()).List(),
            (std::vector<std::string>{"A.txt", "B.txt", "_.txt", "a.txt", "b.txt"}));
}

}  // namespace
