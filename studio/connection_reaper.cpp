#include "studio/connection_reaper.h"

#include <sys/ioctl.h>
#include <sys/socket.h>

#include <system_error>
#include <utility>
#include <vector>

#include "studio/port_sockets.h"

namespace studio {

namespace {

constexpr auto kSweepInterval = std::chrono::milliseconds(250);

std::string KeyOf(const std::string& address, int port) { return address + ":" + std::to_string(port); }

// The process's connections to `localPort`: their descriptors by the
// client's "address:port".
std::map<std::string, int> ConnectionsTo(int localPort) {
  std::map<std::string, int> found;
  for (const PortSockets::Connection& connection : PortSockets::Connections(localPort)) {
    found[KeyOf(connection.peerAddress, connection.peerPort)] = connection.fd;
  }
  return found;
}

}  // namespace

bool ConnectionReaper::Start(int localPort, Clock::duration requestDeadline) {
  Stop();
  std::lock_guard<std::mutex> lock(mutex_);
  port_ = localPort;
  deadline_ = requestDeadline;
  stopping_ = false;
  try {
    thread_ = std::thread([this] { Watch(); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void ConnectionReaper::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void ConnectionReaper::HeadersRead(const std::string& address, int port, bool hasBody) {
  Set(address, port, hasBody ? Phase::kBody : Phase::kHandling);
}

void ConnectionReaper::Handling(const std::string& address, int port) {
  Set(address, port, Phase::kHandling);
}

void ConnectionReaper::Answered(const std::string& address, int port) { Set(address, port, Phase::kRequest); }

void ConnectionReaper::Set(const std::string& address, int port, Phase phase) {
  std::lock_guard<std::mutex> lock(mutex_);
  Connection& connection = connections_[KeyOf(address, port)];
  connection.phase = phase;
  connection.since = Clock::now();
}

void ConnectionReaper::Watch() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!wake_.wait_for(lock, kSweepInterval, [this] { return stopping_; })) {
    lock.unlock();
    Sweep();
    lock.lock();
  }
}

void ConnectionReaper::Sweep() {
  const std::map<std::string, int> open = ConnectionsTo(port_);
  const Clock::time_point now = Clock::now();
  std::vector<std::pair<std::string, int>> late;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = connections_.begin(); it != connections_.end();) {
      it = open.count(it->first) == 0 ? connections_.erase(it) : std::next(it);
    }
    for (const auto& [key, fd] : open) {
      auto [it, added] = connections_.try_emplace(key, Connection{Phase::kRequest, now});
      Connection& connection = it->second;
      if (added || connection.phase == Phase::kHandling || now - connection.since <= deadline_) continue;
      // Bytes not read yet: the connection waits for a thread to serve it,
      // and its client is not slow.
      int unread = 0;
      if (ioctl(fd, FIONREAD, &unread) == 0 && unread > 0) continue;
      late.emplace_back(key, fd);
      // Counted afresh should it stay open a while after the shutdown.
      connection.since = now;
    }
  }
  // The thread that serves the connection still owns the descriptor: it
  // finds the connection ended and closes it. The descriptor is checked
  // again first, should that thread have closed it and another connection
  // taken its number.
  if (late.empty()) return;
  const std::map<std::string, int> still = ConnectionsTo(port_);
  for (const auto& [key, fd] : late) {
    const auto it = still.find(key);
    if (it != still.end() && it->second == fd) shutdown(fd, SHUT_RDWR);
  }
}

}  // namespace studio
