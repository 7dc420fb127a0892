#include "StopSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <initializer_list>

namespace {

int gPipe[2] = {-1, -1};

void Forward(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(gPipe[1], &byte, 1);
}

}  // namespace

void StopSignals::Install() {
  std::signal(SIGPIPE, SIG_IGN);
  if (gPipe[0] >= 0 || ::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  struct sigaction action {};
  action.sa_handler = Forward;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

int StopSignals::Fd() { return gPipe[0]; }

bool StopSignals::Take() {
  bool came = false;
  char bytes[16];
  while (gPipe[0] >= 0 && ::read(gPipe[0], bytes, sizeof bytes) > 0) came = true;
  return came;
}
