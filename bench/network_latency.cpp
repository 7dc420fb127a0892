// Reply time on port A through the network ports against the pseudo-terminal, in one run: three
// headless programs run the virtual machine on "pty:", "tcp-listen:" and "rfc2217-listen:" (all
// on this machine, the network ones on the loopback); this program is the editor of each and
// sends CURRENT TIME SENSE to the three in turn, round after round, so every path sees the same
// load. Prints median, p99, p99.9 and the worst of each, then each network median as a multiple
// of the pty one (the goal is 1.3 at most).
// Usage: network_latency [rounds (5000)] [path of selkietest]
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "TelnetCodec.h"
#include "latency_stats.h"

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;
const Bytes kTimeSense = {0x61, 0x0C, 0x01, 0x6E};
constexpr std::size_t kReplySize = 7;

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

pid_t StartMachine(const std::string& program, const std::string& portA) {
  const pid_t pid = fork();
  if (pid == 0) {
    (void)!freopen("/dev/null", "w", stdout);
    execl(program.c_str(), program.c_str(), "--headless", "--port-a", portA.c_str(), nullptr);
    _exit(127);
  }
  return pid;
}

void WriteAll(int fd, const Bytes& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) done += static_cast<std::size_t>(n);
  }
}

// One editor: a descriptor to the machine and, for RFC 2217, the telnet layer around the data.
struct Path {
  std::string name;
  int fd = -1;
  bool telnet = false;
  telnet::Decoder decoder;
  std::vector<double> ms;

  // The time from the request's write to the whole reply's arrival; < 0 when none came.
  double Request() {
    Bytes wire;
    if (telnet) {
      telnet::Escape(kTimeSense.data(), kTimeSense.size(), wire);
    } else {
      wire = kTimeSense;
    }
    const auto start = Clock::now();
    WriteAll(fd, wire);
    Bytes reply;
    while (reply.size() < kReplySize) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 1000) <= 0) return -1;
      uint8_t chunk[256];
      const ssize_t n = ::read(fd, chunk, sizeof chunk);
      if (n <= 0) return -1;
      std::vector<telnet::Command> commands;
      if (telnet) {
        decoder.Feed(chunk, static_cast<std::size_t>(n), reply, commands);
      } else {
        reply.insert(reply.end(), chunk, chunk + n);
      }
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  }
};

int OpenPty(const std::string& link) {
  for (int tries = 0; tries < 100; ++tries) {
    const int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY);
    if (fd >= 0) {
      termios tio{};
      tcgetattr(fd, &tio);
      cfmakeraw(&tio);
      tcsetattr(fd, TCSANOW, &tio);
      return fd;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return -1;
}

int OpenSocket(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  for (int tries = 0; tries < 100; ++tries) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      const int one = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      return fd;
    }
    ::close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 5000;
  const std::string program = argc > 2 ? argv[2] : SELKIE_SELKIETEST;
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("selkie-netbench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string link = (folder / "machine").string();
  const int tcpPort = FreePort();
  const int rfcPort = FreePort();
  const std::vector<pid_t> machines = {
      StartMachine(program, "pty:" + link),
      StartMachine(program, "tcp-listen:127.0.0.1:" + std::to_string(tcpPort)),
      StartMachine(program, "rfc2217-listen:127.0.0.1:" + std::to_string(rfcPort))};
  std::vector<Path> paths(3);
  paths[0].name = "pty:";
  paths[0].fd = OpenPty(link);
  paths[1].name = "tcp-listen:";
  paths[1].fd = OpenSocket(tcpPort);
  paths[2].name = "rfc2217-listen:";
  paths[2].fd = OpenSocket(rfcPort);
  paths[2].telnet = true;
  int status = 0;
  for (const Path& path : paths) {
    if (path.fd < 0) {
      std::fprintf(stderr, "network_latency: could not reach the machine on %s\n",
                   path.name.c_str());
      status = 1;
    }
  }
  if (status == 0) {
    Bytes offer;  // what a client says first; the machine's answers are read with the replies
    telnet::AppendCommand(telnet::kWill, telnet::kOptionComPort, offer);
    telnet::AppendCommand(telnet::kWill, telnet::kOptionBinary, offer);
    telnet::AppendCommand(telnet::kDo, telnet::kOptionBinary, offer);
    WriteAll(paths[2].fd, offer);
    for (Path& path : paths) {
      for (int i = 0; i < 50; ++i) path.Request();  // warm-up
    }
    for (int round = 0; round < rounds; ++round) {
      for (int k = 0; k < 3; ++k) {
        Path& path = paths[static_cast<std::size_t>((round + k) % 3)];
        const double ms = path.Request();
        if (ms >= 0) path.ms.push_back(ms);
      }
    }
    std::printf("port A reply time, CURRENT TIME SENSE, %d interleaved rounds\n", rounds);
    for (const Path& path : paths) PrintStats(path.name, path.ms);
    const double base = Percentile(paths[0].ms, 50);
    for (std::size_t i = 1; i < paths.size(); ++i) {
      const double ratio = base > 0 ? Percentile(paths[i].ms, 50) / base : 0;
      std::printf("%-16s median / pty: median = %.2fx (goal 1.30x at most)%s\n",
                  paths[i].name.c_str(), ratio, ratio <= 1.3 ? "" : "  OVER");
      if (paths[i].ms.size() < static_cast<std::size_t>(rounds)) status = 1;
    }
  }
  for (const Path& path : paths) {
    if (path.fd >= 0) ::close(path.fd);
  }
  for (pid_t pid : machines) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
  }
  std::filesystem::remove_all(folder);
  return status;
}
