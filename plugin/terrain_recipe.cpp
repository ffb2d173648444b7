#include "plugin/terrain_recipe.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "plugin/hmp7w.h"
#include "plugin/mip_sampler.h"

namespace loamwriter {

namespace {

// A buffer pointer that is never null, also for an empty level: the writer
// takes a null level as missing.
const uint8_t* LevelData(const std::vector<uint8_t>& level) {
  static const uint8_t kEmpty = 0;
  return level.empty() ? &kEmpty : level.data();
}

double Height(const std::vector<double>& heights, int32_t columns, int32_t x, int32_t y) {
  return heights[static_cast<size_t>(y) * static_cast<size_t>(columns) + static_cast<size_t>(x)];
}

}  // namespace

bool FitsFixed10(double value) { return std::isfinite(value) && std::fabs(value) <= kLargestEngineValue; }

void AxisFromRange(Fixed10 low, Fixed10 high, float& scale, float& offset) {
  offset = Fixed10ToReal(low);
  const float span = Fixed10ToReal(high) - offset;
  scale = static_cast<float>(static_cast<double>(span) / kPackedRange);
}

bool HeaderValuesFor(int32_t columns, int32_t rows, double spacingX, double spacingY, double low, double high,
                     TerrainHeaderValues& values) {
  const double width = (columns - 1) * spacingX;
  const double depth = (rows - 1) * spacingY;
  for (double value : {static_cast<double>(columns), spacingX, spacingY, width, depth, low, high}) {
    if (!FitsFixed10(value)) return false;
  }
  values = TerrainHeaderValues{{RoundToFixed10(columns), RoundToFixed10(spacingX), RoundToFixed10(spacingY)},
                               {0, 0, RoundToFixed10(low)},
                               {RoundToFixed10(width), RoundToFixed10(depth), RoundToFixed10(high)}};
  return true;
}

void SetHeaderFromRange(HmpHeader& header, const TerrainHeaderValues& values) {
  header.param0 = Fixed10ToReal(values.params[0]);
  header.param1 = Fixed10ToReal(values.params[1]);
  header.param2 = Fixed10ToReal(values.params[2]);
  for (int axis = 0; axis < 3; ++axis) {
    AxisFromRange(values.minimum[axis], values.maximum[axis], header.scale[axis], header.offset[axis]);
  }
}

double HalfPackedStep(Fixed10 low, Fixed10 high) {
  return (static_cast<double>(high) / 1024.0 - static_cast<double>(low) / 1024.0) / kPackedRange / 2.0;
}

HeightPacker::HeightPacker(double low, double high, bool engineValues) : engineValues_(engineValues) {
  const Fixed10 lowEngine = RoundToFixed10(low);
  const Fixed10 highEngine = RoundToFixed10(high);
  AxisFromRange(lowEngine, highEngine, scale_, offset_);
  halfStep_ = HalfPackedStep(lowEngine, highEngine);
}

uint16_t HeightPacker::Pack(double height) const {
  if (scale_ == 0.0f) return 0;
  const double quotient =
      engineValues_ ? PackedQuotient(HandedOver(height), scale_, offset_)
                    : std::floor((height - static_cast<double>(offset_)) / static_cast<double>(scale_) + 0.5);
  if (!(quotient > 0.0)) return 0;
  if (quotient >= kPackedRange) return kPackedTop;
  return TruncateLow16(quotient);
}

SurfaceNormal NormalAt(const std::vector<double>& heights, int32_t columns, int32_t rows, double spacingX,
                       double spacingY, int32_t x, int32_t y) {
  const int32_t left = std::max(x - 1, 0), right = std::min(x + 1, columns - 1);
  const int32_t down = std::max(y - 1, 0), up = std::min(y + 1, rows - 1);
  const double dx = right > left ? (Height(heights, columns, right, y) - Height(heights, columns, left, y)) /
                                       ((right - left) * spacingX)
                                 : 0.0;
  const double dy = up > down ? (Height(heights, columns, x, up) - Height(heights, columns, x, down)) /
                                    ((up - down) * spacingY)
                              : 0.0;
  const double length = std::sqrt(dx * dx + dy * dy + 1.0);
  return SurfaceNormal{-dx / length, -dy / length, 1.0 / length};
}

bool PickSkinLevels(const uint8_t* pixels, SkinLevels& skin) {
  const int64_t w = skin.width, h = skin.height, b = skin.bytesPerPixel;
  try {
    skin.levels[0].resize(static_cast<size_t>(w * h * b));
    if (!MipSampler(skin.width, skin.height, skin.bytesPerPixel, pixels, 1, skin.levels[0].data(), w * h)) {
      return false;
    }
    int64_t mipWidth = w, mipHeight = h;
    for (int level = 1; level <= 3 && skin.mipmaps; ++level) {
      mipWidth /= 2;
      mipHeight /= 2;
      const int64_t count = mipWidth * mipHeight;
      skin.levels[level].resize(static_cast<size_t>(count * b));
      if (!MipSampler(skin.width, skin.height, skin.bytesPerPixel, pixels, kMipSteps[level - 1],
                      skin.levels[level].data(), count)) {
        return false;
      }
    }
  } catch (const std::exception&) {
    // bad_alloc, or length_error past what a vector of this build can hold.
    return false;
  }
  return true;
}

bool WriteSkinLevels(HMP7W& writer, const char* name, const SkinLevels& skin) {
  bool whole = writer.BeginSkin(skin.type, name);
  writer.SetSkinImage(skin.width, skin.height, skin.bytesPerPixel, skin.mipmaps);
  whole = writer.WriteSkinImage(LevelData(skin.levels[0]), LevelData(skin.levels[1]),
                                LevelData(skin.levels[2]), LevelData(skin.levels[3])) &&
          whole;
  // The header is patched also after a failed write, so that it says what
  // the skin was meant to hold.
  return writer.FinishSkin() && whole;
}

bool PortableSkinSides(int32_t width, int32_t height) {
  return width % kPortableSkinStep == 0 && height % kPortableSkinStep == 0;
}

void BlankSkinSides(int32_t columns, int32_t rows, int32_t& width, int32_t& height) {
  auto side = [](int32_t n) {
    const int32_t limited = std::clamp(n, 1, kLargestBlankSkinSide);
    return (limited + kPortableSkinStep - 1) / kPortableSkinStep * kPortableSkinStep;
  };
  width = side(columns);
  height = side(rows);
}

bool WriteBlankSkin(HMP7W& writer, int32_t width, int32_t height, const char* name) {
  SkinLevels blank{0, width, height, 1, false, {}};
  try {
    blank.levels[0].assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  } catch (const std::exception&) {
    // bad_alloc, or length_error past what a vector of this build can hold.
    return false;
  }
  return WriteSkinLevels(writer, name, blank);
}

}  // namespace loamwriter
