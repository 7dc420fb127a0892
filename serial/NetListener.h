// The listening socket of a tcp-listen: or rfc2217-listen: port.
#pragma once

#include <string>

class NetListener {
 public:
  // Listens on `address` (numeric, or a name looked up once here) and `port`; EInOutError naming
  // `name` when that fails (the port is in use, the address is not this machine's).
  NetListener(const std::string& address, int port, const std::string& name);
  ~NetListener();
  NetListener(const NetListener&) = delete;
  NetListener& operator=(const NetListener&) = delete;

  int Fd() const { return fd_; }
  // Whether something listens on `address`:`port` already (this program or another).
  static bool InUse(const std::string& address, int port);
  // A waiting client's descriptor (non-blocking), or -1 when none waits; `peer` names it.
  int Accept(std::string& peer);

 private:
  int fd_ = -1;
};

// "ADDR:PORT" of a socket address ("[::1]:5000" for IPv6).
std::string PeerText(const struct sockaddr* address);
