// Personalities end to end: `selkietest --headless --personality ...` behind a pty, timed by a
// test acting as the editor (generous bounds: the exact figures are bench/personality_timing's),
// and a personality learned from a captured session that answers a replay of it alike.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <thread>

#include "ChildProgram.h"
#include "PersonalityFile.h"
#include "PtyEditor.h"
#include "SonyBytes.h"
#include "TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;
const std::string kProgram = SELKIE_PROGRAM;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Reads exactly `count` bytes within `waitMs`; returns when the first and the last arrived.
struct Arrival {
  Bytes bytes;
  double firstMs = -1;
  double lastMs = -1;
};
Arrival ReadBytes(int fd, std::size_t count, Clock::time_point start, int waitMs = 1000) {
  Arrival arrival;
  const auto deadline = start + std::chrono::milliseconds(waitMs);
  while (arrival.bytes.size() < count && Clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 5) <= 0) continue;
    uint8_t buffer[64];
    const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, count - arrival.bytes.size()));
    if (n <= 0) continue;
    if (arrival.bytes.empty()) arrival.firstMs = MsSince(start);
    arrival.bytes.insert(arrival.bytes.end(), buffer, buffer + n);
    arrival.lastMs = MsSince(start);
  }
  return arrival;
}

// A raw editor on the machine's pty, with the descriptor exposed for timing.
class TimedEditor {
 public:
  explicit TimedEditor(const std::string& path) {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!std::filesystem::exists(path) && Clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    ::tcgetattr(fd_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd_, TCSANOW, &t);
  }
  ~TimedEditor() { ::close(fd_); }
  Arrival Request(const Bytes& request, std::size_t replyBytes) {
    const auto start = Clock::now();
    (void)!::write(fd_, request.data(), request.size());
    return ReadBytes(fd_, replyBytes, start);
  }
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

std::filesystem::path WriteFile(const TempDir& dir, const std::string& name,
                                const std::string& text) {
  const auto path = dir.path() / name;
  std::ofstream(path) << text;
  return path;
}

ChildProgram Machine(const TempDir& dir, const std::string& name, std::vector<std::string> more) {
  std::vector<std::string> args = {"--headless", "--port-a", "pty:" + (dir.path() / name).string()};
  args.insert(args.end(), more.begin(), more.end());
  return ChildProgram(kProgram, args, dir.path() / (name + ".out"));
}

TEST(PersonalityProgram, ReplyDelayAndJitterHoldEveryReplyBack) {
  TempDir dir;
  const auto file = WriteFile(
      dir, "slow.toml", "name = \"slow\"\n[timing]\nreply_delay_ms = 4\nreply_jitter_ms = 1\n");
  ChildProgram machine = Machine(dir, "vm", {"--personality", file.string()});
  TimedEditor editor((dir.path() / "vm").string());
  std::vector<double> first;
  for (int i = 0; i < 30; ++i) {
    const Arrival reply = editor.Request(Framed({0x61, 0x0C, 0x01}), 7);
    ASSERT_EQ(reply.bytes.size(), 7u) << i;
    first.push_back(reply.firstMs);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::sort(first.begin(), first.end());
  EXPECT_GE(first.front(), 4.0);  // never before the delay, however idle the machine
  EXPECT_LT(first[first.size() / 2], 8.0);
}

TEST(PersonalityProgram, ByteTimePacesAStatusReplyAsTheWireWould) {
  TempDir dir;
  const auto file = WriteFile(dir, "wire.toml", "[timing]\nbyte_time_us = 286\n");
  ChildProgram machine = Machine(dir, "vm", {"--personality", file.string()});
  TimedEditor editor((dir.path() / "vm").string());
  const Arrival reply = editor.Request(Framed({0x61, 0x20, 0x0F}), 18);
  ASSERT_EQ(reply.bytes.size(), 18u);
  EXPECT_EQ(reply.bytes[0], 0x7F);
  EXPECT_GE(reply.lastMs, 4.9);
}

TEST(PersonalityProgram, AStrayByteIsDroppedAfterTheTimeOutWithOneNak) {
  TempDir dir;
  const auto file = WriteFile(dir, "strict.toml",
                              "[timing]\nreceive_timeout_ms = 10\n[errors]\nnak_timeout = true\n");
  ChildProgram machine = Machine(dir, "vm", {"--personality", file.string()});
  TimedEditor editor((dir.path() / "vm").string());
  const auto start = Clock::now();
  (void)!::write(editor.fd(), "\x61", 1);
  const Arrival nak = ReadBytes(editor.fd(), 4, start);
  EXPECT_EQ(nak.bytes, Framed({0x11, 0x12, 0x80}));
  EXPECT_GE(nak.firstMs, 10.0);
  std::this_thread::sleep_for(std::chrono::milliseconds(30) - (Clock::now() - start));
  const Arrival ack = editor.Request(Framed({0x20, 0x01}), 3);
  EXPECT_EQ(ack.bytes, Framed({0x10, 0x01}));
  EXPECT_LT(ack.firstMs, 9.0);
  EXPECT_TRUE(ReadBytes(editor.fd(), 1, Clock::now(), 50).bytes.empty());  // one NAK, no more
}

TEST(PersonalityProgram, AFileThatCannotBeUsedEndsTheRunNamingLineAndKey) {
  TempDir dir;
  const auto file = WriteFile(dir, "bad.toml", "[faults]\ndrop_every = -1\n");
  ChildProgram machine = Machine(dir, "vm", {"--personality", file.string()});
  EXPECT_EQ(machine.Wait(), 2);
  EXPECT_NE(machine.Errors().find(file.string() + ":2: faults.drop_every"), std::string::npos)
      << machine.Errors();
}

TEST(PersonalityProgram, LogDecodedNamesThePersonalityAndTheDeckIsInLocal) {
  TempDir dir;
  ChildProgram machine = Machine(dir, "vm", {"--personality", "local-deck", "--log", "decoded"});
  {
    PtyEditor editor((dir.path() / "vm").string());
    EXPECT_EQ(editor.Request(Framed({0x20, 0x01})), Framed({0x10, 0x01}));
    const Bytes status = editor.Request(Framed({0x61, 0x20, 0x03}));
    ASSERT_EQ(status.size(), 6u);
    EXPECT_EQ(status[2] & 0x01, 0x01);  // S0: local
    EXPECT_EQ(status[3], 0x00);         // S1: the play was not run
  }
  EXPECT_EQ(machine.Stop(SIGTERM), 0);
  EXPECT_EQ(machine.Output().rfind("personality local-deck (delay 2+1 ms, byte 286 us", 0), 0u)
      << machine.Output();
}

// An editor's session with refusals and a silent command in it.
void RunSession(const std::string& device) {
  const std::vector<Bytes> requests = {
      Framed({0x00, 0x11}),       Framed({0x61, 0x20, 0x0F}),          Framed({0x20, 0x10}),
      Framed({0x61, 0x0C, 0x01}), Framed({0x24, 0x31, 0, 0, 0x10, 1}), Framed({0x60, 0x36}),
      Framed({0x20, 0x01}),       Framed({0x61, 0x0C, 0x01}),          Framed({0x80, 0x01}),
      Framed({0x20, 0x10}),       Framed({0x61, 0x20, 0x04}),          Framed({0x00, 0x11}),
      Framed({0x20, 0x00}),       Framed({0x61, 0x0C, 0x01}),
  };
  PtyEditor editor(device);
  ASSERT_TRUE(editor.IsOpen());
  for (const Bytes& request : requests) {
    editor.Request(request, request[1] == 0x36 ? 60 : 1000);  // 60 36 is never answered
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

TEST(PersonalityProgram, ALearnedPersonalityAnswersAReplayOfItsCaptureAlike) {
  TempDir dir;
  const auto capture = dir.path() / "session.cap";
  const auto deck = WriteFile(dir, "deck.toml",
                              "name = \"deck\"\n[timing]\nreply_delay_ms = 3\n[commands]\n"
                              "nak = [\"20 10 = 01\", \"80 01 = 80\"]\nsilent = [\"60 36\"]\n");
  {
    ChildProgram first = Machine(dir, "first",
                                 {"--machine", "5", "--standard", "1", "--personality",
                                  deck.string(), "--capture", capture.string()});
    RunSession((dir.path() / "first").string());
    EXPECT_EQ(first.Stop(SIGTERM), 0);
  }
  std::ifstream captured(capture);
  std::string header;
  std::getline(captured, header);
  std::getline(captured, header);
  EXPECT_EQ(header, "# personality deck");

  const auto learned = dir.path() / "learned.toml";
  ChildProgram learn(kProgram, {"--learn", capture.string(), "-o", learned.string()},
                     dir.path() / "learn.out");
  ASSERT_EQ(learn.Wait(), 0) << learn.Errors();
  const Personality p = ReadPersonalityFile(learned.string());
  EXPECT_EQ(p.identity.machine, 5);
  EXPECT_EQ(p.identity.standard, 1);
  EXPECT_NEAR(static_cast<double>(p.timing.replyDelayUs), 3000, 500);
  EXPECT_EQ(p.commands.nak.size(), 2u);
  EXPECT_EQ(p.commands.silent.size(), 1u);

  ChildProgram second = Machine(dir, "second", {"--personality", learned.string()});
  PtyEditor wait((dir.path() / "second").string());  // the link exists once the machine runs
  ChildProgram replay(kProgram,
                      {"--replay", capture.string(), "--port-b", (dir.path() / "second").string()},
                      dir.path() / "replay.out");
  EXPECT_EQ(replay.Wait(), 0) << replay.Output();
  EXPECT_NE(replay.Output().find("replay: 14 exchanges, 0 differ"), std::string::npos)
      << replay.Output();
}

}  // namespace
