// An rfc2217:// port against ser2net (started here, RFC 2217 in front of a pseudo-terminal the
// test holds): the line is set, data with 0xFF passes both ways unchanged, and ser2net's silence
// on line control is noted once while the port goes on.
#include <signal.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "NetTestSupport.h"
#include "Rfc2217Device.h"

using namespace net_test;
using Bytes = std::vector<uint8_t>;

namespace {

// ser2net serving `device` as RFC 2217 on the loopback `port`, for the life of the object.
class Ser2net {
 public:
  Ser2net(const std::string& device, int port) {
    char folder[] = "/tmp/selkie-ser2net-XXXXXX";
    folder_ = mkdtemp(folder);
    const std::string config = folder_ + "/ser2net.yaml";
    std::ofstream(config) << "%YAML 1.1\n---\nconnection: &machine\n"
                          << "  accepter: telnet(rfc2217),tcp,127.0.0.1," << port << "\n"
                          << "  connector: serialdev," << device << ",9600n81,local\n";
    pid_ = fork();
    if (pid_ == 0) {
      const std::string log = folder_ + "/log.txt";
      (void)!freopen(log.c_str(), "w", stdout);
      (void)!freopen(log.c_str(), "a", stderr);
      execlp("ser2net", "ser2net", "-n", "-d", "-c", config.c_str(), nullptr);
      _exit(127);
    }
  }
  ~Ser2net() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    std::filesystem::remove_all(folder_);
  }

 private:
  std::string folder_;
  pid_t pid_ = -1;
};

bool Installed(const char* program) {
  return std::system((std::string("command -v ") + program + " >/dev/null").c_str()) == 0;
}

}  // namespace

TEST(Ser2netPeer, PortReachesAPseudoTerminalThroughSer2net) {
  if (!Installed("ser2net")) GTEST_SKIP() << "ser2net is not installed (scripts/install-deps)";
  PtyPair machine;
  const int portNumber = FreePort();
  Ser2net server(machine.Path(), portNumber);
  RecordingPort owned;
  owned.port.SetBaud(38400);
  owned.port.SetParity(pOdd);
  owned.Open(430, "rfc2217://127.0.0.1:" + std::to_string(portNumber));
  // ser2net may still be starting: the port retries after 1 s.
  const Bytes request = {0x61, 0x0C, 0xFF, 0x6C};
  std::vector<uint8_t> got;
  ASSERT_TRUE(owned.PumpUntil(
      [&] {
        if (owned.Noted("connected to") == 0 && owned.Noted("cannot connect") > 0) return false;
        owned.port.WriteString(request);
        got = ReadWhilePumping(owned, machine.Master(), request.size(), 300ms);
        return got == request;
      },
      8000ms));
  const Bytes reply = {0x74, 0x04, 0xFF, 0x00, 0x00, 0x00, 0x77};
  WriteAll(machine.Master(), reply);
  ASSERT_TRUE(owned.WaitReceived(reply.size()));
  EXPECT_EQ(owned.received, reply);
  // ser2net answers the line settings but not line control on a pseudo-terminal.
  owned.PumpUntil([] { return false; }, std::chrono::milliseconds(Rfc2217Device::kAnswerMs + 500));
  EXPECT_EQ(owned.Noted("did not answer"), 1) << ::testing::PrintToString(owned.notes);
  EXPECT_EQ(owned.Noted("SET-BAUDRATE"), 0);
  EXPECT_TRUE(owned.errors.empty());
}
