#include "tools/option_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/grid_arguments.h"

namespace {

using Values = std::vector<std::string>;

// The options of a terrain tool: a size, a range of two values, a spacing,
// a flag.
struct Parsed {
  int32_t columns = 0, rows = 0;
  double low = 0, high = 0, dx = 0, dy = 0;
  bool json = false;
};

tools::OptionParser MakeParser(Parsed& p) {
  tools::OptionParser parser("tool", "INPUT OUTPUT", "Converts.\n", 2, 2);
  parser.AddOption("--size", "WxH", "the grid",
                   [&](const Values& v) { return render::ParseGridPair(v[0].c_str(), p.columns, p.rows); });
  parser.AddOption(
      "--range", "MIN MAX", "the heights of packed 0 and 65535",
      [&](const Values& v) {
        return render::ParseFiniteNumber(v[0].c_str(), p.low) &&
               render::ParseFiniteNumber(v[1].c_str(), p.high);
      },
      "--range takes two numbers MIN MAX");
  parser.AddOption("--spacing", "DX[,DY]", "distance between samples",
                   [&](const Values& v) { return render::ParseSpacingPair(v[0], p.dx, p.dy); });
  parser.AddFlag("--json", "print JSON", p.json);
  return parser;
}

TEST(OptionParserTest, TakesEachOptionsValuesAndKeepsOperandsInOrder) {
  Parsed p;
  tools::OptionParser parser = MakeParser(p);
  ASSERT_EQ(parser.Parse({"in.txt", "--range", "-5", "2.5", "--size", "4x3", "--spacing", "2,0.5", "--json",
                          "--", "--out.png"}),
            tools::OptionParser::Outcome::kRun)
      << parser.Error();
  EXPECT_EQ(parser.Operands(), (Values{"in.txt", "--out.png"}));
  EXPECT_EQ(p.columns, 4);
  EXPECT_EQ(p.rows, 3);
  EXPECT_EQ(p.low, -5.0);
  EXPECT_EQ(p.high, 2.5);
  EXPECT_EQ(p.dx, 2.0);
  EXPECT_EQ(p.dy, 0.5);
  EXPECT_TRUE(p.json);

  EXPECT_EQ(parser.Parse({"a", "--help", "--bogus"}), tools::OptionParser::Outcome::kHelp);
  EXPECT_EQ(parser.HelpText(),
            "usage: tool [options] INPUT OUTPUT\n"
            "Converts.\n"
            "options:\n"
            "  --size WxH         the grid\n"
            "  --range MIN MAX    the heights of packed 0 and 65535\n"
            "  --spacing DX[,DY]  distance between samples\n"
            "  --json             print JSON\n"
            "  --help             show this text and exit\n");
}

// Help longer than a line breaks between words at 79 columns, later lines
// indented under the first.
TEST(OptionParserTest, WrapsLongHelpUnderItsStart) {
  tools::OptionParser parser("tool", "IN", "About.\n", 1, 1);
  parser.AddOption("--skin", "F",
                   "abcdefgh1 abcdefgh2 abcdefgh3 abcdefgh4 abcdefgh5 abcdefgh6 abcdefg abcdefgh8",
                   [](const Values&) { return true; });
  // "  --skin F  " is 12 columns; six words of 9 with their spaces reach 71,
  // a seventh of 7 reaches 79 exactly, and the eighth would pass it.
  EXPECT_EQ(parser.HelpText(),
            "usage: tool [options] IN\n"
            "About.\n"
            "options:\n"
            "  --skin F  abcdefgh1 abcdefgh2 abcdefgh3 abcdefgh4 abcdefgh5 abcdefgh6 abcdefg\n"
            "            abcdefgh8\n"
            "  --help    show this text and exit\n");
}

TEST(OptionParserTest, RefusesWithOneLineNamingTheOption) {
  struct Case {
    Values args;
    std::string error;
  };
  const std::vector<Case> cases = {
      {{"a", "b", "--sizes", "4x3"}, "unknown option --sizes"},
      {{"a", "b", "--range", "1"}, "--range takes two numbers MIN MAX"},
      {{"a", "b", "--size", "4x"}, "--size takes WxH, not \"4x\""},
      {{"a", "b", "--range", "1", "x"}, "--range takes two numbers MIN MAX, not \"1\" \"x\""},
      {{"a", "b", "--spacing", "1,-2"}, "--spacing takes DX[,DY], not \"1,-2\""},
      {{"a"}, "expected INPUT OUTPUT, given 1 name(s)"},
      {{"a", "b", "c"}, "expected INPUT OUTPUT, given 3 name(s)"},
  };
  for (const Case& c : cases) {
    Parsed p;
    tools::OptionParser parser = MakeParser(p);
    EXPECT_EQ(parser.Parse(c.args), tools::OptionParser::Outcome::kUsageError) << c.error;
    EXPECT_EQ(parser.Error(), c.error);
  }
}

}  // namespace
