#include "noisemap/evaluator_choice.h"

#include <cassert>

#include "noisemap/error.h"
#include "platform/processor_level.h"

namespace noise {
namespace utils {
namespace {

// Every evaluator with the name DUNEFORGE_EVALUATOR gives it, weakest first.
struct NamedChoice {
  EvaluatorChoice choice;
  const char* name;
};
constexpr NamedChoice kAllChoices[] = {
#if TOOLKIT_WITH_LIBNOISE
    {EvaluatorChoice::kLibnoise, "libnoise"},
#endif
    {EvaluatorChoice::kPortable, "portable"},
    {EvaluatorChoice::kX86_64V3, "x86-64-v3"},
    {EvaluatorChoice::kX86_64V4, "x86-64-v4"}};

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
  for (const NamedChoice& named : kAllChoices) {
    if (Runs(named.choice)) choices.push_back(named.choice);
  }
  return choices;
}

const char* EvaluatorName(EvaluatorChoice choice) {
  for (const NamedChoice& named : kAllChoices) {
    if (named.choice == choice) return named.name;
  }
  return choice == EvaluatorChoice::kLibnoise ? "libnoise" : "?";
}

EvaluatorChoice ParseEvaluatorChoice(const std::string& text, const char* variable) {
  if (text.empty() || text == "batch") return BestEvaluator();
  for (const NamedChoice& named : kAllChoices) {
    if (text != named.name) continue;
    if (!Runs(named.choice)) {
      throw InvalidParamError(std::string(variable) + "=\"" + text + "\" names a level this processor lacks");
    }
    return named.choice;
  }
  if (text == "libnoise") {
    throw InvalidParamError(std::string(variable) +
                            "=\"libnoise\": this build has no libnoise; choose batch, " +
                            "portable, x86-64-v3 or x86-64-v4");
  }
  std::string names = "batch";
  for (const NamedChoice& named : kAllChoices) names += std::string(", ") + named.name;
  throw InvalidParamError(std::string(variable) + "=\"" + text + "\" is none of " + names);
}

const batch::KernelTable& KernelsOf(EvaluatorChoice choice) {
  assert(choice != EvaluatorChoice::kLibnoise);
  if (choice == EvaluatorChoice::kX86_64V4) return batch::X86_64V4Kernels();
  if (choice == EvaluatorChoice::kX86_64V3) return batch::X86_64V3Kernels();
  return batch::PortableKernels();
}

}  // namespace utils
}  // namespace noise
