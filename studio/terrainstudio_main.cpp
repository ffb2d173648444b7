// terrainstudio [--port N] [FOLDER]: serves the studio on 127.0.0.1.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <thread>

#include "studio/bundled_folders.h"
#include "studio/stop_signal.h"
#include "studio/studio_folder.h"
#include "studio/studio_server.h"

namespace {

const char* const kUsage =
    "Usage: terrainstudio [--port N] [FOLDER]\n"
    "\n"
    "Serves the terrain studio at http://127.0.0.1:PORT/ (port 8371 unless given; 0 picks a\n"
    "free one) and prints that address. Command files are listed, opened and saved, and\n"
    "exports written, by plain name in FOLDER (default: the current folder); the bundled\n"
    "examples are offered to read. Only this machine can connect. Ctrl-C ends it; exports\n"
    "still running then write nothing.\n";

// A whole number from 0 to 65535, or -1.
int PortOf(const char* text) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 0 || value > 65535) return -1;
  return static_cast<int>(value);
}

int UsageError(const std::string& text) {
  std::fprintf(stderr, "terrainstudio: %s\n%s", text.c_str(), kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int port = studio::kDefaultStudioPort;
  std::string folder = ".";
  bool folderGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--port") {
      if (i + 1 >= argc || (port = PortOf(argv[i + 1])) < 0) return UsageError("--port takes 0 .. 65535");
      ++i;
    } else if (!arg.empty() && arg[0] == '-') {
      return UsageError("unknown option " + arg);
    } else if (folderGiven) {
      return UsageError("one folder only");
    } else {
      folder = arg;
      folderGiven = true;
    }
  }
  try {
    const studio::StudioFolder files(folder);
    const std::string examplesFolder = studio::BundledFolders::Examples();
    std::unique_ptr<studio::StudioFolder> examples;
    if (!examplesFolder.empty()) examples = std::make_unique<studio::StudioFolder>(examplesFolder);
    const unsigned cores = std::thread::hardware_concurrency();
    studio::StudioServer server(files, cores == 0 ? 1 : static_cast<int>(cores), examples.get());
    server.ServePage(studio::BundledFolders::Page());
    const int bound = server.Bind(port);
    if (bound < 0) {
      std::fprintf(stderr,
                   "terrainstudio: cannot listen on 127.0.0.1:%d: the port is in use or not allowed\n", port);
      return 1;
    }
    // Before the server starts its threads, which take the blocked signals.
    if (!studio::StopSignal::Install([&server] { server.Stop(); })) {
      std::fprintf(stderr,
                   "terrainstudio: cannot take Ctrl-C; exports it interrupts may leave their "
                   "temporary files\n");
    }
    std::printf("terrainstudio: serving %s at http://127.0.0.1:%d/\n", files.Path().c_str(), bound);
    std::fflush(stdout);
    server.Run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "terrainstudio: %s\n", e.what());
    return 1;
  }
  return 0;
}
