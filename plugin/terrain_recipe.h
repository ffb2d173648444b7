// How a terrain becomes an HMP7 file: the header from a height range, the
// packing of heights with its half step, normals from the neighbouring
// heights, the skin's mip levels and the blank skin. The exports take it
// with engine numbers; terrainconvert and the example host with doubles.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "platform/branch_hint.h"
#include "platform/engine_number.h"
#include "plugin/fixed10.h"
#include "plugin/float_to_int.h"
#include "plugin/hmp_records.h"

namespace loamwriter {

class HMP7W;

// Packed heights run from 0 to this value.
constexpr double kPackedRange = 65535.0;
constexpr uint16_t kPackedTop = 65535;
// Engine numbers hold value x 1024 in 32 bits: magnitudes below 2^21.
constexpr double kLargestEngineValue = 2097151.0;
// The mip levels: each takes every step-th pixel of level 0 and halves both
// sides of the level before.
constexpr int32_t kMipSteps[3] = {4, 16, 64};
// A blank skin has the grid's sides rounded up to a multiple of
// kPortableSkinStep, limited to this many pixels.
constexpr int32_t kLargestBlankSkinSide = 1024;
// Every reader takes a skin whose sides are multiples of this the same way;
// some round the smallest mip levels of other sizes differently.
constexpr int32_t kPortableSkinStep = 8;
// Skin type code of a 24-bit skin with three mip levels.
constexpr uint8_t kSkinType888WithMips = kHmpSkinFormat888 | kHmpSkinTypeMipmapBit;

// Whether `value` fits in an engine number.
bool FitsFixed10(double value);
// An engine number for `value`: value x 1024 rounded to the nearest integer
// (halves away from zero), NaN as 0, beyond the 32-bit range its nearest end.
using platform::RoundToFixed10;

// Scale and offset of one header axis for the range low .. high: the span is
// rounded to a float before it is divided.
void AxisFromRange(Fixed10 low, Fixed10 high, float& scale, float& offset);

// The header's numbers for a terrain: params (columns, the two spacings),
// and the range of each axis, x and y from 0 to the grid's extent.
struct TerrainHeaderValues {
  Fixed10 params[3] = {0, 0, 0};
  Fixed10 minimum[3] = {0, 0, 0};
  Fixed10 maximum[3] = {0, 0, 0};
};
// The values for columns x rows samples spaced as given, heights low .. high.
// False when one of them does not fit in an engine number.
bool HeaderValuesFor(int32_t columns, int32_t rows, double spacingX, double spacingY, double low, double high,
                     TerrainHeaderValues& values);
// Sets the header's params, scales and offsets from the values.
void SetHeaderFromRange(HmpHeader& header, const TerrainHeaderValues& values);

// (height - offset) / scale, the packed height before truncation; a scale of
// 0 gives NaN, which packs to 0 like every quotient outside the 32-bit range.
inline double PackedQuotient(Fixed10 height, float scale, float offset) {
  const double divisor =
      TOOLKIT_UNLIKELY(scale == 0.0f) ? std::numeric_limits<double>::quiet_NaN() : static_cast<double>(scale);
  return (static_cast<double>(Fixed10ToReal(height)) - static_cast<double>(offset)) / divisor;
}

// Half a packed step of the range low .. high: a height handed over this much
// higher is truncated to its nearest step.
double HalfPackedStep(Fixed10 low, Fixed10 high);

// Packs heights given as doubles for the range low .. high. Heights outside
// the range stop at 0 and 65535. With engine values each height is handed
// over as the exports take it: an engine number half a step up, truncated.
// Without, the height keeps its full precision and is rounded to the nearest
// step of the header's scale and offset.
class HeightPacker {
 public:
  HeightPacker(double low, double high, bool engineValues);
  uint16_t Pack(double height) const;
  // The engine number the exports are handed for `height`.
  Fixed10 HandedOver(double height) const { return RoundToFixed10(height + halfStep_); }
  // The height that a packed value stands for, as a reader of the header
  // takes it.
  double Unpack(uint16_t packed) const {
    return static_cast<double>(offset_) + static_cast<double>(packed) * static_cast<double>(scale_);
  }

 private:
  float scale_ = 0.0f;
  float offset_ = 0.0f;
  double halfStep_ = 0.0;
  bool engineValues_ = true;
};

// The unit normal at (x, y) of the surface of columns x rows heights (row by
// row), from the neighbouring heights (the sample itself where a neighbour is
// missing): east, north and up.
struct SurfaceNormal {
  double east = 0.0;
  double north = 0.0;
  double up = 1.0;
};
SurfaceNormal NormalAt(const std::vector<double>& heights, int32_t columns, int32_t rows, double spacingX,
                       double spacingY, int32_t x, int32_t y);

// A skin as an HMP7 file holds it: its type code, size and levels, rows
// from the top: level 0, and with `mipmaps` the three reduced levels.
struct SkinLevels {
  uint8_t type = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t bytesPerPixel = 0;
  bool mipmaps = false;
  std::vector<uint8_t> levels[4];
};

// Sets the levels of `skin` from `pixels` (height rows of width x
// bytesPerPixel bytes). False when the pixels cannot be taken or there is no
// memory for the copy.
bool PickSkinLevels(const uint8_t* pixels, SkinLevels& skin);
// Writes one skin; false when a write failed.
bool WriteSkinLevels(HMP7W& writer, const char* name, const SkinLevels& skin);

// Whether a skin of width x height pixels is taken the same way by every
// reader: both sides multiples of kPortableSkinStep.
bool PortableSkinSides(int32_t width, int32_t height);
// The sides of the blank skin of a grid of columns x rows.
void BlankSkinSides(int32_t columns, int32_t rows, int32_t& width, int32_t& height);
// Writes a blank skin of width x height zero bytes; false when the skin
// cannot be held or a write failed.
bool WriteBlankSkin(HMP7W& writer, int32_t width, int32_t height, const char* name);

}  // namespace loamwriter
