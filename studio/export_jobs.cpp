#include "studio/export_jobs.h"

#include <filesystem>
#include <string>
#include <system_error>
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
  CheckSpace(parsed);
  CheckExisting(parsed);
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

void ExportJobs::CheckSpace(const ExportRequest& request) const {
  std::error_code error;
  const std::filesystem::space_info space = std::filesystem::space(folder_.Path(), error);
  if (error) return;  // nothing known: the write tells
  const uint64_t needed = request.LargestBytes();
  if (space.available >= kSpareBytes && needed <= space.available - kSpareBytes) return;
  throw StudioError(507, "the export may write up to " + std::to_string(needed >> 20) +
                             " MiB, and the folder's disk has " + std::to_string(space.available >> 20) +
                             " MiB free, of which " + std::to_string(kSpareBytes >> 20) +
                             " MiB are left spare");
}

void ExportJobs::CheckExisting(const ExportRequest& request) const {
  if (request.Replaces()) return;
  std::string existing;
  int count = 0;
  for (const std::string& name : request.FileNames()) {
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(folder_.Path() + "/" + name, error)))
      continue;
    existing += (count++ == 0 ? "" : ", ") + name;
  }
  if (count > 0) throw StudioError(409, existing + (count == 1 ? " is" : " are") + " in the folder already");
}

nlohmann::json ExportJobs::Cancel(uint64_t number) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = jobs_.find(number);
  if (it == jobs_.end()) throw StudioError(404, "no export " + std::to_string(number));
  if (it->second->Running()) it->second->Cancel();
  return it->second->State();
}

nlohmann::json ExportJobs::State(uint64_t number) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = jobs_.find(number);
  if (it == jobs_.end()) throw StudioError(404, "no export " + std::to_string(number));
  return it->second->State();
}

}  // namespace studio
