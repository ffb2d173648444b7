// The command line of a tool: declared options, operands, --help and
// one-line usage errors.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace tools {

// Parses a tool's arguments against the options declared on it. An option
// has a name ("--size"), an argument description ("WxH", "MIN MAX": one
// value per word, none for a flag), a help sentence and a parse function
// that takes its values. Other arguments are operands, kept in order; "--"
// makes every later argument an operand. "--help" and "-h" ask for the help,
// which lists every option with what it does. The parser holds references
// that the parse functions capture; it owns nothing else.
class OptionParser {
 public:
  // Takes an option's values (as many as its argument has words); false
  // when they are not what the option takes.
  using ValueParser = std::function<bool(const std::vector<std::string>& values)>;

  enum class Outcome { kRun, kHelp, kUsageError };

  // `program` names the tool in messages; `operands` describes them in the
  // usage line ("MODEL OUTPUT.png"); `about` is the help's description,
  // lines ending in '\n'. The tool runs with `minOperands` to
  // `maxOperands` operands.
  OptionParser(std::string program, std::string operands, std::string about, size_t minOperands,
               size_t maxOperands);

  // An option with values. `takes` says what it takes in a refusal ("--size
  // takes WxH, each 1 to 4096"); empty: "NAME takes ARGUMENT".
  void AddOption(const std::string& name, const std::string& argument, const std::string& help,
                 ValueParser parse, const std::string& takes = "");
  // An option without values that sets `given`.
  void AddFlag(const std::string& name, const std::string& help, bool& given);

  // Parses `args` (without the program's name). kUsageError leaves a one-line
  // Error(): an unknown option, an option without its values or with values
  // its parse function refuses, or too few or too many operands.
  Outcome Parse(const std::vector<std::string>& args);
  // Parses argv and answers what asks for no run: prints the help to
  // standard output (status 0) or the error to standard error (status 2).
  // True when the tool should run.
  bool ParseCommandLine(int argc, const char* const* argv, int& status);

  const std::string& Program() const { return program_; }
  const std::vector<std::string>& Operands() const { return operands_; }
  const std::string& Error() const { return error_; }
  std::string HelpText() const;
  // Prints "PROGRAM: PROBLEM (see PROGRAM --help)" to standard error and
  // returns the usage status, 2: for checks across options.
  int UsageError(const std::string& problem) const;

 private:
  struct Option {
    std::string name;
    std::string argument;
    std::string help;
    ValueParser parse;
    std::string takes;
    size_t values = 0;
  };
  const Option* Find(const std::string& name) const;
  bool Refuse(const std::string& problem);

  std::string program_;
  std::string operandText_;
  std::string about_;
  size_t minOperands_;
  size_t maxOperands_;
  std::vector<Option> options_;
  std::vector<std::string> operands_;
  std::string error_;
};

// Exit statuses of the tools.
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

}  // namespace tools
