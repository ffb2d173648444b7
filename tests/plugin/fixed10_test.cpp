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

TEST(TruncateToInt32Test, TruncatesTowardZeroAndMapsTheUndefinedToZero) {
  EXPECT_EQ(TruncateToInt32(100.99), 100);
  EXPECT_EQ(TruncateToInt32(-1.7), -1);
  EXPECT_EQ(TruncateToInt32(2147483647.9), 2147483647);
  EXPECT_EQ(TruncateToInt32(-2147483648.9), INT32_MIN);
  EXPECT_EQ(TruncateToInt32(2147483648.0), 0);
  EXPECT_EQ(TruncateToInt32(-2147483649.0), 0);
  EXPECT_EQ(TruncateToInt32(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(TruncateToInt32(std::numeric_limits<double>::infinity()), 0);
  EXPECT_EQ(TruncateToInt32(-std::numeric_limits<double>::infinity()), 0);
}

}  // namespace
