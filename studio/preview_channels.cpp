#include "studio/preview_channels.h"

namespace studio {

PreviewChannels::Latest PreviewChannels::Enter(const std::string& channel, uint64_t sequence) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (channels_.size() >= kMaxChannels && channels_.count(channel) == 0) channels_.clear();
  std::shared_ptr<std::atomic<uint64_t>>& latest = channels_[channel];
  if (!latest) latest = std::make_shared<std::atomic<uint64_t>>(sequence);
  if (latest->load() < sequence) latest->store(sequence);
  return latest;
}

}  // namespace studio
