// Which preview of a page is the newest.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace studio {

// A page numbers its previews on a channel of its own; a preview whose
// number is below the highest one seen on its channel is stale and need
// not be finished. Thread-safe. At most kMaxChannels channels are kept:
// when a new one would pass that, the others are forgotten (a preview
// running on one keeps its own record).
class PreviewChannels {
 public:
  static constexpr size_t kMaxChannels = 256;

  // The record of `channel` after preview `sequence` has arrived on it.
  using Latest = std::shared_ptr<const std::atomic<uint64_t>>;
  Latest Enter(const std::string& channel, uint64_t sequence);

  // Whether preview `sequence` is stale by `latest`.
  static bool IsStale(const Latest& latest, uint64_t sequence) { return latest->load() > sequence; }

 private:
  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<std::atomic<uint64_t>>> channels_;
};

}  // namespace studio
