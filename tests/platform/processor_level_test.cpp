// The processor level read from CPUID and XGETBV is the one the compiler's
// own run-time check names.
#include "platform/processor_level.h"

#include <gtest/gtest.h>

namespace {

TEST(ProcessorLevel, AgreesWithTheCompilersCheck) {
#if defined(__GNUC__) && !defined(__clang__) && (defined(__x86_64__) || defined(__i386__))
  __builtin_cpu_init();
  const platform::ProcessorLevel expected = __builtin_cpu_supports("x86-64-v4")   ? platform::ProcessorLevel::kX86_64V4
                                            : __builtin_cpu_supports("x86-64-v3") ? platform::ProcessorLevel::kX86_64V3
                                                                                  : platform::ProcessorLevel::kBaseline;
  EXPECT_EQ(platform::HighestProcessorLevel(), expected);
#else
  GTEST_SKIP() << "no x86 level check in this compiler";
#endif
}

}  // namespace
