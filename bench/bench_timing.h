// The benchmarks' clocks and statistics: thread CPU time, and the median and
// spread of their rounds.
#pragma once

#include <time.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace bench {

// The CPU time this thread has used, in seconds: other work on a busy
// machine does not add to it.
inline double ThreadSeconds() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The value below which the share `p` (0 .. 1) of `values` lies, taken
// between the two nearest values in proportion; `values` is not empty.
inline double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  const double at = p * static_cast<double>(values.size() - 1);
  const size_t low = static_cast<size_t>(at);
  const size_t high = std::min(low + 1, values.size() - 1);
  return values[low] + (values[high] - values[low]) * (at - static_cast<double>(low));
}

// The middle value, or the mean of the two middle values of an even count.
inline double Median(std::vector<double> values) { return Percentile(std::move(values), 0.5); }

// The lowest, median and highest of some rounds.
struct Spread {
  double low, median, high;
};

inline Spread SpreadOf(const std::vector<double>& values) {
  const auto [low, high] = std::minmax_element(values.begin(), values.end());
  return {*low, Median(values), *high};
}

}  // namespace bench
