// The chain of libnoise modules that the rows of the command file describe,
// where libnoise is present.
#pragma once

#include "generator/chain_plan_builder.h"
#include "generator/command_settings.h"
#include "noisemap/libnoise_chain.h"

namespace duneforge {

// The modules built from the rows, indexed by row; the last row's module is
// the generator's output (see noise::utils::LibnoiseChain).
using ModuleChain = noise::utils::LibnoiseChain;
using noise::utils::CachedRow;
using noise::utils::SharedRows;

// Builds one libnoise module per row, from the rows' chain plan: the rows
// are checked and refused exactly as BuildChainPlan does, before any module
// is made. Rows that two or more later modules read are CachedRows, unless
// `sharedRows` is kUncached. No memory for a module throws
// noise::ExceptionOutOfMemory.
ModuleChain BuildModuleChain(const CommandSettings& settings, SharedRows sharedRows = SharedRows::kCached);

}  // namespace duneforge
