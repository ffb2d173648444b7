#include "studio/studio_server.h"

#include <httplib.h>

#include <functional>
#include <new>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "generator/duneforge_run.h"
#include "generator/header_error.h"
#include "generator/row_error.h"
#include "noisemap/height_grid.h"
#include "studio/client_watch.h"
#include "studio/port_sockets.h"
#include "studio/preview_request.h"
#include "studio/relief_png.h"
#include "studio/settings_json.h"
#include "studio/studio_error.h"
#include "studio/vocabulary_json.h"

namespace studio {

namespace {

using nlohmann::json;

constexpr const char* kLoopback = "127.0.0.1";

// Pictures come from the studio or from the page's own blobs (the relief);
// the icon is an empty data URL.
constexpr const char* kContentPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data: blob:; "
    "connect-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'none'";

void SendJson(httplib::Response& res, const json& body) {
  // With its charset, a type cpp-httplib does not compress: its brotli at
  // the highest quality takes seconds over a large preview's heights.
  // Text that is not UTF-8 (a refused name quoted in a message) is sent
  // with U+FFFD in place of its bad bytes rather than failing the answer.
  res.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace) + "\n",
                  "application/json; charset=utf-8");
}

void SendError(httplib::Response& res, int status, const std::string& text,
               const std::vector<std::string>& fields = {}, int row = -1) {
  res.status = status;
  json body = {{"error", text}};
  if (row >= 0) body["row"] = row;
  if (!fields.empty()) body["fields"] = fields;
  SendJson(res, body);
}

// Runs `handler`, turning what it throws into a refusal: StudioError with
// its status, a JSON or noise library error (a bad request or command file)
// as 400, no memory as 503. A row the chain builder refuses is named with
// its fields: {"error", "row", "fields": ["p1"]}; refused header fields
// without a row: {"error", "fields": ["tileWidth"]}.
void Guarded(httplib::Response& res, const std::function<void()>& handler) {
  try {
    handler();
  } catch (const StudioError& e) {
    SendError(res, e.Status(), e.what(), e.Fields(), e.Row());
  } catch (const json::exception& e) {
    SendError(res, 400, std::string("the request is not as expected: ") + e.what());
  } catch (const duneforge::RowError& e) {
    SendError(res, 400, e.Message(), e.Fields(), e.Row());
  } catch (const duneforge::HeaderError& e) {
    SendError(res, 400, e.Message(), e.Fields());
  } catch (const noise::ExceptionOutOfMemory&) {
    SendError(res, 503, duneforge::DescribeCurrentException());
  } catch (const noise::Exception&) {
    SendError(res, 400, duneforge::DescribeCurrentException());
  } catch (const std::bad_alloc&) {
    SendError(res, 503, "out of memory");
  }
}

// Whether `text` reads whole as a command file, with a chain of a row count
// that duneforge takes.
bool ReadsAsCommandFile(const std::string& text) {
  duneforge::CommandSettings settings;
  std::istringstream in(text);
  duneforge::ReadCommandSettings(in, settings);
  return settings.firstUnreadField.empty() && duneforge::ModuleCountInRange(settings.moduleCount);
}

json HeightsJson(const noise::utils::HeightGrid& grid) {
  json heights = json::array();
  for (int y = 0; y < grid.GetHeight(); ++y) {
    const float* row = grid.RowData(y);
    for (int x = 0; x < grid.GetWidth(); ++x) heights.push_back(row[x]);
  }
  return {{"width", grid.GetWidth()}, {"height", grid.GetHeight()}, {"heights", std::move(heights)}};
}

// The file name of a /api/files/NAME request.
std::string NameOf(const httplib::Request& req) { return req.matches.size() > 1 ? req.matches[1].str() : ""; }

// Lets the system hold kBacklog connections for the studio to accept, where
// the library listens with room for 5: calling listen again on a listening
// socket sets its backlog anew.
void WidenBacklog(int port) {
  for (const int fd : PortSockets::Listeners(port)) listen(fd, StudioServer::kBacklog);
}

}  // namespace

StudioServer::StudioServer(const StudioFolder& folder, int threads, const StudioFolder* examples)
    : server_(std::make_unique<httplib::Server>()),
      folder_(folder),
      examples_(examples),
      maker_(threads),
      exports_(folder, threads) {
  server_->set_payload_max_length(kLargestRequestBody);
  // The page's modules, likewise left uncompressed on the loopback.
  server_->set_file_extension_and_mimetype_mapping("js", "application/javascript; charset=utf-8");
  // Answers go out in several writes (headers, then body): without this the
  // body waits for the client's delayed acknowledgement, about 40 ms.
  server_->set_tcp_nodelay(true);
  // Only SO_REUSEADDR, which lets a restarted studio take its port while
  // old connections linger: the library's default adds SO_REUSEPORT, which
  // would let a second studio share the port and take half the requests.
  server_->set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof(yes));
  });
  // Every answer: the page's own scripts, styles and pictures only, and no
  // framing by another site.
  server_->set_default_headers({{"Content-Security-Policy", kContentPolicy},
                                {"X-Frame-Options", "DENY"},
                                {"X-Content-Type-Options", "nosniff"},
                                {"Referrer-Policy", "no-referrer"}});
  server_->new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
  server_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    if (!Admits(req, res)) return httplib::Server::HandlerResponse::Handled;
    reaper_.HeadersRead(req.remote_addr, req.remote_port,
                        req.get_header_value<uint64_t>("Content-Length") > 0);
    return httplib::Server::HandlerResponse::Unhandled;
  });
  server_->set_post_routing_handler([this](const httplib::Request& req, httplib::Response&) {
    reaper_.Answered(req.remote_addr, req.remote_port);
  });
  // Refusals of the library itself (no such route, a body too large) get
  // the same one line of JSON as the studio's own.
  const httplib::Server::HandlerWithResponse refusal = [](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
    SendError(res, res.status,
              res.status == 413
                  ? "the request body is larger than the studio takes (1048576 bytes, 8192 for a form)"
              : res.status == 404 ? "no such resource"
                                  : "the request cannot be served");
    return httplib::Server::HandlerResponse::Handled;
  };
  server_->set_error_handler(refusal);
  AddRoutes();
}

StudioServer::~StudioServer() { Stop(); }

bool StudioServer::ServePage(const std::string& folder) {
  return !folder.empty() && server_->set_mount_point("/", folder);
}

int StudioServer::Bind(int port) {
  if (port == 0) {
    port_ = server_->bind_to_any_port(kLoopback);
  } else {
    port_ = server_->bind_to_port(kLoopback, port) ? port : -1;
  }
  return port_ < 0 ? -1 : port_;
}

void StudioServer::Run() {
  WidenBacklog(port_);
  // Without the reaper slow clients would only cost more threads.
  reaper_.Start(port_, requestDeadline_);
  server_->listen_after_bind();
  reaper_.Stop();
}

void StudioServer::Stop() {
  stopping_ = true;
  server_->stop();
}

bool StudioServer::Admits(const httplib::Request& req, httplib::Response& res) const {
  const std::string port = std::to_string(port_);
  const std::string host = req.get_header_value("Host");
  if (host != std::string(kLoopback) + ":" + port && host != "localhost:" + port) {
    SendError(res, 403, "the Host \"" + host + "\" is not this studio's address");
    res.set_header("Connection", "close");
    return false;
  }
  const bool safe = req.method == "GET" || req.method == "HEAD";
  if (!safe && req.has_header("Origin")) {
    const std::string origin = req.get_header_value("Origin");
    if (origin != std::string("http://") + kLoopback + ":" + port && origin != "http://localhost:" + port) {
      SendError(res, 403, "requests from the origin \"" + origin + "\" may not change anything here");
      res.set_header("Connection", "close");
      return false;
    }
  }
  // A body's length is checked against the limit before the body is read;
  // a chunked or compressed body could grow past it while it is stored.
  if (req.has_header("Transfer-Encoding")) {
    SendError(res, 411, "a request body must come whole with its length (Content-Length), not in chunks");
    res.set_header("Connection", "close");
    return false;
  }
  const std::string encoding = req.get_header_value("Content-Encoding");
  if (!encoding.empty() && encoding != "identity") {
    SendError(res, 415, "the studio takes request bodies as they are, not encoded as \"" + encoding + "\"");
    res.set_header("Connection", "close");
    return false;
  }
  return true;
}

void StudioServer::AddRoutes() {
  AddChainRoutes();
  AddFileRoutes();
  AddExportRoutes();
}

// The vocabulary, previews, and command files turned into settings and back.
void StudioServer::AddChainRoutes() {
  server_->Get("/api/vocabulary", [](const httplib::Request&, httplib::Response& res) {
    Guarded(res, [&res] { SendJson(res, VocabularyJson()); });
  });
  server_->Post("/api/preview", [this](const httplib::Request& req, httplib::Response& res) {
    reaper_.Handling(req.remote_addr, req.remote_port);
    Guarded(res, [this, &req, &res] { Preview(req, res); });
  });
  server_->Post("/api/parse", [this](const httplib::Request& req, httplib::Response& res) {
    reaper_.Handling(req.remote_addr, req.remote_port);
    Guarded(res, [&req, &res] {
      const json request = json::parse(req.body);
      SendJson(res, {{"settings", SettingsToJson(SettingsFromCommandFile(request.at("commandFile")))}});
    });
  });
  server_->Post("/api/format", [this](const httplib::Request& req, httplib::Response& res) {
    reaper_.Handling(req.remote_addr, req.remote_port);
    Guarded(res, [&req, &res] {
      const json request = json::parse(req.body);
      SendJson(res, {{"text", CommandFileText(SettingsFromJson(request.at("settings")))}});
    });
  });
}

// The folder's command files and the bundled examples.
void StudioServer::AddFileRoutes() {
  server_->Get("/api/files", [this](const httplib::Request&, httplib::Response& res) {
    Guarded(res, [this, &res] { SendJson(res, FolderFiles()); });
  });
  server_->Get(R"(/api/files/(.*))", [this](const httplib::Request& req, httplib::Response& res) {
    Guarded(res, [this, &req, &res] {
      const std::string name = NameOf(req);
      SendJson(res, {{"name", name}, {"text", folder_.Read(name)}});
    });
  });
  server_->Get("/api/examples", [this](const httplib::Request&, httplib::Response& res) {
    Guarded(res, [this, &res] { SendJson(res, {{"examples", ExampleNames()}}); });
  });
  server_->Get(R"(/api/examples/(.*))", [this](const httplib::Request& req, httplib::Response& res) {
    Guarded(res, [this, &req, &res] {
      const std::string name = NameOf(req);
      if (examples_ == nullptr) throw StudioError(404, "no examples are installed");
      SendJson(res, {{"name", name}, {"text", examples_->Read(name)}});
    });
  });
  server_->Put(R"(/api/files/(.*))", [this](const httplib::Request& req, httplib::Response& res) {
    reaper_.Handling(req.remote_addr, req.remote_port);
    Guarded(res, [this, &req, &res] {
      const std::string name = NameOf(req);
      folder_.Write(name, req.body);
      SendJson(res, {{"saved", name}});
    });
  });
}

void StudioServer::AddExportRoutes() {
  server_->Post("/api/export", [this](const httplib::Request& req, httplib::Response& res) {
    reaper_.Handling(req.remote_addr, req.remote_port);
    Guarded(res, [this, &req, &res] {
      const uint64_t job = exports_.Start(json::parse(req.body));
      res.status = 202;
      SendJson(res, {{"job", job}});
    });
  });
  server_->Get(R"(/api/export/(\d{1,19}))", [this](const httplib::Request& req, httplib::Response& res) {
    Guarded(res, [this, &req, &res] { SendJson(res, exports_.State(std::stoull(NameOf(req)))); });
  });
  server_->Delete(R"(/api/export/(\d{1,19}))", [this](const httplib::Request& req, httplib::Response& res) {
    Guarded(res, [this, &req, &res] { SendJson(res, exports_.Cancel(std::stoull(NameOf(req)))); });
  });
}

std::vector<std::string> StudioServer::ExampleNames() const {
  std::vector<std::string> names;
  if (examples_ == nullptr) return names;
  // The folder may hold other text (a build file beside the examples).
  for (const std::string& name : examples_->List()) {
    if (ReadsAsCommandFile(examples_->Read(name))) names.push_back(name);
  }
  return names;
}

json StudioServer::FolderFiles() const {
  json commandFiles = json::array(), others = json::array();
  for (const std::string& name : folder_.List()) {
    bool commandFile = false;
    try {
      commandFile = ReadsAsCommandFile(folder_.Read(name));
    } catch (const StudioError&) {
      // Gone or changed since it was listed: shown apart.
    }
    (commandFile ? commandFiles : others).push_back(name);
  }
  return {{"files", std::move(commandFiles)}, {"others", std::move(others)}};
}

void StudioServer::Preview(const httplib::Request& req, httplib::Response& res) {
  const PreviewRequest request = PreviewRequest::Parse(json::parse(req.body));
  // A preview ends at its next band once the studio stops, its client has
  // gone, or a newer preview of its channel came.
  const ClientWatch client(port_, req.remote_addr, req.remote_port);
  std::function<bool()> stale = [this, &client] { return stopping_ || client.Gone(); };
  if (!request.Channel().empty()) {
    const PreviewChannels::Latest latest = channels_.Enter(request.Channel(), request.Sequence());
    const uint64_t sequence = request.Sequence();
    stale = [this, &client, latest, sequence] {
      return stopping_ || client.Gone() || PreviewChannels::IsStale(latest, sequence);
    };
  }
  noise::utils::HeightGrid grid;
  if (!maker_.Make(request.Settings(), request.Area(), grid, stale)) {
    if (stopping_) throw StudioError(503, "the studio is stopping");
    if (client.Gone()) throw StudioError(400, "the client went before its preview was done");
    throw StudioError(409, "preview " + std::to_string(request.Sequence()) + " of \"" + request.Channel() +
                               "\" was replaced by a newer one");
  }
  if (request.GetOutput() == PreviewRequest::Output::kHeights) {
    SendJson(res, HeightsJson(grid));
  } else {
    res.set_content(ReliefPng::Encode(grid), "image/png");
  }
}

}  // namespace studio
