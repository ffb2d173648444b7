#include "support/run_program.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testsupport {

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& scratch, const std::string& folder) {
  const std::string outPath = scratch + "/program.out";
  const std::string errPath = scratch + "/program.err";
  ProgramResult result;
  const pid_t child = fork();
  if (child < 0) {
    ADD_FAILURE() << "cannot fork";
    return result;
  }
  if (child == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
    if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(126);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = Slurp(outPath);
  result.err = Slurp(errPath);
  return result;
}

std::vector<float> ParseHeightArray(const std::string& path) {
  const std::string text = Slurp(path);
  std::vector<float> values;
  size_t start = 0;
  for (size_t comma = text.find(','); comma != std::string::npos; comma = text.find(',', start)) {
    const std::string token = text.substr(start, comma - start);
    char* end = nullptr;
    values.push_back(std::strtof(token.c_str(), &end));
    EXPECT_TRUE(!token.empty() && *end == '\0') << "malformed value '" << token << "'";
    start = comma + 1;
  }
  EXPECT_EQ(start, text.size()) << "the file does not end with a comma";
  return values;
}

}  // namespace testsupport
