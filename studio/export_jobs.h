// The studio's exports, running and finished.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>

#include "studio/export_job.h"
#include "studio/studio_folder.h"

namespace studio {

// Starts exports and answers their state by number. At most kMostRunning
// run at once, since each takes every core; the kKeptFinished latest
// finished ones are kept to be asked about. Thread-safe.
class ExportJobs {
 public:
  static constexpr int kMostRunning = 2;
  static constexpr size_t kKeptFinished = 32;
  static constexpr uint64_t kSpareBytes = uint64_t{256} << 20;

  ExportJobs(const StudioFolder& folder, int threads) : folder_(folder), threads_(threads) {}
  // Stops every export that still runs and waits for them.
  ~ExportJobs();
  ExportJobs(const ExportJobs&) = delete;
  ExportJobs& operator=(const ExportJobs&) = delete;

  // Starts the export `request` asks for (see ExportRequest) and returns its
  // number. Throws StudioError: 400 for a request or settings that cannot
  // be exported (a row the chain builder refuses throws its RowError), 403
  // for a name that leads out of the folder, 429 while kMostRunning run,
  // 507 when the files it may write would not leave kSpareBytes free on
  // the folder's disk, 409 naming the files in the folder already when the
  // request does not replace them.
  uint64_t Start(const nlohmann::json& request);
  // The state of export `number` (ExportJob::State); StudioError 404 for a
  // number that names none.
  nlohmann::json State(uint64_t number) const;
  // Cancels export `number` if it still runs: it stops at its next tile or
  // piece, writes nothing and ends "cancelled". Returns its state;
  // StudioError 404 for a number that names none.
  nlohmann::json Cancel(uint64_t number);

 private:
  // Refuses (507) an export whose files would not fit, with kSpareBytes to
  // spare, in the space left on the folder's disk.
  void CheckSpace(const ExportRequest& request) const;
  // Refuses (409) a request that does not replace files, naming those of
  // its files that are in the folder already.
  void CheckExisting(const ExportRequest& request) const;

  const StudioFolder& folder_;
  const int threads_;
  mutable std::mutex mutex_;
  uint64_t next_ = 1;
  std::map<uint64_t, std::unique_ptr<ExportJob>> jobs_;
};

}  // namespace studio
