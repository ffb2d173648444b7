#include "plugin/fixed10.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "plugin/float_to_int.h"

namespace {

using namespace loamwriter;

TEST(Fixed10Test, ReadsRealsAsValueOver1024RoundedToFloat) {
  EXPECT_EQ(Fixed10ToReal(1536), 1.5f);
  EXPECT_EQ(Fixed10ToReal(-512), -0.5f);
  EXPECT_EQ(Fixed10ToReal(1), 0.0009765625f);
  // 2^24 + 1 stands for 16384.0009765625, which a float cannot hold.
  EXPECT_EQ(Fixed10ToReal((1 << 24) + 1), 16384.0f);
  // One rounding only: 2^31 - 1 over 1024 rounds to 2^21 exactly.
  EXPECT_EQ(Fixed10ToReal(INT32_MAX), 2097152.0f);
  EXPECT_EQ(Fixed10ToReal(INT32_MIN), -2097152.0f);
}

TEST(Fixed10Test, ReadsIntegersAsTheIntegerPartTowardNegativeInfinity) {
  EXPECT_EQ(Fixed10ToInt(1536), 1);
  EXPECT_EQ(Fixed10ToInt(1023), 0);
  EXPECT_EQ(Fixed10ToInt(-1), -1);
  EXPECT_EQ(Fixed10ToInt(-1024), -1);
  EXPECT_EQ(Fixed10ToInt(-1025), -2);
  EXPECT_EQ(Fixed10ToInt(INT32_MIN), -2097152);
}

TEST(Fixed10Test, ReturnsIntegersShiftedAndTruthAs1024) {
  EXPECT_EQ(IntToFixed10(1), 1024);
  EXPECT_EQ(IntToFixed10(100), 102400);
  EXPECT_EQ(IntToFixed10(65535), 67107840);
  EXPECT_EQ(IntToFixed10(-3), -3072);
  EXPECT_EQ(TruthToFixed10(true), 1024);
  EXPECT_EQ(TruthToFixed10(false), 0);
}

// Packed fields keep the low bits of the truncation; whatever a conversion
// could not define gives 0, also where the bits of a wider integer would not
// (2^31 + 5 is 5 in its low bits).
TEST(TruncateLowBitsTest, KeepsTheLowBitsAndMapsTheUndefinedToZero) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  EXPECT_EQ(TruncateLow16(100.99), 100);
  EXPECT_EQ(TruncateLow16(-1.7), 0xFFFF);
  EXPECT_EQ(TruncateLow16(70000.2), 70000 - 65536);
  EXPECT_EQ(TruncateLow16(2147418117.9), 5);  // 0x7FFF0005
  EXPECT_EQ(TruncateLow16(-2147483648.9), 0);
  for (double undefined :
       {2147483648.0, 2147483653.0, -2147483649.0, -2147483653.0, nan, infinity, -infinity}) {
    EXPECT_EQ(TruncateLow16(undefined), 0) << undefined;
    EXPECT_EQ(TruncateLow8(undefined), 0) << undefined;
  }
  EXPECT_EQ(TruncateLow8(-127.5), 0x81);
  EXPECT_EQ(TruncateLow8(254.9), 254);
  EXPECT_EQ(TruncateLow8(2147483521.5), 0x81);  // 0x7FFFFF81, still in range
}

}  // namespace
