#include "generator/float_field_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using duneforge::ReadFloatField;

uint32_t Bits(float value) {
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

float FromBits(uint32_t bits) {
  float value = 0.0f;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// A quiet NaN that no read stores: a field that still holds it was left
// alone.
constexpr uint32_t kUntouched = 0x7fe5a5a5u;

// The text with its whitespace written out, for messages.
std::string Shown(const std::string& text) {
  std::string shown = "\"";
  for (const char c : text) {
    switch (c) {
      case '\t':
        shown += "\\t";
        break;
      case '\n':
        shown += "\\n";
        break;
      case '\v':
        shown += "\\v";
        break;
      case '\f':
        shown += "\\f";
        break;
      case '\r':
        shown += "\\r";
        break;
      default:
        shown += c;
    }
  }
  if (shown.size() > 120) shown = shown.substr(0, 100) + "...(" + std::to_string(text.size()) + " chars)";
  return shown + "\"";
}

// What one read did: the bits of the field, the stream's state and the text
// left in the stream.
struct Outcome {
  uint32_t bits = kUntouched;
  bool fail = false;
  bool eof = false;
  bool bad = false;
  std::string rest;
};

bool operator==(const Outcome& a, const Outcome& b) {
  return a.bits == b.bits && a.fail == b.fail && a.eof == b.eof && a.bad == b.bad && a.rest == b.rest;
}

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  char bits[16];
  std::snprintf(bits, sizeof bits, "%08x", static_cast<unsigned>(o.bits));
  return out << "{bits " << bits << " (" << FromBits(o.bits) << ")" << (o.fail ? " fail" : "")
             << (o.eof ? " eof" : "") << (o.bad ? " bad" : "") << ", rest " << Shown(o.rest) << "}";
}

Outcome StateOf(const std::istream& in, float value) {
  Outcome o;
  o.bits = Bits(value);
  o.fail = in.fail();
  o.eof = in.eof();
  o.bad = in.bad();
  return o;
}

std::string RestOf(std::istream& in) {
  in.clear();
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

using Reader = std::istream& (*)(std::istream&, float&);

std::istream& StreamRead(std::istream& in, float& value) { return in >> value; }

// One read of `text` from a fresh stream.
Outcome ReadOnce(Reader read, const std::string& text, bool skipWhitespace = true) {
  std::istringstream in(text);
  if (!skipWhitespace) in >> std::noskipws;
  float value = FromBits(kUntouched);
  read(in, value);
  Outcome o = StateOf(in, value);
  o.rest = RestOf(in);
  return o;
}

// Two reads of `text` one after the other: the second starts where the first
// left the stream, failed or at its end.
std::pair<Outcome, Outcome> ReadTwice(Reader read, const std::string& text) {
  std::istringstream in(text);
  float first = FromBits(kUntouched);
  read(in, first);
  const Outcome firstOutcome = StateOf(in, first);
  float second = FromBits(kUntouched);
  read(in, second);
  Outcome secondOutcome = StateOf(in, second);
  secondOutcome.rest = RestOf(in);
  return {firstOutcome, secondOutcome};
}

struct Expected {
  std::string text;
  uint32_t bits;
  bool fail;
  bool eof;
  std::string rest;
};

void ExpectReads(const std::vector<Expected>& cases) {
  for (const Expected& c : cases) {
    Outcome want;
    want.bits = c.bits;
    want.fail = c.fail;
    want.eof = c.eof;
    want.rest = c.rest;
    EXPECT_EQ(ReadOnce(ReadFloatField, c.text), want) << "text " << Shown(c.text);
  }
}

constexpr bool kFail = true;
constexpr bool kEnd = true;
constexpr uint32_t kMax = 0x7f7fffffu;     // 3.40282347e38
constexpr uint32_t kLowest = 0xff7fffffu;  // -3.40282347e38
constexpr uint32_t kNegativeZero = 0x80000000u;

// Expectations worked out by hand; they hold on every system.

TEST(ReadFloatField, TakesTheNumberAndLeavesTheRest) {
  ExpectReads({
      {"256.0 7", 0x43800000u, false, false, " 7"},
      {"256.0", 0x43800000u, false, kEnd, ""},
      {" \t\n\v\f\r-1.5e+2x", 0xc3160000u, false, false, "x"},
      {"+.5", 0x3f000000u, false, kEnd, ""},
      {"1.5.3", 0x3fc00000u, false, false, ".3"},
      {"1e5e3", 0x47c35000u, false, false, "e3"},
      {"1e5.3", 0x47c35000u, false, false, ".3"},
      {"1.e5", 0x47c35000u, false, kEnd, ""},
      {"0x10", 0u, false, false, "x10"},
      {"00012", 0x41400000u, false, kEnd, ""},
      {"-0", kNegativeZero, false, kEnd, ""},
      {"0e99999999999", 0u, false, kEnd, ""},
      {"1e-0000000000000000000000000000001\n", 0x3dcccccdu, false, false, "\n"},
  });
}

TEST(ReadFloatField, IncompleteNumbersStoreZeroAndFail) {
  ExpectReads({
      {"1e", 0u, kFail, kEnd, ""},
      {"1e+", 0u, kFail, kEnd, ""},
      {"1e+x", 0u, kFail, false, "x"},
      {"1e-+5", 0u, kFail, false, "+5"},
      {"-", 0u, kFail, kEnd, ""},
      {"+-5", 0u, kFail, false, "-5"},
      {".", 0u, kFail, kEnd, ""},
      {"..5", 0u, kFail, false, ".5"},
      {"-.e5", 0u, kFail, false, "e5"},
      {"e5", 0u, kFail, false, "e5"},
      {"inf", 0u, kFail, false, "inf"},
      {"nan", 0u, kFail, false, "nan"},
  });
}

TEST(ReadFloatField, RoundsToTheNearestFloatTiesToEven) {
  const std::string zeros(3000, '0');
  ExpectReads({
      {"0.1", 0x3dcccccdu, false, kEnd, ""},
      // 1 + 2^-24 lies halfway between 1 and 1 + 2^-23; 1 + 3 * 2^-24 halfway
      // between 1 + 2^-23 and 1 + 2^-22.
      {"1.000000059604644775390625", 0x3f800000u, false, kEnd, ""},
      {"1.000000059604644775390625" + zeros + "1", 0x3f800001u, false, kEnd, ""},
      {"1.000000059604644775390624" + zeros + "9", 0x3f800000u, false, kEnd, ""},
      {"-1.000000178813934326171875", 0xbf800002u, false, kEnd, ""},
      // Halfway between the largest subnormal and the smallest normal float.
      {"1.1754942807573642917278829910357665133228589927589904276829631184250030649651730385585324256680905"
       "818939208984375e-38",
       0x00800000u, false, kEnd, ""},
      // 2^-150, halfway between 0 and the smallest subnormal: to even, 0.
      {"7.00649232162408535461864791644958065640130970938257885878534141944895541342930300743319094181060791"
       "015625e-46",
       0u, false, kEnd, ""},
      {"7.1e-46", 0x00000001u, false, kEnd, ""},
      {"1e-40", 0x000116c2u, false, kEnd, ""},
      {"0." + zeros + "1e3000", 0x3dcccccdu, false, kEnd, ""},
      {zeros + "12", 0x41400000u, false, kEnd, ""},
  });
}

TEST(ReadFloatField, TooLargeFailsWithTheLargestFloatTooSmallIsZero) {
  const std::string zeros(100, '0');
  ExpectReads({
      {"1e39", kMax, kFail, kEnd, ""},
      {"-1e39 ", kLowest, kFail, false, " "},
      {"3.4028235e38", kMax, false, kEnd, ""},
      {"3.4028236e38", kMax, kFail, kEnd, ""},
      // 2^128 - 2^103, halfway between the largest float and 2^128: to even,
      // which overflows; one less rounds down.
      {"340282356779733661637539395458142568448", kMax, kFail, kEnd, ""},
      {"-340282356779733661637539395458142568447", kLowest, false, kEnd, ""},
      {"1e99999999999999999999", kMax, kFail, kEnd, ""},
      {"1" + zeros + "e-50", kMax, kFail, kEnd, ""},
      {"0." + zeros + "1e+00000000000000000000000140", kMax, kFail, kEnd, ""},
      {"1e-46", 0u, false, kEnd, ""},
      {"-1e-46", kNegativeZero, false, kEnd, ""},
      {"-1e-99999999999999999999", kNegativeZero, false, kEnd, ""},
      {"0." + zeros + "1e50", 0u, false, kEnd, ""},
      {"1" + zeros + "e-150", 0u, false, kEnd, ""},
  });
}

TEST(ReadFloatField, NoNumberLeftLeavesTheValueAlone) {
  ExpectReads({
      {"", kUntouched, kFail, kEnd, ""},
      {" \t\n\v\f\r", kUntouched, kFail, kEnd, ""},
  });
  // Once a read has reached the end or failed, the next reads nothing.
  const auto afterEnd = ReadTwice(ReadFloatField, "2");
  EXPECT_EQ(afterEnd.first.bits, 0x40000000u);
  EXPECT_FALSE(afterEnd.first.fail);
  EXPECT_TRUE(afterEnd.first.eof);
  EXPECT_EQ(afterEnd.second.bits, kUntouched);
  EXPECT_TRUE(afterEnd.second.fail);
  const auto afterFailure = ReadTwice(ReadFloatField, "x 2");
  EXPECT_EQ(afterFailure.first.bits, 0u);
  EXPECT_EQ(afterFailure.second.bits, kUntouched);
  EXPECT_EQ(afterFailure.second.rest, "x 2");
  // Without skipws, whitespace is no number.
  Outcome noSkip;
  noSkip.bits = 0;
  noSkip.fail = true;
  noSkip.rest = " 1";
  EXPECT_EQ(ReadOnce(ReadFloatField, " 1", false), noSkip);
}

// A buffer that holds `text` and throws once it is read past its end.
class BrokenBuffer : public std::streambuf {
 public:
  explicit BrokenBuffer(std::string text) : text_(std::move(text)) {}

 protected:
  int_type underflow() override {
    if (pos_ < text_.size()) return traits_type::to_int_type(text_[pos_]);
    throw std::runtime_error("device lost");
  }
  int_type uflow() override {
    const int_type c = underflow();
    ++pos_;
    return c;
  }

 private:
  std::string text_;
  size_t pos_ = 0;
};

// The state and value after reading from a buffer that throws at the end of
// `text`, and whether the buffer's exception reached the caller.
struct BrokenRead {
  std::ios_base::iostate state;
  uint32_t bits;
  bool rethrown;
};

BrokenRead ReadFromBrokenBuffer(Reader read, const std::string& text, std::ios_base::iostate exceptions) {
  BrokenBuffer buffer(text);
  std::istream in(&buffer);
  in.exceptions(exceptions);
  float value = FromBits(kUntouched);
  bool rethrown = false;
  try {
    read(in, value);
  } catch (const std::runtime_error&) {
    rethrown = true;
  }
  return {in.rdstate(), Bits(value), rethrown};
}

TEST(ReadFloatField, ThrowingBufferMarksTheStreamBad) {
  const BrokenRead quiet = ReadFromBrokenBuffer(ReadFloatField, " 12", std::ios_base::goodbit);
  EXPECT_EQ(quiet.state, std::ios_base::badbit);
  EXPECT_EQ(quiet.bits, kUntouched);
  EXPECT_FALSE(quiet.rethrown);
  const BrokenRead loud = ReadFromBrokenBuffer(ReadFloatField, " 12", std::ios_base::badbit);
  EXPECT_EQ(loud.state, std::ios_base::badbit);
  EXPECT_EQ(loud.bits, kUntouched);
  EXPECT_TRUE(loud.rethrown);
}

// The reference for the differential tests is the stream's own float
// extraction, which the reader copies as glibc and GCC's library do it;
// elsewhere (a Windows runtime, Wine) the stream may round otherwise.
bool StreamIsTheReference() {
#if defined(__GLIBC__) && defined(__GLIBCXX__)
  return true;
#else
  return false;
#endif
}

constexpr const char* kNoReference =
    "the stream's own float reading is the reference only with glibc and GCC's library";

// Compares both readers on each text, reading twice; stops after a few
// differences.
void CompareReaders(const std::vector<std::string>& texts) {
  int differences = 0;
  for (const std::string& text : texts) {
    const auto ours = ReadTwice(ReadFloatField, text);
    const auto theirs = ReadTwice(StreamRead, text);
    if (ours == theirs) continue;
    ADD_FAILURE() << "text " << Shown(text) << "\n  reader: " << ours.first << " then " << ours.second
                  << "\n  stream: " << theirs.first << " then " << theirs.second;
    if (++differences == 10) return;
  }
}

// Texts made to take each turn of a number: tokens where a number stops or
// none begins, zeros, rounding and the ends of the range, long digit
// strings and exponents, each with whitespace before and text after it, and
// the whitespace alone.
std::vector<std::string> CraftedTexts() {
  const std::string zeros(5000, '0');
  std::string longDigits;
  for (int i = 0; i < 20000; ++i) longDigits += static_cast<char>('0' + (i * 7 + 3) % 10);
  std::vector<std::string> tokens;
  const auto add = [&](std::initializer_list<std::string> group) { tokens.insert(tokens.end(), group); };
  // Where a number stops, and texts that hold none.
  add({"256.0", "1e",    "1e+",   "1e-",  "1E",    "-",   "+",    "+.5",   "-.5",
       ".",     "..5",   "1.5.3", "0x10", "0X1p3", "inf", "-inf", "nan",   "infinity",
       "1e5e3", "1e5.3", "1.e5",  ".e5",  "-.e5",  "e5",  "E",    "1e-+5", "1e+-5",
       "+-5",   "--5",   "1,5",   "1 5",  "12abc", "1d5", "\xff", "1\xff", std::string(1, '\x80') + "1"});
  // Zeros, rounding, the ends of the range and beyond.
  add({"-0",    "+0",       "-0.0e-0",  "00012", "000",     "0.",           ".0",           "0e0",
       "0.1",   "16777217", "16777219", "1e39",  "-1e39",   "3.4028235e38", "3.4028236e38", "-3.4028236e38",
       "1e-46", "-1e-46",   "7.1e-46",  "7e-46", "1.4e-45", "1.1754942e-38"});
  // Long digit strings and exponents.
  add({"340282356779733661637539395458142568448",
       "340282356779733661637539395458142568447",
       "1e-0000000000000000000000046",
       "1e+0000000000000000000000039",
       "1e99999999999999999999",
       "1e-99999999999999999999",
       "-0e99999999999999999999",
       "1" + zeros,
       "-1" + zeros,
       "0." + zeros + "1",
       "-0." + zeros + "1",
       zeros + "1",
       "0." + zeros + "1e5010",
       "0." + zeros + "1e5040",
       "1" + zeros + "e-5030",
       "1" + zeros + "e-5050",
       "1.000000059604644775390625" + zeros + "1",
       "1.000000059604644775390625" + zeros,
       longDigits,
       "." + longDigits,
       longDigits + "e-20030"});
  const std::vector<std::string> spaces = {"", " ", "\t", "\n", "\v", "\f", "\r", " \t\n\v\f\r "};
  std::vector<std::string> texts;
  for (const std::string& token : tokens) {
    for (const std::string& before : spaces) {
      for (const std::string& after : {std::string(), std::string(" "), std::string("\n7"), std::string("x"),
                                       std::string("."), std::string("e1")}) {
        texts.push_back(before + token + after);
      }
    }
  }
  for (const std::string& space : spaces) texts.push_back(space);
  return texts;
}

TEST(ReadFloatFieldAgainstStream, CraftedTexts) {
  if (!StreamIsTheReference()) GTEST_SKIP() << kNoReference;
  const std::vector<std::string> texts = CraftedTexts();
  CompareReaders(texts);
  for (const std::string& text : texts) {
    EXPECT_EQ(ReadOnce(ReadFloatField, text, false), ReadOnce(StreamRead, text, false))
        << "noskipws, text " << Shown(text);
  }
}

// A read float followed by an integer field, as in the command file.
TEST(ReadFloatFieldAgainstStream, FloatFollowedByAnInteger) {
  if (!StreamIsTheReference()) GTEST_SKIP() << kNoReference;
  for (const char* text : {"256.0 7", "256.0", "7.9 3", "1e 3", "1e39 3"}) {
    std::istringstream ours(text);
    std::istringstream theirs(text);
    float ourFloat = 0.0f;
    float theirFloat = 0.0f;
    int ourInt = -1;
    int theirInt = -1;
    ReadFloatField(ours, ourFloat) >> ourInt;
    theirs >> theirFloat >> theirInt;
    EXPECT_EQ(Bits(ourFloat), Bits(theirFloat)) << text;
    EXPECT_EQ(ourInt, theirInt) << text;
    EXPECT_EQ(ours.rdstate(), theirs.rdstate()) << text;
  }
}

TEST(ReadFloatFieldAgainstStream, ThrowingBufferWithEachExceptionMask) {
  if (!StreamIsTheReference()) GTEST_SKIP() << kNoReference;
  for (const std::string text : {"", " ", "12", " 1e", "-", " 2 "}) {
    for (const std::ios_base::iostate exceptions :
         {std::ios_base::goodbit, std::ios_base::badbit, std::ios_base::failbit, std::ios_base::eofbit}) {
      bool ourFailure = false;
      bool theirFailure = false;
      BrokenRead ours{};
      BrokenRead theirs{};
      try {
        ours = ReadFromBrokenBuffer(ReadFloatField, text, exceptions);
      } catch (const std::ios_base::failure&) {
        ourFailure = true;
      }
      try {
        theirs = ReadFromBrokenBuffer(StreamRead, text, exceptions);
      } catch (const std::ios_base::failure&) {
        theirFailure = true;
      }
      EXPECT_EQ(ourFailure, theirFailure) << Shown(text) << " exceptions " << exceptions;
      EXPECT_EQ(ours.state, theirs.state) << Shown(text) << " exceptions " << exceptions;
      EXPECT_EQ(ours.bits, theirs.bits) << Shown(text) << " exceptions " << exceptions;
      EXPECT_EQ(ours.rethrown, theirs.rethrown) << Shown(text) << " exceptions " << exceptions;
    }
  }
}

// Every text of up to six characters from a few that take each turn of a
// number.
TEST(ReadFloatFieldAgainstStream, EveryShortText) {
  if (!StreamIsTheReference()) GTEST_SKIP() << kNoReference;
  const std::string alphabet = "05+-.eE x";
  std::vector<std::string> texts = {""};
  for (size_t begin = 0, end = 1; texts.back().size() < 6; begin = end, end = texts.size()) {
    for (size_t i = begin; i < end; ++i) {
      for (const char c : alphabet) texts.push_back(texts[i] + c);
    }
  }
  CompareReaders(texts);
}

TEST(ReadFloatFieldAgainstStream, RandomShortTexts) {
  if (!StreamIsTheReference()) GTEST_SKIP() << kNoReference;
  const std::string alphabet = "0123456789+-.eE \t\n\v\f\rx";
  std::mt19937 random(20240611);
  std::uniform_int_distribution<size_t> length(0, 10);
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
  std::vector<std::string> texts(300000);
  for (std::string& text : texts) {
    const size_t n = length(random);
    for (size_t i = 0; i < n; ++i) text += alphabet[pick(random)];
  }
  CompareReaders(texts);
}

// Numbers of every shape and size: sign, digits, point, exponent, and what
// follows them.
TEST(ReadFloatFieldAgainstStream, RandomNumbers) {
  if (!StreamIsTheReference()) GTEST_SKIP() << kNoReference;
  std::mt19937 random(7);
  const auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const char* const signs[] = {"", "+", "-"};
  const char* const endings[] = {"", " ", "x", ".", "e", "-", "\n"};
  std::vector<std::string> texts(100000);
  for (std::string& text : texts) {
    text += std::string(static_cast<size_t>(below(3)), ' ');
    text += signs[below(3)];
    const int integerDigits = below(4) == 0 ? 0 : below(22);
    for (int i = 0; i < integerDigits; ++i) text += static_cast<char>('0' + below(10));
    if (below(3) != 0) {
      text += '.';
      const int fractionDigits = below(4) == 0 ? below(60) : below(12);
      for (int i = 0; i < fractionDigits; ++i)
        text += static_cast<char>('0' + (below(3) == 0 ? 0 : below(10)));
    }
    if (below(2) == 0) {
      text += below(2) == 0 ? 'e' : 'E';
      text += signs[below(3)];
      text += std::string(static_cast<size_t>(below(4) == 0 ? below(3) : 0), '0');
      text += std::to_string(below(100));
    }
    text += endings[below(7)];
  }
  CompareReaders(texts);
}

// The exact decimal value of each halfway point between two neighbouring
// floats, and that value nudged up and down in its last digits: where
// rounding is hardest.
TEST(ReadFloatFieldAgainstStream, HalfwayPoints) {
  if (!StreamIsTheReference()) GTEST_SKIP() << kNoReference;
  std::mt19937 random(11);
  std::vector<std::string> texts;
  for (int i = 0; i < 20000; ++i) {
    // Every exponent alike, subnormals and the top of the range included.
    const uint32_t bits = i == 0 ? 0x7f7fffffu : i == 1 ? 0x007fffffu : random() % 0x7f800000u;
    const double low = FromBits(bits);
    const double high = bits == 0x7f7fffffu ? 340282366920938463463374607431768211456.0 : FromBits(bits + 1);
    const double halfway = (low + high) / 2;  // exact: 25 significant bits
    // 160 digits after the point hold every halfway point exactly.
    char exact[256];
    std::snprintf(exact, sizeof exact, "%.160e", halfway);
    const std::string digits(exact);
    const size_t e = digits.find('e');
    const std::string mantissa = digits.substr(0, e);
    const std::string exponent = digits.substr(e);
    // Just below: the last nonzero digit one less, every digit after it 9.
    std::string lower = mantissa;
    const size_t last = lower.find_last_not_of("0.");
    lower[last] = static_cast<char>(lower[last] - 1);
    for (size_t k = last + 1; k < lower.size(); ++k) {
      if (lower[k] == '0') lower[k] = '9';
    }
    const std::string sign = random() % 2 == 0 ? "" : "-";
    texts.push_back(sign + mantissa + exponent);
    texts.push_back(sign + mantissa + "1" + exponent);
    texts.push_back(sign + lower + exponent);
  }
  CompareReaders(texts);
}

}  // namespace
