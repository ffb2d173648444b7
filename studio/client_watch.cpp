#include "studio/client_watch.h"

#include <poll.h>

#include "studio/port_sockets.h"

namespace studio {

ClientWatch::ClientWatch(int localPort, const std::string& remoteAddress, int remotePort) {
  for (const PortSockets::Connection& connection : PortSockets::Connections(localPort)) {
    if (connection.peerAddress == remoteAddress && connection.peerPort == remotePort) fd_ = connection.fd;
  }
}

bool ClientWatch::Gone() const {
  if (fd_ < 0) return false;
  pollfd watched{fd_, POLLRDHUP, 0};
  if (poll(&watched, 1, 0) != 1) return false;
  return (watched.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

}  // namespace studio
