#include "studio/client_watch.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cstdlib>

namespace studio {

namespace {

// Whether `fd` is an IPv4 connection from `remote`:`remotePort` to
// `localPort`.
bool Connects(int fd, int localPort, const in_addr& remote, int remotePort) {
  sockaddr_in local{}, peer{};
  socklen_t localSize = sizeof(local), peerSize = sizeof(peer);
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) != 0 || local.sin_family != AF_INET ||
      getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0) {
    return false;
  }
  return ntohs(local.sin_port) == localPort && ntohs(peer.sin_port) == remotePort &&
         peer.sin_addr.s_addr == remote.s_addr;
}

}  // namespace

ClientWatch::ClientWatch(int localPort, const std::string& remoteAddress, int remotePort) {
  in_addr remote{};
  if (inet_pton(AF_INET, remoteAddress.c_str(), &remote) != 1) return;
  DIR* fds = opendir("/proc/self/fd");
  if (fds == nullptr) return;
  for (const dirent* entry; (entry = readdir(fds)) != nullptr;) {
    char* end = nullptr;
    const long fd = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0' || fd == dirfd(fds)) continue;
    if (Connects(static_cast<int>(fd), localPort, remote, remotePort)) {
      fd_ = static_cast<int>(fd);
      break;
    }
  }
  closedir(fds);
}

bool ClientWatch::Gone() const {
  if (fd_ < 0) return false;
  pollfd watched{fd_, POLLRDHUP, 0};
  if (poll(&watched, 1, 0) != 1) return false;
  return (watched.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

}  // namespace studio
