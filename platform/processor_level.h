// The x86-64 microarchitecture level of the processor the program runs on.
#pragma once

namespace platform {

// The levels that code may be compiled for: the x86-64 baseline (and every
// processor of another kind), x86-64-v3 (AVX2, FMA, BMI2) and x86-64-v4
// (AVX-512 F, BW, CD, DQ, VL), each including the one before.
enum class ProcessorLevel { kBaseline, kX86_64V3, kX86_64V4 };

// The highest level that this processor and its operating system support
// (the system must save the wide registers too). kBaseline on processors
// other than x86-64.
ProcessorLevel HighestProcessorLevel();

}  // namespace platform
