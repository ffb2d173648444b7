// ChildProcess: a program run in its folder, how it ended, a stop, and
// starts that fail. The children are this folder's child_process_child.
#include "platform/child_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "support/temp_dir.h"

namespace {

using platform::ChildProcess;
using Clock = std::chrono::steady_clock;

// Under Wine each process start can take most of a minute.
constexpr auto kPatience = std::chrono::minutes(5);

bool Exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(path, ignored);
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Polls until `child` ends; false when it still runs after kPatience.
bool AwaitEnd(ChildProcess& child, int& status) {
  const auto deadline = Clock::now() + kPatience;
  while (!child.HasEnded(status)) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// The three children start at once, since each start is slow under Wine.
TEST(ChildProcess, RunsInItsFolderReportsItsStatusAndStops) {
  testsupport::TempDir temp;
  const std::string folder = temp.File("work");
  ASSERT_TRUE(std::filesystem::create_directory(folder));
  ChildProcess succeeding, failing, endless;
  std::string error;
  // Arguments that a command line must quote and escape come back whole.
  ASSERT_TRUE(succeeding.Start(
      CHILD_PROGRAM, {"make", "made here", "0", "", "say \"hi\"", "back\\slash\\", "a\\\\\"b", "tab\tc"},
      folder, error))
      << error;
  ASSERT_TRUE(failing.Start(CHILD_PROGRAM, {"make", "failed", "3"}, temp.Path(), error)) << error;
  ASSERT_TRUE(endless.Start(CHILD_PROGRAM, {"hang", "running"}, folder, error)) << error;
  EXPECT_TRUE(endless.IsRunning());

  int status = -1;
  ASSERT_TRUE(AwaitEnd(succeeding, status));
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(succeeding.IsRunning());
  EXPECT_EQ(ReadText(folder + "/made here"), "[]\n[say \"hi\"]\n[back\\slash\\]\n[a\\\\\"b]\n[tab\tc]\n");
  EXPECT_FALSE(Exists(temp.File("made here")));

  ASSERT_TRUE(AwaitEnd(failing, status));
  EXPECT_EQ(status, 3);
  EXPECT_TRUE(Exists(temp.File("failed")));
  status = -1;
  EXPECT_TRUE(failing.HasEnded(status));  // told again, the same
  EXPECT_EQ(status, 3);

  // Stopped once it runs, although it ignores SIGTERM.
  const auto deadline = Clock::now() + kPatience;
  while (!Exists(folder + "/running") && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(Exists(folder + "/running"));
  EXPECT_FALSE(endless.HasEnded(status));
  const auto stopping = Clock::now();
  endless.Stop();
  EXPECT_LT(Clock::now() - stopping, std::chrono::seconds(30));
  EXPECT_FALSE(endless.IsRunning());
  ASSERT_TRUE(endless.HasEnded(status));
  EXPECT_EQ(status, 1);
}

TEST(ChildProcess, MissingProgramOrFolderIsAFailedStart) {
  testsupport::TempDir temp;
  ChildProcess child;
  std::string error;
  EXPECT_FALSE(child.Start(temp.File("no such program"), {}, temp.Path(), error));
  EXPECT_NE(error.find("no such program"), std::string::npos) << error;
  EXPECT_FALSE(child.IsRunning());
  int status = -1;
  EXPECT_FALSE(child.HasEnded(status));

  error.clear();
  EXPECT_FALSE(child.Start(CHILD_PROGRAM, {"make", "made", "0"}, temp.File("absent"), error));
  EXPECT_NE(error.find("absent"), std::string::npos) << error;
  EXPECT_FALSE(child.IsRunning());
  EXPECT_FALSE(child.HasEnded(status));
  child.Stop();  // nothing to stop
}

}  // namespace
