// The chain plan that the rows of the command file describe.
#pragma once

#include "generator/command_settings.h"
#include "generator/module_kind.h"
#include "noisemap/chain_plan.h"

namespace duneforge {

// Plans one module per row, rows 0 .. moduleCount - 1 in order, each set up
// from its type code, parameters and seedBase as the vocabulary says (an
// unknown type code gives a Perlin module at the library's defaults). Every
// row is checked before any of its settings is taken, and a row that
// libnoise could not run safely is refused with noise::ExceptionInvalidParam
// (a RowError) naming the row: an octave count or roughness out of range,
// an input from the previous row in row 0, a row index that names no earlier
// row, a Clamp range that is empty or reversed, and a seed or index that
// does not fit a 32-bit integer. No memory for the plan throws
// noise::ExceptionOutOfMemory. A moduleCount outside 1 .. MaxModuleRows
// throws as RequireModuleCountInRange does.
noise::utils::ChainPlan BuildChainPlan(const CommandSettings& settings);

}  // namespace duneforge
