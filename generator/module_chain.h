// The chain of libnoise modules that the rows of the command file describe.
#pragma once

#include <libnoise/noise.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "generator/command_settings.h"

namespace duneforge {

// The module type codes of a row. Any other code selects a Perlin module at
// the library's defaults. Each code's name and builder are one entry of the
// builder table in module_chain.cpp.
enum class ModuleType : int32_t {
  kPerlin = 0,
  kRidgedMulti = 1,
  kBillow = 2,
  kScaleBias = 3,
  kSelect = 4,
  kBlend = 5,
  kAdd = 6,
  kConst = 7,
  kVoronoi = 8,
  kMultiply = 9,
  kMin = 10,
  kMax = 11,
  kClamp = 12,
  kExponent = 13,
  kTurbulence = 14,
  kInvert = 15,
};

// Octave counts (and the Turbulence roughness) lie in 1 .. 30, the library's
// limit.
constexpr int32_t kMaxOctaveCount = 30;

// The modules built from the rows, indexed by row. The chain owns them; later
// modules and the plane builder hold plain references to earlier ones, so a
// module never moves or dies before the chain does. The chain can be moved,
// which keeps every module where it is, but not copied.
class ModuleChain {
 public:
  ModuleChain() = default;
  ModuleChain(ModuleChain&&) = default;
  ModuleChain& operator=(ModuleChain&&) = default;
  ModuleChain(const ModuleChain&) = delete;
  ModuleChain& operator=(const ModuleChain&) = delete;

  int Size() const { return static_cast<int>(modules_.size()); }
  // The module of `row`; the caller keeps row within 0 .. Size() - 1.
  const noise::module::Module& operator[](int row) const { return *modules_[static_cast<size_t>(row)]; }
  // The last row's module: the generator's output. The chain is not empty.
  const noise::module::Module& OutputModule() const { return *modules_.back(); }

 private:
  friend ModuleChain BuildModuleChain(const CommandSettings& settings);
  std::vector<std::unique_ptr<noise::module::Module>> modules_;
};

// Builds one module per row, rows 0 .. moduleCount - 1 in order, each set up
// from its type code, parameters and seedBase. Every row is checked before
// any of its settings is made, and a row that libnoise could not run safely
// is refused with noise::ExceptionInvalidParam naming the row: an octave
// count or roughness out of range, an input from the previous row in row 0, a
// row index that names no earlier row, a Clamp range that is empty or
// reversed, and a seed or index that does not fit a 32-bit integer. No
// memory for a module throws noise::ExceptionOutOfMemory. A moduleCount
// outside 1 .. MaxModuleRows throws as RequireModuleCountInRange does.
ModuleChain BuildModuleChain(const CommandSettings& settings);

}  // namespace duneforge
