#include "noisemap/evaluator_choice.h"

#include <cassert>

#include "noisemap/error.h"
#include "platform/processor_level.h"

namespace noise {
namespace utils {
namespace {

constexpr EvaluatorChoice kAllChoices[] = {EvaluatorChoice::kLibnoise, EvaluatorChoice::kPortable,
                                           EvaluatorChoice::kX86_64V3, EvaluatorChoice::kX86_64V4};

bool Runs(EvaluatorChoice choice) {
  static const platform::ProcessorLevel level = platform::HighestProcessorLevel();
  switch (choice) {
    case EvaluatorChoice::kX86_64V3:
      return level >= platform::ProcessorLevel::kX86_64V3;
    case EvaluatorChoice::kX86_64V4:
      return level >= platform::ProcessorLevel::kX86_64V4;
    default:
      return true;
  }
}

}  // namespace

EvaluatorChoice BestEvaluator() {
  if (Runs(EvaluatorChoice::kX86_64V4)) return EvaluatorChoice::kX86_64V4;
  if (Runs(EvaluatorChoice::kX86_64V3)) return EvaluatorChoice::kX86_64V3;
  return EvaluatorChoice::kPortable;
}

std::vector<EvaluatorChoice> AvailableEvaluators() {
  std::vector<EvaluatorChoice> choices;
  for (EvaluatorChoice choice : kAllChoices) {
    if (Runs(choice)) choices.push_back(choice);
  }
  return choices;
}

const char* EvaluatorName(EvaluatorChoice choice) {
  switch (choice) {
    case EvaluatorChoice::kLibnoise:
      return "libnoise";
    case EvaluatorChoice::kPortable:
      return "portable";
    case EvaluatorChoice::kX86_64V3:
      return "x86-64-v3";
    case EvaluatorChoice::kX86_64V4:
      return "x86-64-v4";
  }
  return "?";
}

EvaluatorChoice ParseEvaluatorChoice(const std::string& text, const char* variable) {
  if (text.empty() || text == "batch") return BestEvaluator();
  for (EvaluatorChoice choice : kAllChoices) {
    if (text != EvaluatorName(choice)) continue;
    if (!Runs(choice)) {
      throw InvalidParamError(std::string(variable) + "=\"" + text + "\" names a level this processor lacks");
    }
    return choice;
  }
  throw InvalidParamError(std::string(variable) + "=\"" + text +
                          "\" is none of batch, libnoise, portable, x86-64-v3, x86-64-v4");
}

const batch::KernelTable& KernelsOf(EvaluatorChoice choice) {
  assert(choice != EvaluatorChoice::kLibnoise);
  if (choice == EvaluatorChoice::kX86_64V4) return batch::X86_64V4Kernels();
  if (choice == EvaluatorChoice::kX86_64V3) return batch::X86_64V3Kernels();
  return batch::PortableKernels();
}

}  // namespace utils
}  // namespace noise
