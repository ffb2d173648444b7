#include "tools/option_parser.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace tools {

namespace {

size_t WordCount(const std::string& text) {
  size_t words = 0;
  bool inWord = false;
  for (const char c : text) {
    const bool space = c == ' ';
    if (!space && !inWord) ++words;
    inWord = !space;
  }
  return words;
}

}  // namespace

OptionParser::OptionParser(std::string program, std::string operands, std::string about, size_t minOperands,
                           size_t maxOperands)
    : program_(std::move(program)),
      operandText_(std::move(operands)),
      about_(std::move(about)),
      minOperands_(minOperands),
      maxOperands_(maxOperands) {}

void OptionParser::AddOption(const std::string& name, const std::string& argument, const std::string& help,
                             ValueParser parse, const std::string& takes) {
  Option option{name, argument, help, std::move(parse), takes, WordCount(argument)};
  if (option.takes.empty()) option.takes = name + " takes " + argument;
  options_.push_back(std::move(option));
}

void OptionParser::AddFlag(const std::string& name, const std::string& help, bool& given) {
  options_.push_back(Option{name, "", help,
                            [&given](const std::vector<std::string>&) {
                              given = true;
                              return true;
                            },
                            "", 0});
}

const OptionParser::Option* OptionParser::Find(const std::string& name) const {
  for (const Option& option : options_) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

bool OptionParser::Refuse(const std::string& problem) {
  error_ = problem;
  return false;
}

OptionParser::Outcome OptionParser::Parse(const std::vector<std::string>& args) {
  operands_.clear();
  error_.clear();
  bool optionsEnd = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnd || arg.size() < 2 || arg[0] != '-') {
      operands_.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnd = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") return Outcome::kHelp;
    const Option* option = Find(arg);
    if (option == nullptr) {
      Refuse("unknown option " + arg);
      return Outcome::kUsageError;
    }
    if (option->values > args.size() - i - 1) {
      Refuse(option->takes);
      return Outcome::kUsageError;
    }
    const std::vector<std::string> values(args.begin() + static_cast<std::ptrdiff_t>(i + 1),
                                          args.begin() + static_cast<std::ptrdiff_t>(i + 1 + option->values));
    i += option->values;
    if (!option->parse(values)) {
      std::string given;
      for (const std::string& value : values) given += (given.empty() ? "\"" : " \"") + value + "\"";
      Refuse(option->takes + (given.empty() ? "" : ", not " + given));
      return Outcome::kUsageError;
    }
  }
  if (operands_.size() < minOperands_ || operands_.size() > maxOperands_) {
    Refuse("expected " + operandText_ + ", given " + std::to_string(operands_.size()) + " name(s)");
    return Outcome::kUsageError;
  }
  return Outcome::kRun;
}

bool OptionParser::ParseCommandLine(int argc, const char* const* argv, int& status) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  switch (Parse(args)) {
    case Outcome::kRun:
      return true;
    case Outcome::kHelp:
      std::fputs(HelpText().c_str(), stdout);
      status = std::fflush(stdout) == 0 ? kExitDone : kExitFailed;
      return false;
    case Outcome::kUsageError:
      break;
  }
  status = UsageError(error_);
  return false;
}

namespace {

// The help lines of options are kept within this many columns.
constexpr size_t kHelpColumns = 79;

// `head` and then `help`'s words, broken into lines of at most kHelpColumns
// (a single longer word stands alone), later lines indented as far as the
// head reaches.
std::string WrapHelp(const std::string& head, const std::string& help) {
  std::string text = head, line = head;
  bool first = true;
  size_t at = 0;
  while (at < help.size()) {
    const size_t end = std::min(help.find(' ', at), help.size());
    const std::string word = help.substr(at, end - at);
    at = end + 1;
    if (word.empty()) continue;
    if (!first && line.size() + 1 + word.size() > kHelpColumns) {
      text += "\n" + std::string(head.size(), ' ');
      line.assign(head.size(), ' ');
      first = true;
    }
    text += (first ? "" : " ") + word;
    line += (first ? "" : " ") + word;
    first = false;
  }
  return text + "\n";
}

}  // namespace

std::string OptionParser::HelpText() const {
  std::string text = "usage: " + program_ + " [options] " + operandText_ + "\n" + about_ + "options:\n";
  size_t width = std::string("--help").size();
  for (const Option& option : options_) {
    width = std::max(width, option.name.size() + (option.argument.empty() ? 0 : option.argument.size() + 1));
  }
  const auto line = [&](const std::string& head, const std::string& help) {
    text += WrapHelp("  " + head + std::string(width - head.size() + 2, ' '), help);
  };
  for (const Option& option : options_) {
    line(option.argument.empty() ? option.name : option.name + " " + option.argument, option.help);
  }
  line("--help", "show this text and exit");
  return text;
}

int OptionParser::UsageError(const std::string& problem) const {
  std::fprintf(stderr, "%s: %s (see %s --help)\n", program_.c_str(), problem.c_str(), program_.c_str());
  return kExitUsage;
}

}  // namespace tools
