// ExportJobs: numbering, and how many finished exports are kept.
#include "studio/export_jobs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "studio/studio_error.h"
#include "support/temp_dir_fixture.h"

namespace {

using nlohmann::json;

class ExportJobsTest : public testsupport::TempDirFixture {};

// Exports are numbered from 1; once 32 finished ones are kept, the next
// export that starts makes the oldest finished one go.
TEST_F(ExportJobsTest, KeepsTheLatest32Finished) {
  const studio::StudioFolder folder(temp_.Path());
  studio::ExportJobs jobs(folder, 1);
  const json request = {
      {"settings",
       {{"tileWidth", 2}, {"tileHeight", 2}, {"upperX", 1}, {"upperZ", 1}, {"rows", {{7, 1, 0, 0, 0}}}}},
      {"kind", "noise"}};
  for (uint64_t n = 1; n <= 33; ++n) {
    ASSERT_EQ(jobs.Start(request), n);
    json state;
    for (int i = 0; i < 5000 && (state = jobs.State(n)).at("state") == "running"; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_EQ(state.at("state"), "done") << state;
    EXPECT_EQ(state.at("total"), 1);
  }
  try {
    jobs.State(1);
    ADD_FAILURE() << "export 1 is still kept";
  } catch (const studio::StudioError& e) {
    EXPECT_EQ(e.Status(), 404);
  }
  EXPECT_EQ(jobs.State(2).at("state"), "done");
  EXPECT_EQ(jobs.State(33).at("written"), json::parse(R"(["noise_arr.txt"])"));
}

}  // namespace
