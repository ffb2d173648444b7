// The vocabulary of module rows: what each type code builds, what each of the
// row's four parameters sets, the limits the builder holds them to, and which
// modules the row reads.
#pragma once

#include <array>
#include <cstdint>

#include "noisemap/chain_plan.h"

namespace duneforge {

// The module type codes of a row, 0 .. 15, are the module types of a chain
// plan. Any other code selects a Perlin module at the library's defaults.
using noise::utils::ModuleType;

// Octave counts (and the Turbulence roughness) lie in 1 .. 30, the library's
// limit.
constexpr int32_t kMaxOctaveCount = noise::utils::kMaxOctaves;

// How the builder uses a parameter.
enum class FieldUse {
  kSetting,   // part of one or more module settings
  kRowIndex,  // names an earlier row (0 .. row - 1), truncated toward zero
  kNotRead,   // ignored by this type
};

// One of the row's parameters p1 .. p4 as the command file holds them (p1 an
// integer, p2 .. p4 floats). `sets` says what it sets: "octave count", or a
// formula such as "scale = p2 - p4 / 10" where a setting comes from several
// fields. A field with `hasLower` or `hasUpper` is refused by the builder
// outside lower .. upper (both included); a row index is limited by its row
// instead. `defaultValue` gives the module its library default where the
// field alone decides a setting.
struct ModuleField {
  const char* name;
  const char* sets;
  FieldUse use;
  bool hasLower;
  double lower;
  bool hasUpper;
  double upper;
  double defaultValue;

  // Whether the builder accepts `value` for this field as far as its own
  // range goes (row indices and seeds are checked against the row and the
  // 32-bit range besides).
  bool InRange(double value) const { return (!hasLower || value >= lower) && (!hasUpper || value <= upper); }
};

// Where an input module comes from.
enum class InputSource {
  kPrevious,  // the row before this one
  kRowP1,     // the row p1 names
  kRowP2,     // the row trunc(p2) names
};

// One input of a row's module: its role ("source 0", "control") and origin.
struct ModuleInput {
  const char* role;
  InputSource source;
};

// One module type: its code, name, the library class it makes, its four
// fields p1 .. p4 in order and its inputs (the first `inputCount` entries).
struct ModuleKind {
  ModuleType type;
  const char* name;
  const char* moduleClass;
  std::array<ModuleField, 4> fields;
  int inputCount;
  std::array<ModuleInput, 3> inputs;

  int32_t Code() const { return static_cast<int32_t>(type); }
  // Whether the row reads the row before it, and so cannot stand in row 0.
  bool ReadsPrevious() const;
};

// The number of type codes, 0 .. kModuleKindCount - 1.
constexpr int32_t kModuleKindCount = 16;

// The vocabulary in code order: entry i describes type code i.
const std::array<ModuleKind, kModuleKindCount>& ModuleKinds();

// The kind a row's type code selects: its entry for 0 .. 15, the fallback
// Perlin (all fields unread, library defaults) for any other code.
const ModuleKind& ModuleKindOf(int32_t code);

}  // namespace duneforge
