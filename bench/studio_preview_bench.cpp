// The studio's answer to a changed field: from the request that carries the
// changed command file to the relief PNG, through a studio server on a free
// loopback port in this process, over HTTP as the page asks.
//
// Usage: studio_preview_bench [command file] [changes] [side]
// The command file defaults to the bundled terrain example; each of the
// `changes` (default 20) changes one field (row 0's p2, the frequency of the
// terrain's mountains, by a small step each time) and asks for a preview of
// side x side samples (default 256) of the whole area, as the page does.
// Prints the median time and the spread (fastest, quartiles, slowest), and
// the processor time the process spent on each answer.
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_timing.h"
#include "generator/command_settings.h"
#include "studio/studio_folder.h"
#include "studio/studio_server.h"

namespace {

using nlohmann::json;

// The settings as a command file duneforge reads back exactly.
std::string CommandText(const duneforge::CommandSettings& s) {
  std::ostringstream text;
  text.precision(9);
  text << s.hostWindow << ' ' << s.moduleCount << ' ' << s.tilesX << ' ' << s.tilesZ << ' ' << s.tileWidth
       << ' ' << s.tileHeight << ' ' << s.lowerX << ' ' << s.upperX << ' ' << s.lowerZ << ' ' << s.upperZ
       << ' ' << s.seedBase << ' ' << s.preview << '\n';
  for (int i = 0; i < s.moduleCount; ++i) {
    const duneforge::ModuleSpec& r = s.rows[static_cast<size_t>(i)];
    text << r.type << ' ' << r.p1 << ' ' << r.p2 << ' ' << r.p3 << ' ' << r.p4 << '\n';
  }
  return text.str();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string path = argc > 1 ? argv[1] : STUDIO_BENCH_TERRAIN;
  const int changes = argc > 2 ? std::atoi(argv[2]) : 20;
  const int side = argc > 3 ? std::atoi(argv[3]) : 256;
  duneforge::CommandSettings settings;
  if (changes < 1 || side < 1 || !duneforge::LoadCommandFile(path, settings)) {
    std::fprintf(stderr, "studio_preview_bench: cannot read %s, or bad counts\n", path.c_str());
    return 1;
  }
  const studio::StudioFolder folder(".");
  const unsigned cores = std::thread::hardware_concurrency();
  studio::StudioServer server(folder, cores == 0 ? 1 : static_cast<int>(cores));
  const int port = server.Bind(0);
  if (port < 0) return 1;
  std::thread serving([&server] { server.Run(); });
  httplib::Client client("127.0.0.1", port);
  client.set_tcp_nodelay(true);

  std::vector<double> ms;
  std::vector<double> cpuMs;
  const float frequency = settings.rows[0].p2;
  for (int i = 0; i <= changes; ++i) {
    settings.rows[0].p2 = frequency * (1.0f + 0.01f * static_cast<float>(i));
    const json request = {{"commandFile", CommandText(settings)},
                          {"width", side},
                          {"height", side},
                          {"channel", "bench"},
                          {"sequence", i}};
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    const auto result = client.Post("/api/preview", request.dump(), "application/json");
    const double elapsed =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const double cpu = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    if (!result || result->status != 200) {
      std::fprintf(stderr, "studio_preview_bench: the preview failed\n");
      server.Stop();
      serving.join();
      return 1;
    }
    if (i > 0) {  // the first warms the server up
      ms.push_back(elapsed);
      cpuMs.push_back(cpu);
    }
  }
  server.Stop();
  serving.join();
  std::printf("%d changes, %d x %d preview PNG of %s on %u threads:\n", changes, side, side, path.c_str(),
              cores);
  std::printf("  median %.1f ms; fastest %.1f, quartiles %.1f .. %.1f, slowest %.1f ms\n",
              bench::Percentile(ms, 0.5), bench::Percentile(ms, 0.0), bench::Percentile(ms, 0.25),
              bench::Percentile(ms, 0.75), bench::Percentile(ms, 1.0));
  // Processor time of the whole process (server threads included): what an
  // answer costs, whatever else the machine is doing.
  std::printf("  processor time: median %.1f ms, fastest %.1f, slowest %.1f ms\n",
              bench::Percentile(cpuMs, 0.5), bench::Percentile(cpuMs, 0.0), bench::Percentile(cpuMs, 1.0));
  return 0;
}
