#include "platform/pow.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using platform::PortablePow;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kTiny = std::numeric_limits<double>::denorm_min();
constexpr double kBelowOne = 0x1.fffffffffffffp-1;  // 1 - 2^-53
constexpr double kAboveOne = 0x1.0000000000001p0;   // 1 + 2^-52

// A tenth of the random points under the sanitizers, which make the
// arithmetic about 20 times slower.
#if defined(__SANITIZE_ADDRESS__) || defined(TOOLKIT_SANITIZED_BUILD)
constexpr int kSweepScale = 10;
#else
constexpr int kSweepScale = 1;
#endif

uint64_t Bits(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

double FromBits(uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::string Describe(double value) {
  std::ostringstream text;
  text << std::hexfloat << value << " (0x" << std::hex << Bits(value) << ")";
  return text.str();
}

// Compares bit patterns, so that -0 differs from +0 and NaNs by payload.
::testing::AssertionResult SameBits(double expected, double actual) {
  if (Bits(expected) == Bits(actual)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "expected " << Describe(expected) << ", got " << Describe(actual);
}

struct Case {
  double x;
  double y;
  double expected;
};

void ExpectCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_TRUE(SameBits(c.expected, PortablePow(c.x, c.y)))
        << std::hexfloat << "pow(" << c.x << ", " << c.y << ")";
  }
}

double UnitRandom(std::mt19937_64& rng) { return static_cast<double>(rng() >> 11) * 0x1p-53; }

// A positive finite double from uniformly random bits: every binade, the
// subnormals included, equally likely.
double AnyPositive(std::mt19937_64& rng) {
  for (;;) {
    const double x = FromBits(rng() >> 1);
    if (x != 0.0 && x < kInf) return x;
  }
}

TEST(PortablePowTest, SpecialCasesFollowC99) {
  ExpectCases({
      {0.0, 0.0, 1.0},           {-kInf, -0.0, 1.0},      {1.0, kInf, 1.0},         {1.0, -kInf, 1.0},
      {-1.0, kInf, 1.0},         {-1.0, -kInf, 1.0},      {-1.0, 0x1p80, 1.0},      {-1.0, 3.0, -1.0},
      {0.5, kInf, 0.0},          {0.5, -kInf, kInf},      {-2.0, kInf, kInf},       {2.0, -kInf, 0.0},
      {kBelowOne, kInf, 0.0},    {kAboveOne, -kInf, 0.0}, {0.0, -kInf, kInf},       {-0.0, kInf, 0.0},
      {0.0, 3.0, 0.0},           {-0.0, 3.0, -0.0},       {-0.0, 2.0, 0.0},         {-0.0, 0.5, 0.0},
      {-0.0, 0x1p60, 0.0},       {-0.0, -3.0, -kInf},     {-0.0, -2.0, kInf},       {-0.0, -0.5, kInf},
      {0.0, -1.0, kInf},         {kInf, 0.5, kInf},       {kInf, -kTiny, 0.0},      {-kInf, 3.0, -kInf},
      {-kInf, 2.0, kInf},        {-kInf, 2.5, kInf},      {-kInf, -3.0, -0.0},      {-kInf, -2.5, 0.0},
      {-2.0, 3.0, -8.0},         {-2.0, -3.0, -0.125},    {-0.5, 2.0, 0.25},        {-3.0, 0x1p53, kInf},
      {-3.0, 0x1p53 - 1, -kInf}, {-2.0, 1025.0, -kInf},   {-2.0, -1075.0, -0.0},    {-0.5, 1101.0, -0.0},
      {2.0, 0x1p64, kInf},       {2.0, -0x1p64, 0.0},     {kAboveOne, 1e300, kInf}, {kBelowOne, 1e300, 0.0},
      {kMax, kTiny, 1.0},        {kTiny, -kTiny, 1.0},
  });
}

TEST(PortablePowTest, NaNsComeOutAsOnGlibc) {
  const double quiet = FromBits(0x7ff8000000000001);
  const double quiet_negative = FromBits(0xfff8000000000002);
  const double signaling = FromBits(0x7ff0000000000003);
  const double signaling_negative = FromBits(0xfff0000000000004);
  ExpectCases({
      // A negative finite x with a finite non-integer y: SSE2's own 0/0.
      {-2.0, 0.5, FromBits(0xfff8000000000000)},
      {-kMax, -1.5, FromBits(0xfff8000000000000)},
      {-kTiny, 0x1p52 - 0.5, FromBits(0xfff8000000000000)},
      // x = 1 and y = 0 win over a quiet NaN but not over a signaling one.
      {1.0, quiet_negative, 1.0},
      {quiet, -0.0, 1.0},
      {1.0, signaling_negative, FromBits(0xfff8000000000004)},
      {signaling, 0.0, FromBits(0x7ff8000000000003)},
      // x's NaN before y's, quietened.
      {quiet, quiet_negative, quiet},
      {quiet_negative, signaling, quiet_negative},
      {signaling, quiet_negative, FromBits(0x7ff8000000000003)},
      {2.0, signaling_negative, FromBits(0xfff8000000000004)},
      {-1.0, quiet, quiet},
      {-kInf, quiet_negative, quiet_negative},
      // A NaN x with the sign bit loses it to an odd integer y, as a negative x would.
      {quiet_negative, 3.0, FromBits(0x7ff8000000000002)},
      {signaling_negative, -1.0, FromBits(0x7ff8000000000004)},
      {quiet_negative, 2.0, quiet_negative},
      {quiet_negative, 0.5, quiet_negative},
      {quiet_negative, kInf, quiet_negative},
  });
}

TEST(PortablePowTest, ExactPowersAndRoots) {
  ExpectCases({
      {2.0, 10.0, 1024.0},
      {2.0, 1023.0, 0x1p1023},
      {2.0, -1074.0, kTiny},
      {0.5, 1074.0, kTiny},
      {0x1p-1074, 0.5, 0x1p-537},
      {0x1p-1000, 1.0, 0x1p-1000},
      {4.0, 0.5, 2.0},
      {0x1p-64, -0.25, 0x1p16},
      {3.0, 2.0, 9.0},
      {-1.5, 3.0, -3.375},
      {10.0, 22.0, 1e22},  // 5^22 < 2^53
      {9.0, 0.5, 3.0},
      {81.0, 0.25, 3.0},
      {0.25, -0.5, 2.0},
      {1e22, 0.5, 1e11},
      {2.25, 1.5, 3.375},
      {9 * kTiny, 0.5, 3 * 0x1p-537},  // the root of a subnormal
      {3.0, -1.0, 1.0 / 3.0},
      {0.1, 1.0, 0.1},
      {3 * kTiny, 1.0, 3 * kTiny},
      {kMax, 1.0, kMax},
      {kMax, -1.0, 0x1p-1024},  // 2^-1024 (1 + 2^-53 + ...) on the subnormal grid
  });
  // Decimal literals are correctly rounded by the compiler.
  const double tens[] = {1e-30, 1e-23, 1e-22, 1e-5, 0.1, 1e5, 1e15, 1e22, 1e23, 1e30, 1e300};
  const int exponents[] = {-30, -23, -22, -5, -1, 5, 15, 22, 23, 30, 300};
  for (int i = 0; i < 11; ++i)
    EXPECT_TRUE(SameBits(tens[i], PortablePow(10.0, exponents[i]))) << exponents[i];
}

TEST(PortablePowTest, ExactMidpointsRoundToEven) {
  ExpectCases({
      // 3^34 = 16677181699666569, between 16677181699666568 and ...570.
      {3.0, 34.0, 16677181699666568.0},
      {0.75, 34.0, 16677181699666568.0 * 0x1p-68},
      // (2^27 - 1)^2 = 2^54 - 2^28 + 1, between 2^54 - 2^28 (even) and + 2.
      {134217727.0, 2.0, 18014398241046528.0},
      {-134217727.0, 2.0, 18014398241046528.0},
      // 3^5 2^-1075 = 121.5 * 2^-1074 and 5^5 2^-1075 = 1562.5 * 2^-1074.
      {3 * 0x1p-215, 5.0, 122 * kTiny},
      {-5 * 0x1p-215, 5.0, -1562 * kTiny},
      // 2^-1075, halfway between 0 and the smallest subnormal.
      {2.0, -1075.0, 0.0},
      {0.5, 1075.0, 0.0},
      {4.0, -537.5, 0.0},
      // Through roots: 1773^5 = 17520386319420093 has 54 bits, and
      // (9 2^-430)^2.5 = 243 2^-1075.
      {3143529.0, 2.5, 17520386319420092.0},
      {9881774573841.0, 1.25, 17520386319420092.0},
      {9 * 0x1p-430, 2.5, 122 * kTiny},
  });
}

TEST(PortablePowTest, NearMidpointsRoundToTheNearerSide) {
  ExpectCases({
      // (1 - e)^1.5 = 1 - 1.5e + 0.375e^2 with e = 2^-53: above the midpoint 1 - 1.5e.
      {kBelowOne, 1.5, kBelowOne},
      // (1 - e)^0.5 = 1 - e/2 - e^2/8: below the midpoint 1 - e/2.
      {kBelowOne, 0.5, kBelowOne},
      // (1 - e)^-1 = 1 + e + e^2: above the midpoint 1 + e.
      {kBelowOne, -1.0, kAboveOne},
      // (1 + 2e)^0.5 = 1 + e - e^2/2: below the midpoint 1 + e.
      {kAboveOne, 0.5, 1.0},
      // (1 + 2e)^1.5 = 1 + 3e + 1.5e^2: above the midpoint 1 + 3e.
      {kAboveOne, 1.5, 0x1.0000000000002p0},
      // (2^-1022 (1 - 2e))^-0.5 = 2^511 (1 + e + 1.5e^2): above the midpoint.
      {0x0.fffffffffffffp-1022, -0.5, 0x1.0000000000001p511},
      // (2^1024 (1 - e))^0.5 = 2^512 (1 - e/2 - e^2/8): below the midpoint.
      {kMax, 0.5, 0x1.fffffffffffffp511},
  });
}

// x^2, x^0.5 and x^-1 are one IEEE operation each, rounded correctly by the
// processor, subnormal results and ties included.
TEST(PortablePowTest, MatchesCorrectlyRoundedArithmetic) {
  std::mt19937_64 rng(20240611);
  std::vector<double> xs;
  for (int i = 0; i < 200000 / kSweepScale; ++i) xs.push_back(AnyPositive(rng));
  // Near 1, where powers lie very close to midpoints.
  for (int k = 1; k <= 64; ++k) {
    xs.push_back(1.0 + k * 0x1p-52);
    xs.push_back(1.0 - k * 0x1p-53);
    xs.push_back((1.0 + k * 0x1p-52) * 0x1p600);
    xs.push_back((1.0 - k * 0x1p-53) * 0x1p-1000);
  }
  // 27-bit odd significands square to ties; their neighbours do not.
  for (int i = 0; i < 20000 / kSweepScale; ++i) {
    const double m = static_cast<double>((rng() >> 38) | (1u << 26) | 1u);
    const double x = m * FromBits(static_cast<uint64_t>(1023 - 26 + static_cast<int>(rng() % 64) - 32) << 52);
    xs.push_back(x);
    xs.push_back(x * kAboveOne);
  }
  // Squares reaching into the subnormals.
  for (int i = 0; i < 20000 / kSweepScale; ++i) xs.push_back((1.0 + UnitRandom(rng)) * 0x1p-540);
  for (const double x : xs) {
    ASSERT_TRUE(SameBits(x * x, PortablePow(x, 2.0))) << std::hexfloat << x;
    ASSERT_TRUE(SameBits(std::sqrt(x), PortablePow(x, 0.5))) << std::hexfloat << x;
    ASSERT_TRUE(SameBits(1.0 / x, PortablePow(x, -1.0))) << std::hexfloat << x;
    ASSERT_TRUE(SameBits(x * x, PortablePow(-x, 2.0))) << std::hexfloat << x;
    ASSERT_TRUE(SameBits(-1.0 / x, PortablePow(-x, -1.0))) << std::hexfloat << x;
  }
}

// The comparisons with glibc exist only where glibc's pow is the reference
// one (not on 32-bit x86, whose glibc computes pow on the x87 stack).
#if defined(__GLIBC__) && !defined(__i386__)

// Where glibc's pow (0.52 ulp) is not correctly rounded it can differ from
// PortablePow in the last bit: then the two are neighbours and x^y lies within
// a tiny part of an ulp of the midpoint between them. powl, with 11 more bits
// and an error below 2^-11 of a double's ulp, says how close, and where it
// can tell which side, that PortablePow took the right one.
::testing::AssertionResult SameOrGlibcMisrounded(double x, double y) {
  const double mine = PortablePow(x, y);
  const double glibc = std::pow(x, y);
  if (Bits(mine) == Bits(glibc)) return ::testing::AssertionSuccess();
  auto failure = [&]() {
    return ::testing::AssertionFailure() << "pow(" << Describe(x) << ", " << Describe(y) << "): PortablePow "
                                         << Describe(mine) << ", glibc " << Describe(glibc);
  };
  const uint64_t a = Bits(mine);
  const uint64_t b = Bits(glibc);
  if (!(std::fabs(mine) < kInf) || !(std::fabs(glibc) < kInf) || (a > b ? a - b : b - a) != 1)
    return failure();
  const long double exact = powl(x, y);
  const long double midpoint = (static_cast<long double>(mine) + glibc) / 2;
  // Offset of x^y from the midpoint toward PortablePow's result, in ulps.
  const long double offset = (exact - midpoint) / (static_cast<long double>(mine) - glibc);
  if (offset < -0x1p-8L)
    return failure() << ": powl puts x^y on glibc's side, " << static_cast<double>(offset);
  if (offset > 0x1p-6L) return failure() << ": x^y is not near the midpoint, " << static_cast<double>(offset);
  return ::testing::AssertionSuccess();
}

TEST(PortablePowGlibcTest, SpecialValuesMatchBitForBit) {
  std::vector<double> xs;
  std::vector<double> ys;
  for (const double x : {0.0, kTiny, 3 * kTiny, 0x1p-1022, 0x1.5p-1030, 0.1, 0.5, 0.75, 1.0, 1.5, 2.0, 3.0,
                         7.0, 10.0, 0x1p512, 1e300, kMax, kInf}) {
    xs.push_back(x);
    xs.push_back(-x);
  }
  for (const uint64_t nan :
       {0x7ff8000000000000u, 0xfff8000000000000u, 0x7ff0000000000001u, 0xfff4000000000123u}) {
    xs.push_back(FromBits(nan));
    ys.push_back(FromBits(nan));
  }
  for (const double y : {0.0,    kTiny,      0x1p-1022, 1e-300,     0.25,   0.5,    1.0,    1.5,    2.0,
                         2.5,    3.0,        1.0 / 3.0, 1e5,        1022.0, 1023.0, 1024.0, 1074.0, 1075.0,
                         0x1p52, 0x1p53 - 1, 0x1p53,    0x1p53 + 2, 0x1p63, 0x1p64, 0x1p65, 1e300,  kInf}) {
    ys.push_back(y);
    ys.push_back(-y);
  }
  for (const double x : xs) {
    for (const double y : ys)
      EXPECT_TRUE(SameBits(std::pow(x, y), PortablePow(x, y))) << std::hexfloat << x << " " << y;
  }
}

// The generator's Exponent module: x = |(v + 1) / 2| for v in [-3, 3] and
// y = n + f, n in [-40, 40], f a float in [-1, 1] (its value uniform, or its
// bits uniform, which brings many tiny f and so integer y).
TEST(PortablePowGlibcTest, ExponentModuleDomainMatches) {
  std::mt19937_64 rng(7);
  for (int i = 0; i < 1000000 / kSweepScale; ++i) {
    const double x = std::fabs((6.0 * UnitRandom(rng) - 3.0 + 1.0) / 2.0);
    const int n = static_cast<int>(rng() % 81) - 40;
    float f = static_cast<float>(2.0 * UnitRandom(rng) - 1.0);
    if (i % 2 == 1) {
      do {
        const uint32_t f_bits = static_cast<uint32_t>(rng());
        std::memcpy(&f, &f_bits, sizeof f);
      } while (!(std::fabs(f) <= 1.0f));
    }
    ASSERT_TRUE(SameOrGlibcMisrounded(x, n + static_cast<double>(f)));
  }
}

TEST(PortablePowGlibcTest, WideDomainMatches) {
  std::mt19937_64 rng(11);
  for (int i = 0; i < 250000 / kSweepScale; ++i) {
    // Every binade of x with y in [-1000, 1000].
    const double x = AnyPositive(rng);
    ASSERT_TRUE(SameOrGlibcMisrounded(x, 2000.0 * UnitRandom(rng) - 1000.0));
    // Negative x with integer y, odd or even.
    ASSERT_TRUE(SameOrGlibcMisrounded(-x, static_cast<double>(static_cast<int>(rng() % 201) - 100)));
    // x near 1 with |y| up to 2^64, the results mostly finite.
    const double near_one = 1.0 + (2.0 * UnitRandom(rng) - 1.0) * FromBits((1023 - rng() % 53) << 52);
    ASSERT_TRUE(
        SameOrGlibcMisrounded(near_one, (2.0 * UnitRandom(rng) - 1.0) * FromBits((1023 + rng() % 65) << 52)));
    // Any y bits at all: overflow, underflow, huge and tiny y.
    ASSERT_TRUE(
        SameOrGlibcMisrounded(AnyPositive(rng), FromBits(rng() & 0x7fefffffffffffffu) * (i % 2 ? 1 : -1)));
  }
}

#endif

}  // namespace
