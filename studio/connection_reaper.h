// Closes the connections of clients that send their requests too slowly.
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace studio {

// Watches the connections to one local port and shuts down every one whose
// client takes longer than `requestDeadline` to send a request's headers
// (from its connection, or from the answer to its last request) or its
// body (from its headers), however it spaces its bytes: a slow client costs
// its own connection for that long and no more. A request being handled
// has no deadline, nor has a connection whose bytes wait unread for a
// thread to serve it. Linux only: it finds the connections among the
// process's sockets. Thread-safe.
class ConnectionReaper {
 public:
  using Clock = std::chrono::steady_clock;

  ConnectionReaper() = default;
  ~ConnectionReaper() { Stop(); }
  ConnectionReaper(const ConnectionReaper&) = delete;
  ConnectionReaper& operator=(const ConnectionReaper&) = delete;

  // Starts watching `localPort`; false when no thread can be had.
  bool Start(int localPort, Clock::duration requestDeadline);
  void Stop();

  // What the server tells of the connection from `address`:`port`: the
  // request's headers are read (its body follows when it has one), its
  // handling has begun, its answer is sent.
  void HeadersRead(const std::string& address, int port, bool hasBody);
  void Handling(const std::string& address, int port);
  void Answered(const std::string& address, int port);

 private:
  enum class Phase { kRequest, kBody, kHandling };
  struct Connection {
    Phase phase = Phase::kRequest;
    Clock::time_point since;
  };

  void Set(const std::string& address, int port, Phase phase);
  void Watch();
  // Shuts down the connections past their deadline; forgets those gone.
  void Sweep();

  int port_ = -1;
  Clock::duration deadline_{};
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  // By "address:port" of the client.
  std::map<std::string, Connection> connections_;
  std::thread thread_;
};

}  // namespace studio
