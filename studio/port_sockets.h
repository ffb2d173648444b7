// The process's own sockets on one local port, found among its open
// descriptors (Linux).
#pragma once

#include <string>
#include <vector>

namespace studio {

class PortSockets {
 public:
  struct Connection {
    int fd = -1;
    std::string peerAddress;  // dotted IPv4
    int peerPort = 0;
  };

  // The IPv4 connections accepted on `localPort`.
  static std::vector<Connection> Connections(int localPort);
  // The IPv4 sockets listening on `localPort`.
  static std::vector<int> Listeners(int localPort);
};

}  // namespace studio
