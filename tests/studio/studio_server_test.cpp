// What the studio's server holds to whatever a local program sends: bodies
// that would outgrow the limit while stored, names Windows cannot take or
// that are not UTF-8, a second studio on the same port, framing by another
// site. Raw sockets where an HTTP client would tidy the request.
#include "studio/studio_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "studio/studio_folder.h"
#include "support/run_program.h"
#include "support/temp_dir_fixture.h"

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

class StudioServerTest : public testsupport::TempDirFixture {
 protected:
  void SetUp() override {
    fs::create_directory(Served());
    folder_ = std::make_unique<studio::StudioFolder>(Served());
    server_ = std::make_unique<studio::StudioServer>(*folder_, 2, nullptr);
    port_ = server_->Bind(0);
    ASSERT_GT(port_, 0);
    server_->SetRequestDeadline(std::chrono::milliseconds(1500));
    thread_ = std::thread([this] { server_->Run(); });
  }
  void TearDown() override {
    if (server_) server_->Stop();
    if (thread_.joinable()) thread_.join();
    TempDirFixture::TearDown();
  }
  std::string Served() const { return temp_.File("served"); }

  // Sends `request` as it stands and returns all that comes back before the
  // server closes the connection or stays silent for five seconds.
  std::string Exchange(const std::string& request) const {
    const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_GE(sock, 0);
    timeval wait{5, 0};
    ::setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof(wait));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        ::send(sock, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
      char buffer[4096];
      for (ssize_t got; (got = ::recv(sock, buffer, sizeof(buffer), 0)) > 0;) answer.append(buffer, got);
    }
    ::close(sock);
    return answer;
  }
  // A connection that has sent `request`, or -1.
  int Connect(const std::string& request) const {
    const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (sock < 0 || ::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::send(sock, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
      if (sock >= 0) ::close(sock);
      return -1;
    }
    return sock;
  }
  // A request with this studio's Host, `headers` (each ending in CRLF) and
  // `body` after them.
  std::string Request(const std::string& line, const std::string& headers,
                      const std::string& body = "") const {
    return line + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port_) + "\r\nConnection: close\r\n" +
           headers + "\r\n" + body;
  }
  static int StatusOf(const std::string& answer) {
    return answer.compare(0, 9, "HTTP/1.1 ") == 0 ? std::atoi(answer.c_str() + 9) : -1;
  }
  // The JSON body of an answer.
  static json BodyOf(const std::string& answer) {
    const size_t start = answer.find("\r\n\r\n");
    return start == std::string::npos ? json() : json::parse(answer.substr(start + 4), nullptr, false);
  }

  std::unique_ptr<studio::StudioFolder> folder_;
  std::unique_ptr<studio::StudioServer> server_;
  int port_ = -1;
  std::thread thread_;
};

// A chunked or compressed body is refused from its headers, before any of
// it is read: the answer comes although the body never does.
TEST_F(StudioServerTest, BodiesThatCouldOutgrowTheLimitAreRefusedUnread) {
  const std::string chunked = Exchange(
      Request("POST /api/parse", "Content-Type: application/json\r\nTransfer-Encoding: chunked\r\n"));
  EXPECT_EQ(StatusOf(chunked), 411) << chunked;
  EXPECT_TRUE(BodyOf(chunked).at("error").is_string()) << chunked;
  const std::string encoded =
      Exchange(Request("PUT /api/files/a.txt", "Content-Encoding: gzip\r\nContent-Length: 1000000\r\n"));
  EXPECT_EQ(StatusOf(encoded), 415) << encoded;
  EXPECT_FALSE(fs::exists(Served() + "/a.txt"));
  // A body with its length is still taken.
  const std::string body = R"({"commandFile":"0 1 1 1 4 4 0 1 0 1 0 0 0 6 1 0.5 0"})";
  const std::string plain = Exchange(Request(
      "POST /api/parse",
      "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) + "\r\n", body));
  EXPECT_EQ(StatusOf(plain), 200) << plain;
}

// A name that is not UTF-8 is refused before anything is written, and a
// file of such a name put there by another program leaves the list whole.
// Invalid UTF-8 in a JSON body is the client's fault, told in UTF-8.
TEST_F(StudioServerTest, TextThatIsNotUtf8IsRefusedAndNeverBreaksAnAnswer) {
  const std::string put = Exchange(Request("PUT /api/files/%FF.txt", "Content-Length: 1\r\n", "x"));
  EXPECT_EQ(StatusOf(put), 400) << put;
  EXPECT_TRUE(fs::is_empty(Served()));
  std::ofstream(Served() + "/\xff.txt") << "0 1 1 1 4 4 0 1 0 1 0 0 0 6 1 0.5 0\n";
  std::ofstream(Served() + "/good.txt") << "0 1 1 1 4 4 0 1 0 1 0 0 0 6 1 0.5 0\n";
  // Text that is no command file is listed apart.
  std::ofstream(Served() + "/notes.txt") << "not a command file\n";
  const std::string list = Exchange(Request("GET /api/files", ""));
  EXPECT_EQ(StatusOf(list), 200) << list;
  EXPECT_EQ(BodyOf(list).at("files"), json::array({"good.txt"}));
  EXPECT_EQ(BodyOf(list).at("others"), json::array({"notes.txt"}));
  const std::string body = "{\"commandFile\":\"\xff\"}";
  const std::string parse = Exchange(Request(
      "POST /api/parse",
      "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) + "\r\n", body));
  EXPECT_EQ(StatusOf(parse), 400) << parse;
  EXPECT_TRUE(BodyOf(parse).at("error").is_string()) << parse;
}

// Names Windows keeps for devices (before the first dot, in any case) or
// would change (a final dot or space), and its forbidden characters, are
// refused for command files and outputs alike; names that only begin like
// a device are not.
TEST(StudioFolderNames, WindowsNamesAreRefusedForEveryFile) {
  for (const char* name :
       {"CON.txt", "con.txt", "Nul.txt", "aux.notes.txt", "PRN.txt", "com1.txt", "LPT9.txt", "con .txt",
        "a:b.txt", "a?.txt", "a*.txt", "a|b.txt", "a<b.txt", "a\"b.txt"}) {
    EXPECT_FALSE(studio::StudioFolder::IsPlainName(name)) << name;
  }
  for (const char* name : {"CON", "lpt1.hmp", "terrain.", "terrain ", "nul.png"}) {
    EXPECT_FALSE(studio::StudioFolder::IsPlainComponent(name)) << name;
  }
  for (const char* name :
       {"console.txt", "com10.txt", "connect.txt", "nul_x.txt", "auxiliary.txt", "é.txt"}) {
    EXPECT_TRUE(studio::StudioFolder::IsPlainName(name)) << name;
  }
  // Overlong, surrogate and cut-off UTF-8.
  for (const char* name :
       {"\xc0\xaf.txt", "\xe0\x80\xaf.txt", "\xed\xa0\x80.txt", "\xe2\x82.txt", "\xf4\x90\x80\x80.txt"}) {
    EXPECT_FALSE(studio::StudioFolder::IsPlainName(name)) << name;
  }
}

// The processor time this process has taken, in seconds.
double ProcessorSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A preview whose client has gone stops at its next band: a while later
// the studio, which would otherwise work on both its threads for many
// seconds more, is idle.
TEST_F(StudioServerTest, APreviewEndsOnceItsClientHasGone) {
  // A band takes a fraction of a second, the whole preview many: twenty
  // rows, two under the sanitizers.
#ifdef TOOLKIT_SANITIZED_BUILD
  const int rows = 2;
#else
  const int rows = 20;
#endif
  std::string commandFile = "0 " + std::to_string(rows) + " 1 1 1024 1024 0 1 0 1 0 0  0 30 1 0.5 0";
  for (int row = 1; row < rows; ++row) commandFile += "  14 30 0.04 12.5 3";
  const std::string body = json{{"commandFile", commandFile}, {"width", 1024}, {"height", 1024}}.dump();
  const int sock = Connect(Request(
      "POST /api/preview",
      "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) + "\r\n", body));
  ASSERT_GE(sock, 0);
  // The preview is under way once it has taken some processor time, however
  // busy the machine is.
  const double started = ProcessorSeconds();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (ProcessorSeconds() - started < 0.3 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const double working = ProcessorSeconds() - started;
  ::close(sock);
  std::this_thread::sleep_for(std::chrono::milliseconds(4000));
  const double before = ProcessorSeconds();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const double idle = ProcessorSeconds() - before;
  EXPECT_GE(working, 0.3) << "processor seconds the preview took before its client went";
  EXPECT_LT(idle, 0.3) << "processor seconds over one second, 4 s after the client went";
}

// Whether the server has closed `sock` within `wait`.
bool ClosedWithin(int sock, std::chrono::milliseconds wait) {
  const auto end = std::chrono::steady_clock::now() + wait;
  char byte = 0;
  while (std::chrono::steady_clock::now() < end) {
    const ssize_t got = ::recv(sock, &byte, 1, MSG_DONTWAIT);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

// More clients than the studio has threads stall inside their headers; the
// page's own requests, 40 at once, are all answered, and each stalled
// client loses its connection once past the request deadline.
TEST_F(StudioServerTest, StalledClientsCostOnlyTheirOwnConnections) {
  std::vector<int> stalled;
  for (int i = 0; i < studio::StudioServer::kWorkers + 6; ++i) {
    stalled.push_back(Connect("GET /api/files HTTP/1.1\r\nHo"));
    ASSERT_GE(stalled.back(), 0);
  }
  std::vector<int> statuses(40, -1);
  std::vector<std::thread> page;
  for (size_t i = 0; i < statuses.size(); ++i) {
    page.emplace_back(
        [this, &statuses, i] { statuses[i] = StatusOf(Exchange(Request("GET /api/files", ""))); });
  }
  for (std::thread& request : page) request.join();
  EXPECT_EQ(statuses, std::vector<int>(40, 200));
  for (const int sock : stalled) {
    EXPECT_TRUE(ClosedWithin(sock, std::chrono::milliseconds(3000)));
    ::close(sock);
  }
}

// A client that sends its headers a byte every 200 ms, well within each
// read's own time limit, is cut off at the request deadline all the same.
TEST_F(StudioServerTest, ATrickleOfHeaderBytesIsCutOffAtTheDeadline) {
  const int sock = Connect("GET /api/files HTTP/1.1\r\n");
  ASSERT_GE(sock, 0);
  const auto start = std::chrono::steady_clock::now();
  bool cut = false;
  while (!cut && std::chrono::steady_clock::now() - start < std::chrono::seconds(8)) {
    cut = ::send(sock, "X", 1, MSG_NOSIGNAL) != 1 || ClosedWithin(sock, std::chrono::milliseconds(200));
  }
  ::close(sock);
  EXPECT_TRUE(cut);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// A second studio cannot take a port that one already listens on: it says
// so in one line and ends with status 1, and the first keeps every request.
TEST_F(StudioServerTest, ASecondStudioCannotShareThePort) {
  studio::StudioServer second(*folder_, 1, nullptr);
  EXPECT_EQ(second.Bind(port_), -1);
  fs::create_directory(temp_.File("other"));
  // Should it start all the same, it is ended after ten seconds (status 124).
  const testsupport::ProgramResult run = testsupport::RunProgram(
      "/usr/bin/timeout", {"10", STUDIO_PROGRAM_PATH, "--port", std::to_string(port_), temp_.File("other")},
      temp_.File("other"));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  EXPECT_NE(run.err.find(std::to_string(port_)), std::string::npos) << run.err;
}

// Every answer, the page's and the interface's, forbids framing by any
// site and limits the page to the studio's own scripts, styles and pictures.
TEST_F(StudioServerTest, AnswersForbidFramingAndForeignContent) {
  fs::create_directory(temp_.File("page"));
  std::ofstream(temp_.File("page/index.html")) << "<!doctype html><title>studio</title>\n";
  ASSERT_TRUE(server_->ServePage(temp_.File("page")));
  for (const char* line : {"GET /", "GET /api/files", "GET /api/nothing"}) {
    const std::string answer = Exchange(Request(line, ""));
    EXPECT_NE(answer.find("\r\nX-Frame-Options: DENY\r\n"), std::string::npos) << line << "\n" << answer;
    const size_t policy = answer.find("\r\nContent-Security-Policy: ");
    ASSERT_NE(policy, std::string::npos) << line << "\n" << answer;
    const std::string value = answer.substr(policy, answer.find("\r\n", policy + 2) - policy);
    for (const char* part : {"frame-ancestors 'none'", "default-src 'none'", "script-src 'self';"})
      EXPECT_NE(value.find(part), std::string::npos) << line << ": " << value;
  }
}

}  // namespace
