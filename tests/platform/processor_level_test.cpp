// The processor level read from CPUID and XGETBV agrees with the compiler's
// own run-time checks of the features the kernels use (which include the
// system's saving of the wide registers). GCC names the levels only for
// 64-bit code, so the features are asked one by one.
#include "platform/processor_level.h"

#include <gtest/gtest.h>

namespace {

TEST(ProcessorLevel, AgreesWithTheCompilersCheck) {
#if defined(__GNUC__) && !defined(__clang__) && (defined(__x86_64__) || defined(__i386__))
  __builtin_cpu_init();
  const bool v3 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") &&
                  __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
                  __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("sse4.2");
  const bool v4 = v3 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                  __builtin_cpu_supports("avx512cd") && __builtin_cpu_supports("avx512dq") &&
                  __builtin_cpu_supports("avx512vl");
  const platform::ProcessorLevel expected = v4   ? platform::ProcessorLevel::kX86_64V4
                                            : v3 ? platform::ProcessorLevel::kX86_64V3
                                                 : platform::ProcessorLevel::kBaseline;
  EXPECT_EQ(platform::HighestProcessorLevel(), expected);
#else
  GTEST_SKIP() << "no x86 level check in this compiler";
#endif
}

}  // namespace
