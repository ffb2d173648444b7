// The libnoise evaluator is offered exactly where libnoise is built in: by
// name, among the available ones, and in duneforge's help.
#include "noisemap/evaluator_choice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "generator/duneforge_run.h"
#include "noisemap/error.h"

namespace {

using noise::utils::EvaluatorChoice;

TEST(EvaluatorChoice, LibnoiseIsOfferedOnlyWhereItIsBuiltIn) {
  const std::vector<EvaluatorChoice> available = noise::utils::AvailableEvaluators();
  const bool offered =
      std::find(available.begin(), available.end(), EvaluatorChoice::kLibnoise) != available.end();
  const bool inHelp = std::string(duneforge::UsageText()).find("libnoise") != std::string::npos;
#if TOOLKIT_WITH_LIBNOISE
  EXPECT_TRUE(offered);
  EXPECT_TRUE(inHelp);
  EXPECT_EQ(noise::utils::ParseEvaluatorChoice("libnoise", "DUNEFORGE_EVALUATOR"),
            EvaluatorChoice::kLibnoise);
#else
  EXPECT_FALSE(offered);
  EXPECT_FALSE(inHelp);
  try {
    noise::utils::ParseEvaluatorChoice("libnoise", "DUNEFORGE_EVALUATOR");
    ADD_FAILURE() << "libnoise accepted";
  } catch (const noise::utils::InvalidParamError& e) {
    EXPECT_EQ(
        e.Message(),
        "DUNEFORGE_EVALUATOR=\"libnoise\": this build has no libnoise; choose batch, portable, x86-64-v3 or "
        "x86-64-v4");
  }
#endif
  // Every build takes the batch levels by name.
  EXPECT_EQ(noise::utils::ParseEvaluatorChoice("portable", "DUNEFORGE_EVALUATOR"),
            EvaluatorChoice::kPortable);
}

}  // namespace
