#include "studio/export_jobs.h"

#include <string>
#include <utility>

#include "generator/chain_plan_builder.h"
#include "studio/studio_error.h"

namespace studio {

ExportJobs::~ExportJobs() {
  std::lock_guard<std::mutex> lock(mutex_);
  // All are told first, so that they stop together.
  for (const auto& job : jobs_) job.second->Stop();
  jobs_.clear();
}

uint64_t ExportJobs::Start(const nlohmann::json& request) {
  ExportRequest parsed = ExportRequest::Parse(request);
  // A row the chain builder refuses is refused here, with its fields, and
  // not as a failed export.
  duneforge::BuildChainPlan(parsed.Settings());
  std::lock_guard<std::mutex> lock(mutex_);
  int running = 0;
  size_t finished = 0;
  for (const auto& job : jobs_) {
    if (job.second->Running()) {
      ++running;
    } else {
      ++finished;
    }
  }
  if (running >= kMostRunning) {
    throw StudioError(429, std::to_string(running) + " exports are running; start this one when one ends");
  }
  // The oldest finished exports make room.
  for (auto it = jobs_.begin(); finished >= kKeptFinished && it != jobs_.end();) {
    if (!it->second->Running()) {
      it = jobs_.erase(it);
      --finished;
    } else {
      ++it;
    }
  }
  const uint64_t number = next_;
  jobs_.emplace(number, std::make_unique<ExportJob>(std::move(parsed), folder_, threads_));
  ++next_;
  return number;
}

nlohmann::json ExportJobs::State(uint64_t number) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = jobs_.find(number);
  if (it == jobs_.end()) throw StudioError(404, "no export " + std::to_string(number));
  return it->second->State();
}

}  // namespace studio
