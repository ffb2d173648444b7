// Tells whether the client of a request being served has gone.
#pragma once

#include <string>

namespace studio {

// Finds the connection of one request among the process's sockets (the one
// from `remoteAddress`:`remotePort` to `localPort`, which stays open while
// the request is served) and tells once the client has closed it. Where the
// connection is not found, the client never counts as gone.
class ClientWatch {
 public:
  ClientWatch(int localPort, const std::string& remoteAddress, int remotePort);
  // Whether the client has closed its end or the connection failed; data
  // it sent after the request is left unread.
  bool Gone() const;

 private:
  int fd_ = -1;
};

}  // namespace studio
