// The studio's HTTP server on the loopback address.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "studio/connection_reaper.h"
#include "studio/export_jobs.h"
#include "studio/preview_channels.h"
#include "studio/preview_maker.h"
#include "studio/studio_folder.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace studio {

// The port terrainstudio serves on unless told otherwise.
constexpr int kDefaultStudioPort = 8371;
// The largest request body, in bytes.
constexpr size_t kLargestRequestBody = 1 << 20;

// Serves the studio's JSON interface on 127.0.0.1 only:
//   GET  /api/vocabulary    the module vocabulary (VocabularyJson)
//   POST /api/preview       a preview (PreviewRequest): image/png, or JSON
//                           {"width", "height", "heights": [row 0 first]};
//                           409 when a newer preview of its channel came
//                           (one that is running stops at its next band)
//   POST /api/parse         {"commandFile": TEXT} read by duneforge's rules:
//                           {"settings": SettingsToJson}, or its refusal
//   POST /api/format        {"settings": ...}: {"text": CommandFileText}
//   GET  /api/files         {"files": [plain names of the folder]}
//   GET  /api/files/NAME    {"name", "text"} of a file of the folder
//   PUT  /api/files/NAME    the body replaces (or creates) that file
//   GET  /api/examples      {"examples": [names of the bundled examples]},
//                           the files of that folder that read as command
//                           files
//   GET  /api/examples/NAME {"name", "text"} of one of them; they are
//                           offered to read only
//   POST /api/export        starts an export (ExportRequest) into the
//                           folder: 202 {"job": N}; 429 while two run
//   GET  /api/export/N      the state of export N (ExportJob)
// It answers only requests whose Host is 127.0.0.1 or localhost with its
// port (a page of another site that a rebound name leads here is refused),
// and refuses every request but GET and HEAD whose Origin is another one.
// Bodies over kLargestRequestBody are refused unread. Every refusal is a
// 4xx with one line of JSON, {"error": "..."}, and changes nothing; a row
// that duneforge would refuse is named with the fields it refuses, {"error",
// "row", "fields"}. The folders must outlive the server.
class StudioServer {
 public:
  static constexpr std::chrono::milliseconds kRequestDeadline{10000};
  // Threads that serve connections, and connections the system holds for
  // them to accept: a page's own requests are served however many slow
  // clients wait for their deadline.
  static constexpr int kWorkers = 64;
  static constexpr int kBacklog = 128;

  // `examples`, when given, is the folder of the bundled examples.
  StudioServer(const StudioFolder& folder, int threads, const StudioFolder* examples = nullptr);
  ~StudioServer();
  StudioServer(const StudioServer&) = delete;
  StudioServer& operator=(const StudioServer&) = delete;

  // Serves the files of `folder` (the page) at /, with the same Host check;
  // nothing when `folder` is empty. Returns whether the folder can be served.
  bool ServePage(const std::string& folder);

  // Binds 127.0.0.1:port, a free port when `port` is 0. Returns the port
  // bound, or -1 when it cannot be bound.
  int Bind(int port);
  // Serves requests until Stop; Bind has succeeded. A client that takes
  // longer than the request deadline (kRequestDeadline unless set) to send
  // a request's headers, or its body, has its connection closed.
  void Run();
  void SetRequestDeadline(std::chrono::milliseconds deadline) { requestDeadline_ = deadline; }
  // Ends Run, from any thread; previews still running end at their next
  // band, exports at their next tile or piece.
  void Stop();

 private:
  // The Host and Origin checks, and a body that comes with its length and
  // unencoded; false with the refusal in `res`.
  bool Admits(const httplib::Request& req, httplib::Response& res) const;
  void AddRoutes();
  void AddChainRoutes();
  void AddFileRoutes();
  void AddExportRoutes();
  void Preview(const httplib::Request& req, httplib::Response& res);
  // The examples that read as whole command files.
  std::vector<std::string> ExampleNames() const;
  // The folder's files as the studio lists them: {"files": those that read
  // as command files, "others": the rest}.
  nlohmann::json FolderFiles() const;

  std::unique_ptr<httplib::Server> server_;
  const StudioFolder& folder_;
  const StudioFolder* examples_;
  PreviewMaker maker_;
  PreviewChannels channels_;
  int port_ = -1;
  // Set by Stop: previews still running end at their next band.
  std::atomic<bool> stopping_{false};
  std::chrono::milliseconds requestDeadline_ = kRequestDeadline;
  ConnectionReaper reaper_;
  // Last, so that the exports stop before the rest goes.
  ExportJobs exports_;
};

}  // namespace studio
