#include "studio/port_sockets.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>

namespace studio {

namespace {

// The process's open descriptors that are IPv4 sockets bound to `port`.
std::vector<int> SocketsOn(int port) {
  std::vector<int> found;
  DIR* fds = opendir("/proc/self/fd");
  if (fds == nullptr) return found;
  for (const dirent* entry; (entry = readdir(fds)) != nullptr;) {
    char* end = nullptr;
    const long fd = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0' || fd == dirfd(fds)) continue;
    sockaddr_in local{};
    socklen_t size = sizeof(local);
    const int descriptor = static_cast<int>(fd);
    if (getsockname(descriptor, reinterpret_cast<sockaddr*>(&local), &size) == 0 &&
        local.sin_family == AF_INET && ntohs(local.sin_port) == port) {
      found.push_back(descriptor);
    }
  }
  closedir(fds);
  return found;
}

}  // namespace

std::vector<PortSockets::Connection> PortSockets::Connections(int localPort) {
  std::vector<Connection> connections;
  for (const int fd : SocketsOn(localPort)) {
    sockaddr_in peer{};
    socklen_t size = sizeof(peer);
    char text[INET_ADDRSTRLEN] = {};
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) != 0 ||
        inet_ntop(AF_INET, &peer.sin_addr, text, sizeof(text)) == nullptr) {
      continue;
    }
    connections.push_back({fd, text, ntohs(peer.sin_port)});
  }
  return connections;
}

std::vector<int> PortSockets::Listeners(int localPort) {
  std::vector<int> listeners;
  for (const int fd : SocketsOn(localPort)) {
    int listening = 0;
    socklen_t size = sizeof(listening);
    if (getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) == 0 && listening == 1) {
      listeners.push_back(fd);
    }
  }
  return listeners;
}

}  // namespace studio
