#include "render/grid_arguments.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace render {

bool ParseGridPair(const char* text, int32_t& first, int32_t& second) {
  if (text == nullptr) return false;
  char* end = nullptr;
  errno = 0;
  const long long a = std::strtoll(text, &end, 10);
  if (end == text || (*end != 'x' && *end != 'X') || errno != 0 || a <= 0 || a > INT32_MAX) return false;
  const char* rest = end + 1;
  const long long b = std::strtoll(rest, &end, 10);
  if (end == rest || *end != '\0' || errno != 0 || b <= 0 || b > INT32_MAX) return false;
  first = static_cast<int32_t>(a);
  second = static_cast<int32_t>(b);
  return true;
}

bool ParseFiniteNumber(const char* text, double& value) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  const double parsed = std::strtod(text, &end);
  if (end == text || *end != '\0' || !std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}

bool ParseWholeNumber(const char* text, long long minimum, long long maximum, long long& value) {
  if (text == nullptr || *text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  const long long parsed = std::strtoll(text, &end, 10);
  if (errno != 0 || *end != '\0' || parsed < minimum || parsed > maximum) return false;
  value = parsed;
  return true;
}

bool ParseSpacingPair(const std::string& text, double& x, double& y) {
  const size_t comma = text.find(',');
  double first = 0.0;
  if (!ParseFiniteNumber(text.substr(0, comma).c_str(), first) || !(first > 0.0)) return false;
  double second = first;
  if (comma != std::string::npos &&
      (!ParseFiniteNumber(text.substr(comma + 1).c_str(), second) || !(second > 0.0))) {
    return false;
  }
  x = first;
  y = second;
  return true;
}

}  // namespace render
