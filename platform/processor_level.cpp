#include "platform/processor_level.h"

namespace platform {

ProcessorLevel HighestProcessorLevel() {
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)  // GCC names the levels itself
  __builtin_cpu_init();
  if (__builtin_cpu_supports("x86-64-v4")) return ProcessorLevel::kX86_64V4;
  if (__builtin_cpu_supports("x86-64-v3")) return ProcessorLevel::kX86_64V3;
  return ProcessorLevel::kBaseline;
#elif defined(__x86_64__) && defined(__GNUC__)  // clang: the features the levels add
  __builtin_cpu_init();
  const bool v3 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") &&
                  __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("bmi");
  const bool v4 = v3 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                  __builtin_cpu_supports("avx512cd") && __builtin_cpu_supports("avx512dq") &&
                  __builtin_cpu_supports("avx512vl");
  return v4 ? ProcessorLevel::kX86_64V4 : v3 ? ProcessorLevel::kX86_64V3 : ProcessorLevel::kBaseline;
#else                                           // other processors run the baseline code
  return ProcessorLevel::kBaseline;
#endif
}

}  // namespace platform
