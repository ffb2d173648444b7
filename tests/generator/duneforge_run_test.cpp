// Runs of the built duneforge in a fresh folder, with a window listening.
#include "generator/duneforge_run.h"

#include <gtest/gtest.h>
#include <libnoise/noise.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include "generator/command_settings.h"
#include "generator/module_chain.h"
#include "platform/host_window.h"
#include "support/byte_builder.h"
#include "support/run_program.h"
#include "support/temp_dir_fixture.h"

namespace {

using duneforge::CommandSettings;
using noise::utils::EvaluatorChoice;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// Splits comma-terminated values; checks that the text ends with a comma.
std::vector<std::string> SplitValues(const std::string& text) {
  std::vector<std::string> values;
  EXPECT_TRUE(text.empty() || text.back() == ',');
  size_t start = 0;
  for (size_t comma; (comma = text.find(',', start)) != std::string::npos; start = comma + 1) {
    values.push_back(text.substr(start, comma - start));
  }
  return values;
}

// The area and tiling that a command file's header gives.
struct Tiling {
  int tilesX, tilesZ, width, height;
  float lowerX, upperX, lowerZ, upperZ;
};

Tiling TilingOf(const CommandSettings& s) {
  return {s.tilesX, s.tilesZ, s.tileWidth, s.tileHeight, s.lowerX, s.upperX, s.lowerZ, s.upperZ};
}

// The text duneforge must append for `output` over `tiling`: tiles with the
// x position running fastest, each tile's lower bounds measured from the
// area's lower edges and its upper bounds from the upper edges; within a
// tile the samples start on the lower bounds and advance by repeated
// addition of the step (width samples over the half-open x range), each
// value formatted by a default std::ostream.
std::string ExpectedHeights(const noise::module::Module& output, const Tiling& t) {
  noise::model::Plane plane(output);
  const double areaX = static_cast<double>(t.upperX) - t.lowerX;
  const double areaZ = static_cast<double>(t.upperZ) - t.lowerZ;
  std::ostringstream out;
  for (int cz = 0; cz < t.tilesZ; ++cz) {
    for (int cx = 0; cx < t.tilesX; ++cx) {
      const double lowerX = t.lowerX + static_cast<double>(cx) / t.tilesX * areaX;
      const double upperX = t.upperX - static_cast<double>(t.tilesX - cx - 1) / t.tilesX * areaX;
      const double lowerZ = t.lowerZ + static_cast<double>(cz) / t.tilesZ * areaZ;
      const double upperZ = t.upperZ - static_cast<double>(t.tilesZ - cz - 1) / t.tilesZ * areaZ;
      const double xDelta = (upperX - lowerX) / t.width;
      const double zDelta = (upperZ - lowerZ) / t.height;
      double z = lowerZ;
      for (int row = 0; row < t.height; ++row, z += zDelta) {
        double x = lowerX;
        for (int column = 0; column < t.width; ++column, x += xDelta) {
          out << static_cast<float>(plane.GetValue(x, z)) << ',';
        }
      }
    }
  }
  return out.str();
}

// What the window saw of one message, and the files at that moment.
struct Received {
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
  size_t heightBytes;
  bool previewPresent;
};

// A window that records every message on a thread of its own.
class RecordingWindow {
 public:
  explicit RecordingWindow(std::string folder) : folder_(std::move(folder)) {
    if (!window_.Open()) throw std::runtime_error("cannot open a window");
    thread_ = std::thread([this] {
      while (!stop_) {
        window_.ReceiveOne(
            [this](uint32_t message, uintptr_t wParam, intptr_t lParam) -> intptr_t {
              const Received r{message, wParam, lParam, ReadText(folder_ + "/noise_arr.txt").size(),
                               Exists(folder_ + "/tutorial.bmp")};
              std::lock_guard<std::mutex> lock(mutex_);
              received_.push_back(r);
              return 1;
            },
            20);
      }
    });
  }
  ~RecordingWindow() {
    stop_ = true;
    thread_.join();
  }
  platform::WindowHandle Handle() const { return window_.Handle(); }
  std::vector<Received> Messages() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }

 private:
  std::string folder_;
  platform::HostWindow window_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::vector<Received> received_;
};

struct RunResult {
  int status;
  std::string errors;
  std::string output;
};

class DuneforgeRunTest : public testsupport::TempDirFixture {
 protected:
  void SetUp() override {
    folder_ = temp_.File("run");
    ASSERT_EQ(::mkdir(folder_.c_str(), 0700), 0);
    window_ = std::make_unique<RecordingWindow>(folder_);
  }

  std::string File(const std::string& name) const { return folder_ + "/" + name; }

  void WriteCommands(const std::string& text) { std::ofstream(File("cmd_noise.txt")) << text; }

  // The header for this test's window; rows follow.
  std::string Header(int modules, int tilesX, int tilesZ, int width, int height, const char* bounds,
                     int preview, int seedBase = 0) const {
    std::ostringstream out;
    out << window_->Handle() << ' ' << modules << ' ' << tilesX << ' ' << tilesZ << ' ' << width << ' '
        << height << ' ' << bounds << ' ' << seedBase << ' ' << preview << '\n';
    return out.str();
  }

  // Runs duneforge in the folder, stdout and stderr to files beside it.
  RunResult Run(const std::vector<std::string>& args = {}) {
    const testsupport::ProgramResult result =
        testsupport::RunProgram(DUNEFORGE_PATH, args, temp_.Path(), folder_);
    // Give a late message the chance to arrive before the test looks.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return {result.status, result.err, result.out};
  }

  void ExpectFailure(const RunResult& result, const std::string& mention) {
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.errors.rfind("duneforge: ", 0), 0u) << result.errors;
    EXPECT_NE(result.errors.find(mention), std::string::npos) << result.errors;
    EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1) << result.errors;
    EXPECT_TRUE(window_->Messages().empty());
  }

  std::string folder_;
  std::unique_ptr<RecordingWindow> window_;
};

TEST_F(DuneforgeRunTest, MessageArrivesOnceAfterBothFilesAreComplete) {
  WriteCommands(Header(2, 2, 2, 16, 8, "0 4 0 2", 1, 5) + "0 6 1 0.5 0.3\n3 20 1 0.75 0\n");
  const RunResult result = Run();
  EXPECT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(result.errors, "");
  const std::string heights = ReadText(File("noise_arr.txt"));
  EXPECT_EQ(SplitValues(heights).size(), 2u * 2u * 16u * 8u);

  const std::vector<Received> messages = window_->Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message, platform::kWmCommand);
  EXPECT_EQ(messages[0].wParam, 368475u);
  EXPECT_EQ(messages[0].wParam & 0xFFFFu, 0x9F5Bu);
  EXPECT_EQ(messages[0].wParam >> 16, 5u);
  EXPECT_EQ(messages[0].lParam, 0);
  EXPECT_EQ(messages[0].heightBytes, heights.size());
  EXPECT_TRUE(messages[0].previewPresent);

  // The preview shows the last tile, one pixel per sample.
  const std::vector<uint8_t> bmp = testsupport::ReadFileBytes(File("tutorial.bmp"));
  ASSERT_GE(bmp.size(), 54u);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(testsupport::LoadU32(bmp, 18), 16u);
  EXPECT_EQ(testsupport::LoadU32(bmp, 22), 8u);
}

// The chain of ValuesEqualTheChainSampledAtTheBuilderPositions put together
// by hand from its rows, seed base 3; the float fields widen to double
// before any arithmetic. Row 1's frequency of 1e11 carries a change in the
// last bit of a sample position into the written text, so the positions
// must be those of the plane builder.
struct HandBuiltChain {
  HandBuiltChain() {
    ridged.SetOctaveCount(6);
    ridged.SetFrequency(1.5);
    ridged.SetSeed(9);  // trunc(0.7f * 10 + 3) = trunc(9.9999998...)
    billow.SetOctaveCount(3);
    billow.SetFrequency(1e11f);
    billow.SetPersistence(0.5);
    billow.SetSeed(7);  // trunc(0.4f * 10 + 3) = trunc(7.00000006...)
    scaled.SetSourceModule(0, billow);
    scaled.SetScale(0.25 - 1.0 / 10);
    scaled.SetBias((static_cast<double>(0.6f) - 0.5) * 2);  // 25 div 10 = 2
    perlin.SetOctaveCount(4);
    perlin.SetFrequency(0.8f);
    perlin.SetPersistence(0.5);
    perlin.SetSeed(5);  // trunc(0.2f * 10 + 3)
    select.SetControlModule(perlin);
    select.SetBounds(0.0, 1000.0);
    select.SetSourceModule(0, ridged);
    select.SetSourceModule(1, scaled);
    select.SetEdgeFalloff(0.125);
    turbulence.SetSourceModule(0, select);
    turbulence.SetRoughness(3);
    turbulence.SetFrequency(static_cast<double>(0.02f) * 100);
    turbulence.SetPower(12.5 / 100);
    turbulence.SetSeed(20);  // 10 * trunc(2.9), no seed base
    clamp.SetSourceModule(0, turbulence);
    clamp.SetBounds(1.0 / 10 - 0.5, 0.8f);
  }

  noise::module::RidgedMulti ridged;     // row 0
  noise::module::Billow billow;          // row 1
  noise::module::ScaleBias scaled;       // row 2, over row 1
  noise::module::Perlin perlin;          // row 3
  noise::module::Select select;          // row 4: row 3 controls, rows 0 and 2 (2.9) are the sources
  noise::module::Turbulence turbulence;  // row 5, over row 4
  noise::module::Clamp clamp;            // row 6, over row 5
};

TEST_F(DuneforgeRunTest, ValuesEqualTheChainSampledAtTheBuilderPositions) {
  const std::string commands = Header(7, 3, 2, 5, 3, "-1.3 2.9 0.25 1.75", 0, 3) +
                               "1 6 1.5 0 0.7\n"
                               "2 3 1e11 0.5 0.4\n"
                               "3 25 0.25 0.6 1\n"
                               "0 4 0.8 0.5 0.2\n"
                               "4 0 2.9 0.125 0\n"
                               "14 3 0.02 12.5 2.9\n"
                               "12 5 0.5 0.8 1\n";
  WriteCommands(commands);
  const RunResult first = Run();
  ASSERT_EQ(first.status, 0) << first.errors;

  const HandBuiltChain chain;
  const std::string expected = ExpectedHeights(chain.clamp, {3, 2, 5, 3, -1.3f, 2.9f, 0.25f, 1.75f});
  const std::vector<std::string> values = SplitValues(expected);
  ASSERT_EQ(values.size(), 6u * 5u * 3u);
  // Most samples lie inside the clamp's bounds, so the comparison sees the
  // whole chain.
  EXPECT_GT(std::set<std::string>(values.begin(), values.end()).size(), 60u);
  EXPECT_EQ(ReadText(File("noise_arr.txt")), expected);

  // A second run appends the same values directly after the first run's.
  ASSERT_EQ(Run().status, 0);
  EXPECT_EQ(ReadText(File("noise_arr.txt")), expected + expected);
  EXPECT_EQ(window_->Messages().size(), 2u);
  EXPECT_FALSE(Exists(File("tutorial.bmp")));
}

TEST_F(DuneforgeRunTest, BundledExamplesRun) {
  struct Example {
    const char* name;
    size_t values;
    bool preview;
  };
  const Example examples[] = {{"single_perlin.txt", 256u * 256u, false},
                              {"terrain.txt", 4u * 4u * 128u * 128u, true},
                              {"all_types.txt", 2u * 2u * 64u * 64u, true}};
  size_t expectedMessages = 0;
  for (const Example& example : examples) {
    SCOPED_TRACE(example.name);
    // The example with this test's window in place of its first number.
    std::ifstream in(std::string(DUNEFORGE_EXAMPLES_DIR) + "/" + example.name);
    ASSERT_TRUE(in.is_open());
    std::string ignoredWindow;
    in >> ignoredWindow;
    std::ostringstream rest;
    rest << in.rdbuf();
    const std::string commands = std::to_string(window_->Handle()) + rest.str();
    WriteCommands(commands);
    std::remove(File("noise_arr.txt").c_str());
    std::remove(File("tutorial.bmp").c_str());

    const RunResult result = Run();
    EXPECT_EQ(result.status, 0) << result.errors;
    const std::string heights = ReadText(File("noise_arr.txt"));
    const std::vector<std::string> values = SplitValues(heights);
    EXPECT_EQ(values.size(), example.values);
    // The example's chain as the generator builds it (its rows are pinned by
    // the chain's own tests), sampled where the plane builder samples.
    std::istringstream settingsText(commands);
    CommandSettings settings;
    duneforge::ReadCommandSettings(settingsText, settings);
    const duneforge::ModuleChain chain = duneforge::BuildModuleChain(settings);
    EXPECT_TRUE(heights == ExpectedHeights(chain.OutputModule(), TilingOf(settings)));
    // Heights vary across the area.
    EXPECT_GT(std::set<std::string>(values.begin(), values.end()).size(), example.values / 100);
    EXPECT_EQ(Exists(File("tutorial.bmp")), example.preview);
    EXPECT_EQ(window_->Messages().size(), ++expectedMessages);
  }
}

TEST_F(DuneforgeRunTest, InitialTileSizeGivesSixtyFiveThousandValues) {
  WriteCommands(std::to_string(window_->Handle()) + " 1 1 1 256 256 0 1 0 1 0 0 0 6 1 0.5 0.3");
  const RunResult result = Run();
  EXPECT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(SplitValues(ReadText(File("noise_arr.txt"))).size(), 65536u);
  EXPECT_EQ(window_->Messages().size(), 1u);
}

TEST_F(DuneforgeRunTest, NoCommandFileOrUnopenableArrayEndsQuietly) {
  RunResult result = Run();
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.errors, "");
  EXPECT_FALSE(Exists(File("noise_arr.txt")));

  ASSERT_EQ(::mkdir(File("noise_arr.txt").c_str(), 0700), 0);
  WriteCommands(Header(1, 1, 1, 4, 4, "0 1 0 1", 1) + "0 6 1 0.5 0.3\n");
  result = Run();
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.errors, "");
  EXPECT_FALSE(Exists(File("tutorial.bmp")));
  EXPECT_TRUE(window_->Messages().empty());
}

TEST_F(DuneforgeRunTest, ChainFailuresLeaveTheArrayUntouched) {
  std::ofstream(File("noise_arr.txt")) << "0.5,";
  WriteCommands(Header(1, 1, 1, 4, 4, "0 1 0 1", 1) + "0 0 1 0.5 0.3\n");
  ExpectFailure(Run(), "row 0 (Perlin)");
  WriteCommands(Header(2, 1, 1, 4, 4, "0 1 0 1", 1) + "7 1 0 0 0\n6 0 1.0 0 0\n");
  ExpectFailure(Run(), "row 1 (Add)");
  WriteCommands(Header(1, 1, 1, 4, 4, "0 1 0 1", 0) + "3 10 1 1 1\n");
  ExpectFailure(Run(), "row 0");
  EXPECT_EQ(ReadText(File("noise_arr.txt")), "0.5,");
  EXPECT_FALSE(Exists(File("tutorial.bmp")));
}

TEST_F(DuneforgeRunTest, UnreadBoundsFailBeforeTheArrayIsOpened) {
  // 7.9 in tilesZ: tileWidth fails, so the bounds are never read.
  WriteCommands(std::to_string(window_->Handle()) + " 1 1 7.9 4 4 0 1 0 1 0 0 0 6 1 0.5 0.3\n");
  ExpectFailure(Run(), "cmd_noise.txt");
  WriteCommands(Header(0, 1, 1, 4, 4, "0 1 0 1", 0));
  ExpectFailure(Run(), "moduleCount 0");
  EXPECT_FALSE(Exists(File("noise_arr.txt")));
}

TEST_F(DuneforgeRunTest, TileFailuresComeAfterTheArrayIsOpened) {
  WriteCommands(Header(1, 1, 1, 4, 4, "1 1 0 1", 0) + "0 6 1 0.5 0.3\n");
  ExpectFailure(Run(), "tile 0");
  EXPECT_TRUE(Exists(File("noise_arr.txt")));
  EXPECT_EQ(ReadText(File("noise_arr.txt")), "");

  WriteCommands(Header(1, 1, 1, 0, 4, "0 1 0 1", 0) + "0 6 1 0.5 0.3\n");
  ExpectFailure(Run(), "tile 0 (tileWidth 0");
  EXPECT_EQ(ReadText(File("noise_arr.txt")), "");
}

TEST_F(DuneforgeRunTest, NoTilesStillNotifyUnlessAPreviewIsAsked) {
  WriteCommands(Header(1, 0, 3, 4, 4, "0 1 0 1", 0) + "0 6 1 0.5 0.3\n");
  RunResult result = Run();
  EXPECT_EQ(result.status, 0) << result.errors;
  EXPECT_TRUE(Exists(File("noise_arr.txt")));
  EXPECT_EQ(ReadText(File("noise_arr.txt")), "");
  EXPECT_EQ(window_->Messages().size(), 1u);

  WriteCommands(Header(1, -2, -3, 4, 4, "0 1 0 1", 1) + "0 6 1 0.5 0.3\n");
  result = Run();
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.errors.rfind("duneforge: preview tutorial.bmp: ", 0), 0u) << result.errors;
  EXPECT_EQ(ReadText(File("noise_arr.txt")), "");
  EXPECT_FALSE(Exists(File("tutorial.bmp")));
  EXPECT_EQ(window_->Messages().size(), 1u);
}

TEST_F(DuneforgeRunTest, UnwritablePreviewFailsAfterTheArrayIsComplete) {
  ASSERT_EQ(::mkdir(File("tutorial.bmp").c_str(), 0700), 0);
  WriteCommands(Header(1, 2, 1, 4, 4, "0 2 0 1", 1) + "0 6 1 0.5 0.3\n");
  ExpectFailure(Run(), "tutorial.bmp");
  EXPECT_EQ(SplitValues(ReadText(File("noise_arr.txt"))).size(), 32u);
}

TEST_F(DuneforgeRunTest, FullDeviceFailsWithoutPreviewOrMessage) {
  ASSERT_EQ(::symlink("/dev/full", File("noise_arr.txt").c_str()), 0);
  WriteCommands(Header(1, 1, 1, 8, 8, "0 1 0 1", 1) + "0 6 1 0.5 0.3\n");
  ExpectFailure(Run(), "noise_arr.txt");
  EXPECT_FALSE(Exists(File("tutorial.bmp")));
}

// Sets an environment variable for the runs of one scope; unset afterwards.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value) : name_(name) {
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedVariable() { ::unsetenv(name_); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
};

class ThreadsVariable : public ScopedVariable {
 public:
  explicit ThreadsVariable(const std::string& value) : ScopedVariable("DUNEFORGE_THREADS", value) {}
};

// A budget of 1 MiB cuts a tile of 4096 x 80 into bands: 64 rows of the
// writer's own grid (16 KiB a row), or bands of one row on at most 8
// workers (a grid row and two text rows, 122880 bytes).
TEST_F(DuneforgeRunTest, FilesAreTheSameForEveryThreadCountAndBudget) {
  const std::string rows = "0 6 1 0.5 0.3\n3 20 1 0.75 0\n";
  const struct {
    std::string commands;
    size_t values;
  } runs[] = {{Header(2, 1, 1, 9, 5, "0 1 0 1", 1) + rows, 45},
              {Header(2, 4, 3, 9, 5, "-1 3 0 2.5", 1) + rows, 12 * 45},
              {Header(2, 1, 1, 4096, 80, "0 8 0 1", 1) + rows, 4096 * 80}};
  for (const auto& run : runs) {
    WriteCommands(run.commands);
    std::string heights, preview;
    for (const char* threads : {"1", "2", "3", "7", "64"}) {
      for (const char* budget : {"", "1"}) {
        SCOPED_TRACE(std::string(threads) + " threads, budget " + budget);
        ThreadsVariable variable(threads);
        ScopedVariable memory("DUNEFORGE_MEMORY_MB", budget);
        std::remove(File("noise_arr.txt").c_str());
        const RunResult result = Run();
        ASSERT_EQ(result.status, 0) << result.errors;
        if (heights.empty()) {
          heights = ReadText(File("noise_arr.txt"));
          preview = ReadText(File("tutorial.bmp"));
          ASSERT_EQ(SplitValues(heights).size(), run.values);
          ASSERT_FALSE(preview.empty());
        }
        EXPECT_TRUE(ReadText(File("noise_arr.txt")) == heights);
        EXPECT_TRUE(ReadText(File("tutorial.bmp")) == preview);
      }
    }
  }
}

// Environment values duneforge does not take fail before the array is
// opened: a memory budget that is no whole number of MiB in range, an
// evaluator it does not know.
TEST_F(DuneforgeRunTest, RefusedEnvironmentValuesFailBeforeTheArrayIsOpened) {
  WriteCommands(Header(1, 2, 1, 4, 4, "0 1 0 1", 0) + "0 6 1 0.5 0.3\n");
  const std::vector<std::pair<const char*, std::vector<const char*>>> refused = {
      {"DUNEFORGE_MEMORY_MB", {"0", "1048577", "64M", "-1", "lots"}},
      {"DUNEFORGE_EVALUATOR", {"LIBNOISE", "avx512", "x86-64-v5", "batch ", "0"}}};
  for (const auto& [name, values] : refused) {
    for (const char* bad : values) {
      ScopedVariable variable(name, bad);
      ExpectFailure(Run(), std::string(name) + "=\"" + bad + "\"");
      EXPECT_FALSE(Exists(File("noise_arr.txt")));
    }
  }
}

// The example of every module type gives the same files whichever way its
// chain is evaluated, on one thread and on several.
TEST_F(DuneforgeRunTest, FilesAreTheSameForEveryEvaluator) {
  WriteCommands(ReadText(std::string(DUNEFORGE_EXAMPLES_DIR) + "/all_types.txt"));
  std::string heights, preview;
  for (EvaluatorChoice choice : noise::utils::AvailableEvaluators()) {
    for (const char* threads : {"1", "2"}) {
      SCOPED_TRACE(std::string(noise::utils::EvaluatorName(choice)) + ", " + threads + " threads");
      ScopedVariable variable("DUNEFORGE_EVALUATOR", noise::utils::EvaluatorName(choice));
      ThreadsVariable threadCount(threads);
      std::remove(File("noise_arr.txt").c_str());
      const RunResult result = Run();
      ASSERT_EQ(result.status, 0) << result.errors;
      if (heights.empty()) {
        heights = ReadText(File("noise_arr.txt"));
        preview = ReadText(File("tutorial.bmp"));
        ASSERT_FALSE(heights.empty());
      }
      EXPECT_TRUE(ReadText(File("noise_arr.txt")) == heights);
      EXPECT_TRUE(ReadText(File("tutorial.bmp")) == preview);
    }
  }
}

// The host starts duneforge bare: --help only tells, and any other argument
// is a usage error; neither reads the command file nor touches an output.
TEST_F(DuneforgeRunTest, ArgumentsTouchNothing) {
  WriteCommands(Header(1, 1, 1, 4, 4, "0 1 0 1", 1) + "0 6 1 0.5 0.3\n");
  const std::string earlier = "0.5,-1,";
  std::ofstream(File("noise_arr.txt"), std::ios::binary) << earlier;
  const RunResult help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.errors, "");
  for (const char* mention : {"cmd_noise.txt", "noise_arr.txt", "tutorial.bmp", "DUNEFORGE_THREADS",
                              "DUNEFORGE_MEMORY_MB", "DUNEFORGE_EVALUATOR", "Exit status"}) {
    EXPECT_NE(help.output.find(mention), std::string::npos) << mention;
  }
  const std::vector<std::vector<std::string>> misuses = {
      {"--hlep"}, {"--help", "x"}, {""}, {"cmd_noise.txt"}};
  for (const std::vector<std::string>& args : misuses) {
    const RunResult result = Run(args);
    EXPECT_EQ(result.status, 2) << args[0];
    EXPECT_EQ(result.errors.rfind("duneforge: ", 0), 0u) << result.errors;
    EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1) << result.errors;
    EXPECT_EQ(result.output, "");
  }
  EXPECT_EQ(ReadText(File("noise_arr.txt")), earlier);
  EXPECT_FALSE(Exists(File("tutorial.bmp")));
  EXPECT_TRUE(window_->Messages().empty());
}

TEST_F(DuneforgeRunTest, ThreadCountThatIsNoWholeNumberFailsBeforeTheArrayIsOpened) {
  WriteCommands(Header(1, 2, 1, 4, 4, "0 1 0 1", 0) + "0 6 1 0.5 0.3\n");
  for (const char* bad : {"0", "-2", "257", "two", "2x"}) {
    ThreadsVariable variable(bad);
    ExpectFailure(Run(), std::string("DUNEFORGE_THREADS=\"") + bad + "\"");
    EXPECT_FALSE(Exists(File("noise_arr.txt")));
  }
}

// The progress line appears only on a terminal: on a pseudo-terminal it
// counts the tiles and is blank again when the run ends; elsewhere (every
// other test reads standard error from a file) nothing is written.
TEST_F(DuneforgeRunTest, ProgressLineOnlyOnATerminal) {
  WriteCommands(Header(1, 3, 2, 64, 64, "0 3 0 2", 0) + "0 6 1 0.5 0.3\n");
  int terminal = -1;
  const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::chdir(folder_.c_str()) == 0) ::execl(DUNEFORGE_PATH, "duneforge", static_cast<char*>(nullptr));
    _exit(127);
  }
  std::string screen;
  char buffer[4096];
  for (ssize_t got; (got = ::read(terminal, buffer, sizeof buffer)) > 0;) screen.append(buffer, got);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ::close(terminal);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << screen;
  EXPECT_NE(screen.find("duneforge: 0 of 6 tiles"), std::string::npos) << screen;
  EXPECT_EQ(screen.find('\n'), std::string::npos) << screen;
  // What a terminal shows at the end: each carriage return starts the line
  // over, and the characters after the last one write over what is there.
  std::string shown;
  size_t column = 0;
  for (char c : screen) {
    if (c == '\r') {
      column = 0;
      continue;
    }
    if (column == shown.size())
      shown += c;
    else
      shown[column] = c;
    ++column;
  }
  EXPECT_EQ(shown.find_first_not_of(' '), std::string::npos) << screen;
  EXPECT_EQ(SplitValues(ReadText(File("noise_arr.txt"))).size(), 6u * 64u * 64u);
}

TEST_F(DuneforgeRunTest, WindowZeroGetsNothingAndTheRunSucceeds) {
  WriteCommands("0 1 1 1 4 4 0 1 0 1 0 0 0 6 1 0.5 0.3\n");
  const RunResult result = Run();
  EXPECT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(SplitValues(ReadText(File("noise_arr.txt"))).size(), 16u);
  EXPECT_TRUE(window_->Messages().empty());
}

}  // namespace
