#include "generator/module_chain.h"

namespace duneforge {

ModuleChain BuildModuleChain(const CommandSettings& settings, SharedRows sharedRows) {
  return ModuleChain(BuildChainPlan(settings), sharedRows);
}

}  // namespace duneforge
