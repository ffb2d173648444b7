#include "terrain/terrain_texts.h"

#include <charconv>
#include <cmath>

namespace terrain {

namespace {

std::string NumberText(double value) {
  char text[32];
  const std::to_chars_result written = std::to_chars(text, text + sizeof text, value);
  return std::string(text, written.ptr);
}

// Two finite numbers "A B", nothing before, between or after but the one
// space.
bool ParsePair(const std::string& text, double& first, double& second) {
  const char* end = text.data() + text.size();
  const std::from_chars_result a = std::from_chars(text.data(), end, first);
  if (a.ec != std::errc() || a.ptr == end || *a.ptr != ' ') return false;
  const std::from_chars_result b = std::from_chars(a.ptr + 1, end, second);
  return b.ec == std::errc() && b.ptr == end && std::isfinite(first) && std::isfinite(second);
}

}  // namespace

std::string NumberPairText(double first, double second) {
  return NumberText(first) + " " + NumberText(second);
}

std::vector<PictureText> TerrainTexts(const TerrainGrid& grid) {
  return {{kRangeKeyword, NumberPairText(grid.packedLow, grid.packedHigh)},
          {kSpacingKeyword, NumberPairText(grid.spacingX, grid.spacingY)}};
}

StoredTerrainTexts ReadTerrainTexts(const std::vector<PictureText>& texts) {
  StoredTerrainTexts stored;
  for (const PictureText& text : texts) {
    double a = 0.0, b = 0.0;
    if (!ParsePair(text.text, a, b)) continue;
    if (text.keyword == kRangeKeyword && a <= b) {
      stored.hasRange = true;
      stored.low = a;
      stored.high = b;
    } else if (text.keyword == kSpacingKeyword && a > 0.0 && b > 0.0) {
      stored.hasSpacing = true;
      stored.spacingX = a;
      stored.spacingY = b;
    }
  }
  return stored;
}

}  // namespace terrain
