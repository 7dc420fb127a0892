// A headless rack with --capture and --log, as a user runs it: three machines, one of them on a
// network port, each asked over its own line. The capture names every line by its machine and
// reads back as exactly what each editor saw; --log prints each machine's lines under its name;
// --learn and --replay take one machine of the capture by --from.
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <thread>

#include "CaptureFile.h"
#include "ChildProgram.h"
#include "NetTestSupport.h"
#include "PersonalityFile.h"
#include "PtyEditor.h"
#include "SonyBytes.h"
#include "TempDir.h"
#include "sonyname.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Machine {
  std::string name;
  int identity;
  Bytes deviceType;  // what it answered
  Bytes time;
};

// A TCP editor: connects (the program may still be starting) and asks.
class TcpEditor {
 public:
  explicit TcpEditor(int port) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while ((fd_ = net_test::Connect(port)) < 0 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ~TcpEditor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Bytes Request(const Bytes& request) {
    serial_test::WriteAll(fd_, request);
    Bytes head = serial_test::ReadBytes(fd_, 2, std::chrono::milliseconds(2000));
    if (head.size() < 2) return head;
    const Bytes tail =
        serial_test::ReadBytes(fd_, (head[0] & 0x0F) + 1u, std::chrono::milliseconds(2000));
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  }
  bool IsOpen() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

std::vector<CaptureRecord> Of(const std::vector<CaptureRecord>& records, const std::string& port,
                              Direction direction) {
  std::vector<CaptureRecord> picked;
  for (const CaptureRecord& r : records)
    if (r.port == port && r.direction == direction) picked.push_back(r);
  return picked;
}

std::string FileText(const std::filesystem::path& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(RackCaptureTest, EveryMachineIsCapturedAndLoggedUnderItsName) {
  TempDir dir;
  const int tcpPort = net_test::FreePort();
  std::vector<Machine> machines = {{"vtr1", 5, {}, {}}, {"deck-b", 9, {}, {}}, {"net", 2, {}, {}}};
  const auto rack = dir.path() / "rack.toml";
  std::ofstream(rack) << "[[machine]]\nport = \"pty:" << (dir.path() / "vtr1").string()
                      << "\"\nmachine = 5\nstandard = 1\n\n"
                      << "[[machine]]\nname = \"deck-b\"\nport = \"pty:"
                      << (dir.path() / "deck-b").string() << "\"\nmachine = 9\n\n"
                      << "[[machine]]\nname = \"net\"\nport = \"tcp-listen:127.0.0.1:" << tcpPort
                      << "\"\nmachine = 2\n";
  const auto capture = dir.path() / "rack.cap";
  ChildProgram program(
      SELKIE_PROGRAM,
      {"--headless", "--rack", rack.string(), "--capture", capture.string(), "--log"},
      dir.path() / "out.txt");
  const Bytes deviceType = Framed({0x00, 0x11});
  const Bytes time = Framed({0x61, 0x0C, 0x01});
  {
    PtyEditor vtr1((dir.path() / "vtr1").string());
    PtyEditor deckB((dir.path() / "deck-b").string());
    TcpEditor net(tcpPort);
    ASSERT_TRUE(vtr1.IsOpen() && deckB.IsOpen() && net.IsOpen()) << program.Errors();
    const auto ask = [&](std::size_t i, const Bytes& request) {
      return i == 0   ? vtr1.Request(request)
             : i == 1 ? deckB.Request(request)
                      : net.Request(request);
    };
    for (std::size_t i = 0; i < machines.size(); ++i) {
      machines[i].deviceType = ask(i, deviceType);
      machines[i].time = ask(i, time);
      ASSERT_EQ(machines[i].time.size(), 7u) << machines[i].name;
    }
    EXPECT_NE(machines[0].deviceType, machines[1].deviceType);
    EXPECT_NE(machines[1].deviceType, machines[2].deviceType);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // past the framers' quiet gap
  }
  ASSERT_EQ(program.Stop(SIGTERM), 0) << program.Errors();

  const std::string text = FileText(capture);
  EXPECT_EQ(text.rfind("# selkietest capture 2\n", 0), 0u) << text.substr(0, 200);
  EXPECT_NE(text.find("# machine deck-b on pty:"), std::string::npos);
  const std::vector<CaptureRecord> records = CaptureReader::ReadFile(capture.string());
  const std::string log = program.Output();
  for (const Machine& m : machines) {
    const std::vector<CaptureRecord> asked = Of(records, m.name, Direction::Rx);
    const std::vector<CaptureRecord> told = Of(records, m.name, Direction::Tx);
    ASSERT_EQ(asked.size(), 2u) << m.name << "\n" << text;
    ASSERT_EQ(told.size(), 2u) << m.name << "\n" << text;
    EXPECT_EQ(asked[0].bytes, deviceType);
    EXPECT_EQ(asked[1].bytes, time);
    EXPECT_EQ(told[0].bytes, m.deviceType) << m.name;
    EXPECT_EQ(told[1].bytes, m.time) << m.name;
    EXPECT_NE(log.find(m.name + " Rx:" + HexBytes(time)), std::string::npos) << m.name << log;
  }

  // Several machines: a replay or a lesson must be told which one.
  const auto learned = dir.path() / "net.toml";
  ChildProgram unclear(
      SELKIE_PROGRAM,
      {"--replay", capture.string(), "--port-b", "pty:" + (dir.path() / "x").string()},
      dir.path() / "replay.txt");
  EXPECT_NE(unclear.Wait(), 0);
  EXPECT_NE(unclear.Errors().find("vtr1, deck-b, net: choose one with --from NAME"),
            std::string::npos)
      << unclear.Errors();
  ChildProgram wrong(SELKIE_PROGRAM,
                     {"--learn", capture.string(), "-o", learned.string(), "--from", "vtr9"},
                     dir.path() / "wrong.txt");
  EXPECT_EQ(wrong.Wait(), 2);
  EXPECT_NE(wrong.Errors().find("no port or machine \"vtr9\""), std::string::npos)
      << wrong.Errors();
  ChildProgram learn(SELKIE_PROGRAM,
                     {"--learn", capture.string(), "-o", learned.string(), "--from", "net"},
                     dir.path() / "learn.txt");
  ASSERT_EQ(learn.Wait(), 0) << learn.Errors();
  const Personality personality = ReadPersonalityFile(learned.string());
  EXPECT_EQ(personality.identity.machine, machines[2].identity) << FileText(learned);
}

}  // namespace
