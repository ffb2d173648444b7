// The programs replace their outputs whole or not at all: a write that fails
// (here: the output grows past the file size limit of the process) leaves
// the file that was there as it was, and the example host keeps an earlier
// run's files until a new run has made all of its own.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/byte_builder.h"
#include "support/run_program.h"
#include "support/temp_dir_fixture.h"

namespace {

class ReplaceOutputsTest : public testsupport::TempDirFixture {
 protected:
  void SetUp() override { ASSERT_TRUE(std::filesystem::create_directory(out_)); }
  std::set<std::string> Names(const std::string& folder) const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }
  // Runs `program` with files limited to 512 bytes and SIGXFSZ ignored, so
  // that a write past the limit fails with EFBIG as on a full device.
  testsupport::ProgramResult RunLimited(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> shell = {"-c", "trap '' XFSZ; ulimit -f 1; exec \"$0\" \"$@\"", program};
    shell.insert(shell.end(), args.begin(), args.end());
    return testsupport::RunProgram("/bin/sh", shell, temp_.Path());
  }
  std::string out_ = temp_.File("out");
};

// A terrain of 64 x 64 samples from a pseudo-random sequence, so that no
// output compresses below the limit: as RAW samples and as a height array.
void WriteInputs(const std::string& raw, const std::string& array) {
  std::vector<uint8_t> samples;
  std::string text;
  uint32_t state = 12345;
  for (int i = 0; i < 64 * 64; ++i) {
    state = state * 1103515245u + 12345u;
    const uint16_t sample = static_cast<uint16_t>(state >> 16);
    samples.push_back(static_cast<uint8_t>(sample & 0xFF));
    samples.push_back(static_cast<uint8_t>(sample >> 8));
    text += std::to_string(sample / 65535.0) + ",";
  }
  ASSERT_TRUE(testsupport::WriteFileBytes(raw, samples));
  ASSERT_TRUE(testsupport::WriteFileBytes(array, std::vector<uint8_t>(text.begin(), text.end())));
}

TEST_F(ReplaceOutputsTest, EarlierOutputSurvivesAWriteThatFails) {
  const std::string raw = temp_.File("in.r16"), array = temp_.File("in.txt");
  WriteInputs(raw, array);
  const std::vector<uint8_t> earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r', '\n'};
  const struct {
    const char* program;
    std::string input;
    const char* output;
    std::set<std::string> files;  // the output and the files beside it, once written
  } runs[] = {{TERRAINCONVERT_PROGRAM, raw, "out.hmp", {"out.hmp"}},
              {TERRAINCONVERT_PROGRAM, raw, "out.png", {"out.png"}},
              {TERRAINCONVERT_PROGRAM, raw, "out.r16", {"out.r16"}},
              {TERRAINCONVERT_PROGRAM, raw, "out.obj", {"out.obj", "out.mtl"}},
              {TERRAINVIEW_PROGRAM, array, "view.bmp", {"view.bmp"}},
              {TERRAINVIEW_PROGRAM, array, "view.png", {"view.png"}}};
  for (const auto& run : runs) {
    SCOPED_TRACE(run.output);
    const std::string output = out_ + "/" + run.output;
    ASSERT_TRUE(testsupport::WriteFileBytes(output, earlier));
    const std::vector<std::string> args = {run.input, output, "--size", "64x64"};
    const testsupport::ProgramResult failed = RunLimited(run.program, args);
    EXPECT_EQ(failed.status, 1) << failed.err;
    EXPECT_EQ(std::count(failed.err.begin(), failed.err.end(), '\n'), 1) << failed.err;
    EXPECT_EQ(testsupport::ReadFileBytes(output), earlier);
    // Nothing new stays behind: no file beside the output, no temporary.
    EXPECT_EQ(Names(out_), std::set<std::string>{run.output});

    const testsupport::ProgramResult done = testsupport::RunProgram(run.program, args, temp_.Path());
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_GT(testsupport::ReadFileBytes(output).size(), 512u);
    EXPECT_EQ(Names(out_), run.files);
    for (const std::string& file : run.files) std::filesystem::remove(out_ + "/" + file);
  }
}

// 2 x 2 tiles of 16 x 8 samples of one Perlin module, with a preview.
std::string Commands(int preview) {
  return "0 1\n2 2 16 8\n0.0 4.0 0.0 4.0\n3 " + std::to_string(preview) + "\n0 6 1.0 0.5 0.0\n";
}

TEST_F(ReplaceOutputsTest, ExampleHostKeepsTheEarlierRunUntilTheNewOneIsComplete) {
  const std::string commands = temp_.File("terrain.txt"), failing = temp_.File("failing.sh");
  const std::string text = Commands(1), script = "#!/bin/sh\nexit 3\n";
  ASSERT_TRUE(testsupport::WriteFileBytes(commands, std::vector<uint8_t>(text.begin(), text.end())));
  ASSERT_TRUE(testsupport::WriteFileBytes(failing, std::vector<uint8_t>(script.begin(), script.end())));
  ASSERT_EQ(::chmod(failing.c_str(), 0700), 0);
  auto host = [&](const std::string& duneforge, const std::string& loamwriter) {
    return testsupport::RunProgram(EXAMPLE_HOST_PROGRAM, {commands, out_, duneforge, loamwriter},
                                   temp_.Path());
  };
  const testsupport::ProgramResult first = host(DUNEFORGE_PROGRAM, LOAMWRITER_LIBRARY);
  ASSERT_EQ(first.status, 0) << first.err;
  const std::set<std::string> files = {"cmd_noise.txt", "noise_arr.txt", "terrain.hmp", "tutorial.bmp"};
  ASSERT_EQ(Names(out_), files);
  std::vector<std::vector<uint8_t>> before;
  for (const std::string& name : files) before.push_back(testsupport::ReadFileBytes(out_ + "/" + name));

  // duneforge fails; then duneforge succeeds but the plug-in is missing.
  EXPECT_EQ(host(failing, LOAMWRITER_LIBRARY).status, 3);
  EXPECT_EQ(host(DUNEFORGE_PROGRAM, temp_.File("missing.so")).status, 1);
  EXPECT_EQ(Names(out_), files);
  size_t i = 0;
  for (const std::string& name : files)
    EXPECT_EQ(testsupport::ReadFileBytes(out_ + "/" + name), before[i++]) << name;
}

}  // namespace
