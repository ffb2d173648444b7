// The x86-64 microarchitecture level of the processor the program runs on.
#pragma once

namespace platform {

// The levels that code may be compiled for: the x86-64 baseline (and every
// processor of another kind), x86-64-v3 (AVX2, FMA, BMI2) and x86-64-v4
// (AVX-512 F, BW, CD, DQ, VL), each including the one before.
enum class ProcessorLevel { kBaseline, kX86_64V3, kX86_64V4 };

// The highest level that this processor and its operating system support,
// read from CPUID and XGETBV (the system must save the wide registers too),
// in 32-bit x86 code as in 64-bit. kBaseline on processors other than x86.
ProcessorLevel HighestProcessorLevel();

}  // namespace platform
