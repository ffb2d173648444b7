// How a builder evaluates a chain plan: in blocks by the batch evaluator with
// the kernels of one processor level, or, where libnoise is present, point by
// point through libnoise's modules.
#pragma once

#include <string>
#include <vector>

#include "noisemap/batch_kernels.h"

namespace noise {
namespace utils {

// kLibnoise calls the GetValue of libnoise modules built from the plan for
// every point; a build without libnoise does not offer it. The others
// evaluate blocks of points with the batch kernels compiled for any
// processor (kPortable), for x86-64-v3 (AVX2) or for x86-64-v4 (AVX-512);
// all give libnoise's values to the bit.
enum class EvaluatorChoice { kLibnoise, kPortable, kX86_64V3, kX86_64V4 };

// The batch kernels of the highest level that this processor runs.
EvaluatorChoice BestEvaluator();
// The choices this build and processor run: kLibnoise (where libnoise is
// present), kPortable and the x86 levels it has, in that order.
std::vector<EvaluatorChoice> AvailableEvaluators();
// The choice's name as the environment gives it: "libnoise", "portable",
// "x86-64-v3" or "x86-64-v4".
const char* EvaluatorName(EvaluatorChoice choice);

// Reads a choice by name: an empty text or "batch" gives BestEvaluator().
// An unknown name, "libnoise" in a build without libnoise, or a level this
// processor lacks, throws noise::ExceptionInvalidParam whose message names
// `variable`.
EvaluatorChoice ParseEvaluatorChoice(const std::string& text, const char* variable);

// The kernels of a batch choice; kLibnoise has none and is the caller's
// fault.
const batch::KernelTable& KernelsOf(EvaluatorChoice choice);

}  // namespace utils
}  // namespace noise
