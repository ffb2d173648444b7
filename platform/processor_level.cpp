#include "platform/processor_level.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <cpuid.h>

#include <cstdint>
#endif

namespace platform {

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))  // x86, 32- and 64-bit, any system
namespace {

struct Registers {
  unsigned a = 0, b = 0, c = 0, d = 0;
};

// CPUID leaf `leaf`, subleaf `subleaf`; all zero when the processor has no
// such leaf.
Registers Cpuid(unsigned leaf, unsigned subleaf) {
  Registers r;
  if (__get_cpuid_max(leaf & 0x80000000u, nullptr) < leaf) return r;
  __cpuid_count(leaf, subleaf, r.a, r.b, r.c, r.d);
  return r;
}

bool Bit(unsigned word, int bit) { return ((word >> bit) & 1u) != 0; }

// The register states that the system saves on a switch (XCR0); read only
// when CPUID says the system has enabled XGETBV (OSXSAVE).
uint64_t SavedStates() {
  unsigned low = 0, high = 0;
  __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return (static_cast<uint64_t>(high) << 32) | low;
}

}  // namespace

ProcessorLevel HighestProcessorLevel() {
  const Registers one = Cpuid(1, 0);
  const Registers seven = Cpuid(7, 0);
  const Registers extended = Cpuid(0x80000001u, 0);
  // x86-64-v2: CMPXCHG16B, LAHF/SAHF, POPCNT, SSE3, SSE4.1, SSE4.2, SSSE3.
  const bool v2 = Bit(one.c, 13) && Bit(extended.c, 0) && Bit(one.c, 23) && Bit(one.c, 0) && Bit(one.c, 19) &&
                  Bit(one.c, 20) && Bit(one.c, 9);
  // The system must save the wide registers: XMM and YMM for v3, and the
  // opmask and both halves of the ZMM registers for v4.
  const bool osxsave = Bit(one.c, 27);
  const uint64_t saved = osxsave ? SavedStates() : 0;
  const bool ymmSaved = (saved & 0x6) == 0x6;
  const bool zmmSaved = (saved & 0xe6) == 0xe6;
  // x86-64-v3: AVX, AVX2, BMI1, BMI2, F16C, FMA, LZCNT, MOVBE, XSAVE.
  const bool v3 = v2 && ymmSaved && Bit(one.c, 28) && Bit(seven.b, 5) && Bit(seven.b, 3) && Bit(seven.b, 8) &&
                  Bit(one.c, 29) && Bit(one.c, 12) && Bit(extended.c, 5) && Bit(one.c, 22) && Bit(one.c, 26);
  // x86-64-v4: AVX-512 F, BW, CD, DQ, VL.
  const bool v4 = v3 && zmmSaved && Bit(seven.b, 16) && Bit(seven.b, 30) && Bit(seven.b, 28) &&
                  Bit(seven.b, 17) && Bit(seven.b, 31);
  return v4 ? ProcessorLevel::kX86_64V4 : v3 ? ProcessorLevel::kX86_64V3 : ProcessorLevel::kBaseline;
}
#else  // other processors run the baseline code
ProcessorLevel HighestProcessorLevel() { return ProcessorLevel::kBaseline; }
#endif

}  // namespace platform
