// The engine numbers the engine stand-in hands to the plug-in.
#include "platform/engine_stand_in.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace {

TEST(EngineStandInTest, RealValuesBecomeEngineNumbersTruncatedOrRounded) {
  EXPECT_EQ(platform::ToFixed10(1.5), 1536);
  EXPECT_EQ(platform::ToFixed10(-1.5), -1536);
  // 0.0009 x 1024 = 0.92: truncation gives 0 on both sides, rounding 1.
  EXPECT_EQ(platform::ToFixed10(0.0009), 0);
  EXPECT_EQ(platform::ToFixed10(-0.0009), 0);
  EXPECT_EQ(platform::RoundToFixed10(0.0009), 1);
  EXPECT_EQ(platform::RoundToFixed10(-0.0009), -1);
  EXPECT_EQ(platform::RoundToFixed10(0.0004), 0);
  EXPECT_DOUBLE_EQ(platform::FromFixed10(platform::RoundToFixed10(704.328125)), 704.328125);
}

TEST(EngineStandInTest, ValuesOutsideEngineNumbersSaturate) {
  EXPECT_EQ(platform::ToFixed10(std::nan("")), 0);
  EXPECT_EQ(platform::RoundToFixed10(std::nan("")), 0);
  EXPECT_EQ(platform::ToFixed10(1e12), INT32_MAX);
  EXPECT_EQ(platform::RoundToFixed10(-1e12), INT32_MIN);
  EXPECT_EQ(platform::ToFixed10(std::numeric_limits<double>::infinity()), INT32_MAX);
  // The largest value that still fits: 2097151.999 x 1024 truncates to INT32_MAX - 1.
  EXPECT_EQ(platform::ToFixed10(2097151.999), 2147483646);
}

}  // namespace
