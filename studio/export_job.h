// One export of the studio, running on a thread of its own.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "studio/export_request.h"
#include "studio/studio_folder.h"
#include "terrain/terrain_result.h"

namespace studio {

// Writes what an ExportRequest asks for into the studio's folder, each file
// whole or not at all, on `threads` threads besides its own:
// - noise: every tile's heights into noise_arr.txt, which it replaces (it
//   does not append), and the last tile's picture into tutorial.bmp when the
//   settings ask for it, byte for byte what duneforge writes for the same
//   command file in an empty folder; the height array goes to its name only
//   after the picture is written;
// - hmp7, png16, obj: the tiles put together as one terrain, its heights
//   times the request's height scale (by default the one that makes them
//   span a tenth of the larger side) and its samples the request's spacing
//   apart, packed over its own height range and saved as terrainconvert
//   saves one; the preview's relief (north at the top) as the skin or
//   texture when the request asks for it.
// Its state, as the studio answers it: {"state": "running", "done", "total"}
// while it runs (tiles, or pieces of the whole terrain), then "done" with
// "written" (the files' names) and, for a terrain, the "spacing" and
// "heightScale" it was written with, "failed" with "error" (and "fields",
// the header fields it names, where it names any), or "cancelled". A
// refusal of the terrain room (a terrain it cannot prepare, a file it cannot
// write) is kept as the room's result, and worded only when the state is
// asked for.
class ExportJob {
 public:
  // Where an export stands.
  enum class Phase { kRunning, kDone, kFailed, kCancelled };
  // The phase's word in the studio's answers.
  static const char* PhaseName(Phase phase);

  // Checks the output names against the folder (StudioError 400 or 403
  // before anything starts) and starts the export (StudioError 503 when no
  // thread can be had). The folder must outlive
  // the job.
  ExportJob(ExportRequest request, const StudioFolder& folder, int threads);
  // Stops the export at its next tile or piece, and waits for it; what it
  // had not finished is not written.
  ~ExportJob();
  ExportJob(const ExportJob&) = delete;
  ExportJob& operator=(const ExportJob&) = delete;

  // Asks the export to stop at its next tile or piece; it then fails.
  void Stop() { stop_ = true; }
  // Asks the export to stop as Stop does; it then ends "cancelled".
  void Cancel() {
    cancelled_ = true;
    stop_ = true;
  }
  bool Running() const;
  nlohmann::json State() const;

 private:
  class Progress;
  struct Refused;

  void Run();
  void WriteNoise();
  void WriteTerrain();
  void Finish(Phase phase, const std::string& error, const std::vector<std::string>& fields = {});
  void Finish(const Refused& refused);
  // The "error" of a failed export. Guarded by mutex_.
  std::string FailureText() const;

  const ExportRequest request_;
  std::vector<std::string> paths_;
  const int threads_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> cancelled_{false};

  mutable std::mutex mutex_;
  // Guarded by mutex_.
  Phase state_ = Phase::kRunning;
  uint64_t done_ = 0;
  uint64_t total_ = 0;
  double heightScale_ = 0.0;         // a terrain's, once it is known
  std::string error_;                // a failure's words, where the terrain room did not refuse
  std::vector<std::string> fields_;  // the header fields a failure names
  terrain::TerrainResult refusal_;   // the terrain room's, where it refused
  bool terrainRefused_ = false;      // refusal_ is of the terrain, not of a file

  std::thread thread_;
};

}  // namespace studio
