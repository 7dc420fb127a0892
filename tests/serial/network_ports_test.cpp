// Network ports against real loopback sockets the tests hold: one client at a time, departures,
// reconnects noted once each, RFC 2217 lines both ways, and the faults (refusal, a name that does
// not resolve, a port in use, a peer that never reads, a flood).
#include <chrono>

#include "ComPortSession.h"
#include "NetDevice.h"
#include "NetTestSupport.h"
#include "Rfc2217Device.h"

using namespace net_test;
using Bytes = std::vector<uint8_t>;

namespace {

std::string Listen(const char* form, int port) { return form + std::to_string(port); }

void Send(int fd, const Bytes& bytes) { WriteAll(fd, bytes); }

// A peer that speaks RFC 2217 over a socket the test holds: its session answers, and every
// command it receives is kept.
struct Rfc2217Peer {
  int fd;
  ComPortSession session;
  telnet::Decoder decoder;
  std::vector<telnet::Command> commands;
  Bytes data;
  bool answer = true;

  Rfc2217Peer(int socket, ComPortSession::Role role) : fd(socket), session(role) { Flush(); }
  ~Rfc2217Peer() {
    if (fd >= 0) ::close(fd);
  }
  void Flush() {
    Send(fd, session.Outgoing());
    session.Outgoing().clear();
  }
  // Takes what arrived, answering as its session does (or only the negotiation).
  void Take() {
    uint8_t chunk[4096];
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, 0) > 0) {
      const ssize_t n = ::read(fd, chunk, sizeof chunk);
      if (n <= 0) return;
      Bytes ignored;
      decoder.Feed(chunk, static_cast<std::size_t>(n), ignored, commands);
      session.Receive(chunk, static_cast<std::size_t>(n), data);
      if (!answer) StripSubnegotiations();
      Flush();
    }
  }
  void StripSubnegotiations() {
    Bytes kept;
    std::vector<telnet::Command> answers;
    telnet::Decoder d;
    d.Feed(session.Outgoing().data(), session.Outgoing().size(), kept, answers);
    session.Outgoing().clear();
    for (const auto& a : answers) {
      if (a.verb != telnet::kSb) telnet::AppendCommand(a.verb, a.option, session.Outgoing());
    }
  }
  bool Got(const Bytes& payload) const {
    for (const auto& c : commands) {
      if (c.verb == telnet::kSb && c.option == telnet::kOptionComPort && c.payload == payload) {
        return true;
      }
    }
    return false;
  }
};

}  // namespace

TEST(TcpListenPort, ServesOneClientAtATimeAndDropsWhatALeaverLeft) {
  RecordingPort owned;
  const int portNumber = FreePort();
  owned.Open(420, Listen("tcp-listen:", portNumber));
  owned.port.WriteString(std::string("before"));  // nobody there: dropped, counted
  EXPECT_EQ(owned.port.DroppedBytes(), 6u);

  const int first = Connect(portNumber);
  ASSERT_GE(first, 0);
  Send(first, {0x61, 0xFF, 0x0C});
  ASSERT_TRUE(owned.WaitReceived(3));
  EXPECT_EQ(owned.received, (Bytes{0x61, 0xFF, 0x0C}));  // raw: 0xFF is a byte like any other
  owned.port.WriteString(Bytes{0xFF, 0x01, 0x00});
  EXPECT_EQ(ReadWhilePumping(owned, first, 3), (Bytes{0xFF, 0x01, 0x00}));

  const int second = Connect(portNumber);
  ASSERT_GE(second, 0);
  ASSERT_TRUE(owned.WaitNoted("refused a client from 127.0.0.1:"));
  uint8_t byte = 0;
  EXPECT_EQ(ReadWhilePumping(owned, second, 1).size(), 0u);
  EXPECT_EQ(::read(second, &byte, 1), 0);  // closed on it
  ::close(second);

  Send(first, {0x20, 0x01});  // half a message, then gone
  ::close(first);
  ASSERT_TRUE(owned.PumpUntil([&] { return owned.hangUps == 1; }));
  owned.port.WriteString(std::string("gone"));
  EXPECT_EQ(owned.port.DroppedBytes(), 10u);

  owned.received.clear();
  const int third = Connect(portNumber);
  Send(third, {0x00, 0x0C});
  ASSERT_TRUE(owned.WaitReceived(2));
  EXPECT_EQ(owned.received, (Bytes{0x00, 0x0C}));
  ::close(third);  // and the next one at once: a client that closed gives way at once
  const int fourth = Connect(portNumber);
  Send(fourth, {0x61});
  ASSERT_TRUE(owned.WaitReceived(3));
  EXPECT_EQ(owned.received.back(), 0x61);
  EXPECT_EQ(owned.hangUps, 2);
  EXPECT_EQ(owned.Noted("refused"), 1);
  EXPECT_TRUE(owned.errors.empty());
  ::close(fourth);
}

TEST(TcpPort, RefusalAndLossAreNotedOnceAndEachReturnOnce) {
  RecordingPort owned;
  const int portNumber = FreePort();
  const std::string where = "127.0.0.1:" + std::to_string(portNumber);
  const auto opening = std::chrono::steady_clock::now();
  owned.Open(421, "tcp:" + where);
  EXPECT_LT(std::chrono::steady_clock::now() - opening, 500ms);
  ASSERT_TRUE(owned.WaitNoted("cannot connect to " + where + " (Connection refused)"));

  TestListener listener(portNumber);
  int server = AcceptWhilePumping(owned, listener, 4000ms);  // the next try is 1 to 2 s away
  ASSERT_GE(server, 0);
  ASSERT_TRUE(owned.WaitNoted("connected to " + where));
  Send(server, {0x61, 0x0C});
  ASSERT_TRUE(owned.WaitReceived(2));

  ::close(server);
  ASSERT_TRUE(owned.WaitNoted("lost the connection to " + where + " (the peer closed it)"));
  server = AcceptWhilePumping(owned, listener, 3000ms);  // after 1 s again
  ASSERT_GE(server, 0);
  ASSERT_TRUE(owned.WaitNoted("connected to " + where + " again"));
  owned.port.WriteString(Bytes{0x10, 0x01});
  EXPECT_EQ(ReadWhilePumping(owned, server, 2), (Bytes{0x10, 0x01}));
  EXPECT_EQ(owned.notes.size(), 4u);  // refused, connected, lost, connected again: once each
  EXPECT_EQ(owned.hangUps, 1);
  EXPECT_TRUE(owned.errors.empty());
  ::close(server);
}

TEST(TcpPort, NameThatDoesNotResolveIsNotedWithoutBlocking) {
  RecordingPort owned;
  const auto opening = std::chrono::steady_clock::now();
  owned.Open(422, "tcp:no-such-host.invalid:9001");
  EXPECT_LT(std::chrono::steady_clock::now() - opening, 500ms);
  ASSERT_TRUE(owned.WaitNoted("cannot resolve no-such-host.invalid", 15000ms));
  EXPECT_TRUE(owned.port.Open());
  owned.port.WriteString(std::string("x"));  // taken and dropped, never queued without end
  EXPECT_EQ(owned.port.DroppedBytes(), 1u);
}

TEST(TcpListenPort, PortInUseIsAnErrorAtOpen) {
  TestListener taken;
  RecordingPort owned;
  const std::string target = Listen("rfc2217-listen:", taken.Port());
  try {
    owned.Open(423, target);
    FAIL() << "opened a port another socket listens on";
  } catch (const EInOutError& e) {
    EXPECT_NE(std::string(e.what()).find("Address already in use"), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("127.0.0.1:" + std::to_string(taken.Port())),
              std::string::npos);
  }
  EXPECT_FALSE(owned.port.Open());
}

TEST(TcpListenPort, PeerThatNeverReadsIsDroppedAtTheBound) {
  RecordingPort owned;
  const int portNumber = FreePort();
  owned.Open(424, Listen("tcp-listen:", portNumber));
  const int client = Connect(portNumber);
  const int buffer = 4096;
  setsockopt(client, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
  Send(client, {0x01});
  ASSERT_TRUE(owned.WaitReceived(1));
  const std::string block(4096, 'x');
  std::size_t written = 0;
  while (owned.Noted("read nothing of") == 0 && written < 4 * NetDevice::kMaxQueued) {
    owned.port.WriteString(block);
    written += block.size();
    owned.loop->Pump();
  }
  EXPECT_EQ(owned.Noted("read nothing of"), 1);
  EXPECT_LT(written, 2 * NetDevice::kMaxQueued);  // kernel buffers are small beside the bound
  ASSERT_TRUE(owned.PumpUntil([&] { return owned.hangUps == 1; }));
  EXPECT_GE(owned.port.DroppedBytes(), NetDevice::kMaxQueued);
  ::close(client);
}

TEST(TcpListenPort, FloodArrivesWholeAndTheNextClientIsServed) {
  RecordingPort owned;
  const int portNumber = FreePort();
  owned.Open(425, Listen("rfc2217-listen:", portNumber));
  Bytes garbage(1 << 20);
  uint32_t state = 12345;
  for (uint8_t& b : garbage) b = static_cast<uint8_t>((state = state * 1103515245 + 12345) >> 16);
  const int flood = Connect(portNumber);
  std::size_t sent = 0;
  const auto drain = [&] {
    uint8_t answers[4096];
    while (recv(flood, answers, sizeof answers, MSG_DONTWAIT) > 0) {
    }
  };
  owned.PumpUntil(
      [&] {
        drain();
        const ssize_t n = send(flood, garbage.data() + sent, garbage.size() - sent, MSG_DONTWAIT);
        if (n > 0) sent += static_cast<std::size_t>(n);
        return sent == garbage.size();
      },
      10000ms);
  EXPECT_EQ(sent, garbage.size());
  shutdown(flood, SHUT_WR);
  ASSERT_TRUE(owned.PumpUntil(
      [&] {
        drain();
        return owned.hangUps == 1;
      },
      10000ms));
  ::close(flood);
  Bytes expected;
  std::vector<telnet::Command> commands;
  telnet::Decoder().Feed(garbage.data(), garbage.size(), expected, commands);
  EXPECT_EQ(owned.received, expected);  // every data byte, no command byte

  owned.received.clear();
  Rfc2217Peer next(Connect(portNumber), ComPortSession::Role::Client);
  next.session.SendData(Bytes{0xFF, 0x61}.data(), 2);
  next.Flush();
  ASSERT_TRUE(owned.WaitReceived(2));
  EXPECT_EQ(owned.received, (Bytes{0xFF, 0x61}));
  EXPECT_TRUE(owned.errors.empty());
}

TEST(Rfc2217ListenPort, ClientLinesDriveThePortAndThePortsLinesReachTheClient) {
  RecordingPort owned;
  const int portNumber = FreePort();
  owned.Open(426, Listen("rfc2217-listen:", portNumber));
  EXPECT_FALSE(owned.port.DSR());  // no client: every input line off
  Rfc2217Peer client(Connect(portNumber), ComPortSession::Role::Client);
  client.session.Request(rfc2217::kSetBaudRate, {0, 0, 0x96, 0});
  client.session.Request(rfc2217::kSetControl, {rfc2217::kDtrOff});
  client.session.Request(rfc2217::kSetControl, {rfc2217::kRtsOn});
  client.Flush();
  ASSERT_TRUE(owned.PumpUntil([&] {
    client.Take();
    return client.session.Unanswered() == 0;
  }));
  EXPECT_EQ(client.session.Answers(), 3u);
  EXPECT_FALSE(owned.port.DSR());
  EXPECT_FALSE(owned.port.DCD());
  EXPECT_TRUE(owned.port.CTS());
  EXPECT_EQ(client.session.ModemLines(), kModemDSR | kModemDCD | kModemCTS);  // port's DTR, RTS

  const uint16_t watch = owned.port.AddModemWatch(kModemTriggerType);
  int fired = 0;
  owned.port.OnTriggerModemStatus = [&](TSerialPort&, uint16_t) { ++fired; };
  owned.port.ArmModemWatch(watch, kModemDSR, true);
  client.session.Request(rfc2217::kSetControl, {rfc2217::kDtrOn});
  client.Flush();
  ASSERT_TRUE(owned.PumpUntil([&] { return fired == 1; }));
  EXPECT_TRUE(owned.port.DSR());
  EXPECT_TRUE(owned.port.DCD());

  owned.port.SetRTS(false);
  ASSERT_TRUE(owned.PumpUntil([&] {
    client.Take();
    return client.session.ModemLines() == (kModemDSR | kModemDCD);
  }));

  const Bytes message = {0x61, 0x0C, 0xFF, 0x6D};
  client.session.SendData(message.data(), message.size());
  client.Flush();
  ASSERT_TRUE(owned.WaitReceived(4));
  EXPECT_EQ(owned.received, message);
  owned.port.WriteString(message);
  ASSERT_TRUE(owned.PumpUntil([&] {
    client.Take();
    return client.data.size() >= 4;
  }));
  EXPECT_EQ(client.data, message);
}

TEST(Rfc2217Port, SetsTheLineAndTakesModemStateFromTheServer) {
  TestListener listener;
  RecordingPort owned;
  owned.port.SetBaud(38400);
  owned.port.SetParity(pOdd);
  owned.Open(427, "rfc2217://127.0.0.1:" + std::to_string(listener.Port()));
  Rfc2217Peer server(AcceptWhilePumping(owned, listener, kWait), ComPortSession::Role::Server);
  ASSERT_GE(server.fd, 0);
  ASSERT_TRUE(owned.PumpUntil([&] {
    server.Take();
    return server.Got({rfc2217::kSetModemStateMask, 0xFF});
  }));
  EXPECT_TRUE(server.Got({rfc2217::kSetBaudRate, 0, 0, 0x96, 0}));
  EXPECT_TRUE(server.Got({rfc2217::kSetDataSize, 8}));
  EXPECT_TRUE(server.Got({rfc2217::kSetParity, rfc2217::kParityOdd}));
  EXPECT_TRUE(server.Got({rfc2217::kSetStopSize, 1}));
  EXPECT_TRUE(server.session.ClientDtr());
  EXPECT_TRUE(server.session.ClientRts());
  owned.port.SetDTR(false);
  ASSERT_TRUE(owned.PumpUntil([&] {
    server.Take();
    return !server.session.ClientDtr();
  }));

  server.session.SetModemLines(kModemCTS | kModemDSR);
  server.Flush();
  ASSERT_TRUE(owned.PumpUntil([&] { return owned.port.CTS(); }));
  EXPECT_TRUE(owned.port.DSR());
  EXPECT_FALSE(owned.port.DCD());

  const Bytes message = {0xFF, 0xFF, 0x20};
  owned.port.WriteString(message);
  ASSERT_TRUE(owned.PumpUntil([&] {
    server.Take();
    return server.data.size() >= 3;
  }));
  EXPECT_EQ(server.data, message);
  EXPECT_EQ(owned.Noted("did not answer"), 0);
}

TEST(Rfc2217Port, ServerThatNeverAnswersIsNotedOnceAndThePortGoesOn) {
  TestListener listener;
  RecordingPort owned;
  owned.Open(428, "rfc2217://127.0.0.1:" + std::to_string(listener.Port()));
  Rfc2217Peer server(AcceptWhilePumping(owned, listener, kWait), ComPortSession::Role::Server);
  server.answer = false;
  ASSERT_TRUE(owned.PumpUntil(
      [&] {
        server.Take();
        return owned.Noted("did not answer") > 0;
      },
      std::chrono::milliseconds(Rfc2217Device::kAnswerMs + 2000)));
  EXPECT_EQ(owned.Noted("the server did not answer SET-BAUDRATE, SET-DATASIZE"), 1);
  owned.port.SetDTR(false);  // asked again, never answered: not noted again
  const Bytes message = {0x61, 0x0C};
  Send(server.fd, message);
  ASSERT_TRUE(owned.PumpUntil(
      [&] {
        server.Take();
        return owned.received.size() >= 2;
      },
      std::chrono::milliseconds(Rfc2217Device::kAnswerMs + 1000)));
  owned.PumpUntil([] { return false; }, std::chrono::milliseconds(Rfc2217Device::kAnswerMs + 200));
  EXPECT_EQ(owned.received, message);
  EXPECT_EQ(owned.Noted("did not answer"), 1);
}
