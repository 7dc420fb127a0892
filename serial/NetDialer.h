// Keeps trying to connect to HOST:PORT for a connecting network port, without ever blocking the
// thread that drives it: a numeric host is used at once, a name is resolved on a short-lived
// thread that posts its answer back through a descriptor; the connect is non-blocking; a failed
// attempt is repeated after 1 s, then 2, 4, 8 and 10 s at most, until one succeeds.
//
// Every descriptor it waits on is registered in the caller's epoll set; the caller hands each
// ready one to Handle.
#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class NetDialer {
 public:
  enum class Step { Waiting, Connected, Failed };

  NetDialer(std::string host, int port, int epoll);
  ~NetDialer();
  NetDialer(const NetDialer&) = delete;
  NetDialer& operator=(const NetDialer&) = delete;

  // Starts an attempt now.
  void Dial();
  // Starts the next attempt after the back-off, which grows with each call.
  void DialLater();
  // A connection held for a while: the next loss is retried after 1 s again.
  void ResetBackOff() { backOffMs_ = 0; }
  int NextDelayMs() const;

  bool Owns(int fd) const;
  // Works on a ready descriptor of its own. Connected: `socket` is the connected descriptor, now
  // the caller's (removed from the epoll set). Failed: `failure` says why; nothing is pending
  // until DialLater or Dial.
  Step Handle(int fd, int& socket, std::string& failure);

 private:
  struct Resolution;
  void Resolve();
  Step TakeResolution(std::string& failure);
  Step TryNextAddress(std::string& failure);
  void Abandon();

  std::string host_;
  int port_;
  int epoll_;
  int timer_ = -1;
  int connecting_ = -1;
  int backOffMs_ = 0;
  std::shared_ptr<Resolution> resolving_;
  std::vector<sockaddr_storage> addresses_;
  std::vector<socklen_t> lengths_;
  std::size_t next_ = 0;
  std::string lastError_;
  std::string pendingFailure_;  // an attempt that failed at once, told at the next Handle
};
