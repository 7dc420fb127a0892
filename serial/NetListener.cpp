#include "NetListener.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "SerialErrors.h"

namespace {

int ListenOn(const addrinfo& address) {
  const int fd = socket(address.ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  // A port closed a moment ago can be listened on again (its connections in TIME_WAIT); a port
  // another socket listens on stays refused.
  const int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (bind(fd, address.ai_addr, address.ai_addrlen) == 0 && listen(fd, 4) == 0) return fd;
  const int error = errno;
  ::close(fd);
  errno = error;
  return -1;
}

addrinfo* ListenAddresses(const std::string& address, int port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* list = nullptr;
  if (getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &list) != 0) {
    return nullptr;
  }
  return list;
}

}  // namespace

NetListener::NetListener(const std::string& address, int port, const std::string& name) {
  addrinfo* list = ListenAddresses(address, port);
  if (!list) throw EInOutError(EADDRNOTAVAIL, name);
  int error = EADDRNOTAVAIL;
  for (const addrinfo* a = list; a && fd_ < 0; a = a->ai_next) {
    fd_ = ListenOn(*a);
    if (fd_ < 0) error = errno;
  }
  freeaddrinfo(list);
  if (fd_ < 0) throw EInOutError(error, name);
}

NetListener::~NetListener() { ::close(fd_); }

bool NetListener::InUse(const std::string& address, int port) {
  addrinfo* list = ListenAddresses(address, port);
  if (!list) return false;
  const int fd = ListenOn(*list);
  const bool inUse = fd < 0 && errno == EADDRINUSE;
  if (fd >= 0) ::close(fd);
  freeaddrinfo(list);
  return inUse;
}

int NetListener::Accept(std::string& peer) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  const int fd =
      accept4(fd_, reinterpret_cast<sockaddr*>(&address), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd >= 0) peer = PeerText(reinterpret_cast<const sockaddr*>(&address));
  return fd;
}

std::string PeerText(const sockaddr* address) {
  char text[INET6_ADDRSTRLEN] = "?";
  if (address->sa_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
    inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(v4->sin_port));
  }
  if (address->sa_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
    inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
    return "[" + std::string(text) + "]:" + std::to_string(ntohs(v6->sin6_port));
  }
  return text;
}
