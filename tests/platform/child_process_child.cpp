// The program the child process tests start:
//   child_process_child make NAME STATUS [ARGUMENT...]
//     writes NAME in its current folder, with each ARGUMENT on a line of its
//     own in brackets, and exits with STATUS;
//   child_process_child hang NAME
//     ignores SIGTERM, writes NAME in its current folder and waits two
//     minutes, so only a stop that does not ask ends it sooner.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

int main(int argc, char** argv) {
  if (argc >= 4 && std::strcmp(argv[1], "make") == 0) {
    std::ofstream out(argv[2], std::ios::binary);
    for (int i = 4; i < argc; ++i) out << '[' << argv[i] << "]\n";
    out.close();
    return out ? std::atoi(argv[3]) : 100;
  }
  if (argc == 3 && std::strcmp(argv[1], "hang") == 0) {
    std::signal(SIGTERM, SIG_IGN);
    std::ofstream(argv[2], std::ios::binary) << "running\n";
    std::this_thread::sleep_for(std::chrono::minutes(2));
    return 0;
  }
  return 101;
}
