// duneforge when its files fail: outputs on a full device, in a folder where
// they cannot be created, and with the preview cut short at every byte; the
// command file and the height array failing through the file seam. A failed
// read or write always ends the run with status 1, one line naming the file,
// and no completion message.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "generator/duneforge_run.h"
#include "noisemap/error.h"
#include "noisemap/height_grid.h"
#include "platform/file_fault_injector.h"
#include "platform/host_window.h"
#include "support/byte_builder.h"
#include "support/run_program.h"
#include "support/temp_dir_fixture.h"

namespace {

using platform::FileFaultInjector;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0 && !S_ISLNK(info.st_mode);
}

size_t CountValues(const std::string& text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), ','));
}

// A window that counts the messages it receives, on a thread of its own.
class CountingWindow {
 public:
  CountingWindow() {
    if (!window_.Open()) throw std::runtime_error("cannot open a window");
    thread_ = std::thread([this] {
      while (!stop_) {
        window_.ReceiveOne(
            [this](uint32_t, uintptr_t, intptr_t) -> intptr_t {
              ++received_;
              return 1;
            },
            20);
      }
    });
  }
  ~CountingWindow() {
    stop_ = true;
    thread_.join();
  }
  platform::WindowHandle Handle() const { return window_.Handle(); }
  int Received() const { return received_; }

 private:
  platform::HostWindow window_;
  std::atomic<bool> stop_{false};
  std::atomic<int> received_{0};
  std::thread thread_;
};

struct RunResult {
  int status;
  std::string errors;
};

class DuneforgeFaultTest : public testsupport::TempDirFixture {
 protected:
  void SetUp() override {
    folder_ = temp_.File("run");
    ASSERT_EQ(::mkdir(folder_.c_str(), 0700), 0);
    // A regular file: no path below it can be created, whoever runs the test.
    blocker_ = temp_.File("not-a-folder");
    std::ofstream(blocker_) << "x";
  }

  std::string File(const std::string& name) const { return folder_ + "/" + name; }

  // One Perlin row; tilesX x 1 tiles of 4 x 4 (or `size` x `size`) values.
  void WriteCommands(int tilesX, int preview, int size = 4) {
    std::ofstream(File("cmd_noise.txt")) << window_.Handle() << " 1 " << tilesX << " 1 " << size << ' '
                                         << size << " 0 2 0 1 0 " << preview << "\n0 6 1 0.5 0.3\n";
  }

  RunResult Run() {
    const testsupport::ProgramResult result =
        testsupport::RunProgram(DUNEFORGE_PATH, {}, temp_.Path(), folder_);
    // A message sent late would arrive within this time.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return {result.status, result.err};
  }

  void ExpectFailureNaming(const RunResult& result, const std::string& file) {
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.errors.rfind("duneforge: ", 0), 0u) << result.errors;
    EXPECT_NE(result.errors.find(file), std::string::npos) << result.errors;
    EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1) << result.errors;
    EXPECT_EQ(window_.Received(), 0);
  }

  CountingWindow window_;
  std::string folder_;
  std::string blocker_;
};

TEST_F(DuneforgeFaultTest, FullDeviceForTheArrayFailsWithAndWithoutPreview) {
  ASSERT_EQ(::symlink("/dev/full", File("noise_arr.txt").c_str()), 0);
  // 65536 values fill the writer's buffer more than once before the end.
  WriteCommands(1, 0, 256);
  ExpectFailureNaming(Run(), "noise_arr.txt");
  WriteCommands(2, 1);
  ExpectFailureNaming(Run(), "noise_arr.txt");
  EXPECT_FALSE(Exists(File("tutorial.bmp")));
}

TEST_F(DuneforgeFaultTest, FullDeviceForThePreviewFailsAfterTheArrayIsComplete) {
  ASSERT_EQ(::symlink("/dev/full", File("tutorial.bmp").c_str()), 0);
  WriteCommands(2, 1);
  const RunResult result = Run();
  ExpectFailureNaming(result, "tutorial.bmp");
  EXPECT_EQ(result.errors.rfind("duneforge: preview tutorial.bmp", 0), 0u) << result.errors;
  EXPECT_EQ(CountValues(ReadText(File("noise_arr.txt"))), 32u);
}

TEST_F(DuneforgeFaultTest, ArrayThatCannotBeCreatedEndsQuietlyWithoutOutputs) {
  // The documented quiet end: status 0, no tile, no preview, no message.
  ASSERT_EQ(::symlink((blocker_ + "/noise_arr.txt").c_str(), File("noise_arr.txt").c_str()), 0);
  WriteCommands(1, 1);
  const RunResult result = Run();
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.errors, "");
  EXPECT_FALSE(Exists(File("tutorial.bmp")));
  EXPECT_EQ(window_.Received(), 0);
}

TEST_F(DuneforgeFaultTest, PreviewThatCannotBeCreatedFailsAfterTheArrayIsComplete) {
  ASSERT_EQ(::symlink((blocker_ + "/tutorial.bmp").c_str(), File("tutorial.bmp").c_str()), 0);
  WriteCommands(3, 1);
  ExpectFailureNaming(Run(), "tutorial.bmp");
  EXPECT_EQ(CountValues(ReadText(File("noise_arr.txt"))), 48u);
}

// The run in process, with the command file and the height array failing
// through the file seam: a command file that cannot be opened and a height
// array that cannot be created end quietly; a command file that cannot be
// read, a height array the device cuts short and one that cannot be closed
// fail naming the file. No failure writes a preview or sends the message.
TEST_F(DuneforgeFaultTest, CommandFileAndArrayFailuresThroughTheSeam) {
  char previous[4096];
  ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(::chdir(folder_.c_str()), 0);
  ASSERT_EQ(::setenv("DUNEFORGE_THREADS", "1", 1), 0);
  // 256 x 256 values are more than one buffer of the writer.
  WriteCommands(1, 1, 256);
  const std::string cannotRead = std::string("cmd_noise.txt: cannot read: ") + std::strerror(EIO);
  const std::string full =
      std::string("noise_arr.txt: cannot write the height values: ") + std::strerror(ENOSPC);
  const std::string unclosed =
      std::string("noise_arr.txt: cannot complete the height array: ") + std::strerror(EIO);
  using Op = FileFaultInjector::Operation;
  enum class Array { kAbsent, kFirstThousandBytes, kWhole };
  const struct {
    Op operation;  // kCount: a limit of 1000 written bytes instead
    int nth;
    std::string message;  // empty: the run ends with status 0
    Array array;
  } cases[] = {{Op::kOpen, 1, "", Array::kAbsent},
               {Op::kRead, 1, cannotRead, Array::kAbsent},
               {Op::kOpen, 2, "", Array::kAbsent},
               {Op::kCount, 0, full, Array::kFirstThousandBytes},
               {Op::kClose, 2, unclosed, Array::kWhole}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.operation) * 10 + c.nth);
    std::remove(File("noise_arr.txt").c_str());
    if (c.operation == Op::kCount) {
      FileFaultInjector::LimitWrittenBytes(1000);
    } else {
      FileFaultInjector::FailCall(c.operation, c.nth);
    }
    std::string message;
    int status = -1;
    try {
      status = duneforge::RunDuneforge();
    } catch (const noise::ExceptionUnknown&) {
      message = duneforge::DescribeCurrentException();
    } catch (const noise::Exception&) {
      message = "wrong kind: " + duneforge::DescribeCurrentException();
    }
    FileFaultInjector::Reset();
    EXPECT_EQ(message, c.message);
    EXPECT_EQ(status, c.message.empty() ? 0 : -1);
    const std::string array = ReadText(File("noise_arr.txt"));
    EXPECT_EQ(Exists(File("noise_arr.txt")), c.array != Array::kAbsent);
    if (c.array == Array::kFirstThousandBytes) {
      EXPECT_EQ(array.size(), 1000u);
    } else if (c.array == Array::kWhole) {
      EXPECT_EQ(CountValues(array), 65536u);
    }
    EXPECT_FALSE(Exists(File("tutorial.bmp")));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(window_.Received(), 0);
  ::unsetenv("DUNEFORGE_THREADS");
  ASSERT_EQ(::chdir(previous), 0);
}

// The preview in process, through the file seam: for every byte where the
// device can fill up, the run's error names the preview and the preview of
// an earlier run stays as it was; only the whole file replaces it.
TEST_F(DuneforgeFaultTest, PreviewCutShortAtEveryByteFailsNamingTheFile) {
  noise::utils::HeightGrid grid;
  grid.Resize(5, 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) grid.RowData(y)[x] = static_cast<float>(x - y) / 4.0f;
  }
  char previous[4096];
  ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(::chdir(folder_.c_str()), 0);
  const uint64_t whole = 54 + 3 * 16;  // rows of 15 bytes padded to 16
  const std::vector<uint8_t> earlier = {'B', 'M', 'e', 'a', 'r', 'l', 'i', 'e', 'r'};
  ASSERT_TRUE(testsupport::WriteFileBytes(File("tutorial.bmp"), earlier));
  for (uint64_t limit = 0; limit < whole; ++limit) {
    FileFaultInjector::LimitWrittenBytes(limit);
    std::string message;
    try {
      duneforge::WritePreview(grid);
    } catch (const noise::ExceptionUnknown&) {
      message = duneforge::DescribeCurrentException();
    } catch (const noise::Exception&) {
      message = "wrong kind: " + duneforge::DescribeCurrentException();
    }
    FileFaultInjector::Reset();
    EXPECT_EQ(message.rfind("preview tutorial.bmp", 0), 0u) << "limit " << limit << ": " << message;
    EXPECT_EQ(testsupport::ReadFileBytes(File("tutorial.bmp")), earlier) << "limit " << limit;
  }
  EXPECT_NO_THROW(duneforge::WritePreview(grid));
  EXPECT_EQ(testsupport::ReadFileBytes(File("tutorial.bmp")).size(), whole);
  ASSERT_EQ(::chdir(previous), 0);
}

}  // namespace
