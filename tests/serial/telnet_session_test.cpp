// The telnet codec and the RFC 2217 sessions: escaping, commands cut across reads, and a client
// and a server session talking to each other the way two network ports do.
#include <gtest/gtest.h>

#include "ComPortSession.h"
#include "SerialPort.h"
#include "TelnetCodec.h"

namespace {

using Bytes = std::vector<uint8_t>;
using namespace rfc2217;

Bytes DecodeInPieces(const Bytes& wire, std::size_t piece, std::vector<telnet::Command>& commands) {
  telnet::Decoder decoder;
  Bytes data;
  for (std::size_t at = 0; at < wire.size(); at += piece) {
    decoder.Feed(wire.data() + at, std::min(piece, wire.size() - at), data, commands);
  }
  return data;
}

TEST(TelnetCodec, DataSurvivesEscapingCutAnywhere) {
  struct Case {
    Bytes data;
    Bytes wire;
  } cases[] = {
      {{0x20, 0x01, 0x21}, {0x20, 0x01, 0x21}},
      {{0xFF}, {0xFF, 0xFF}},
      {{0x61, 0x0C, 0xFF, 0xFF, 0x6D}, {0x61, 0x0C, 0xFF, 0xFF, 0xFF, 0xFF, 0x6D}},
      {{}, {}},
  };
  for (const Case& c : cases) {
    Bytes wire;
    telnet::Escape(c.data.data(), c.data.size(), wire);
    EXPECT_EQ(wire, c.wire);
    for (std::size_t piece = 1; piece <= wire.size() + 1; ++piece) {
      std::vector<telnet::Command> commands;
      EXPECT_EQ(DecodeInPieces(wire, piece, commands), c.data) << "pieces of " << piece;
      EXPECT_TRUE(commands.empty());
    }
  }
}

TEST(TelnetCodec, CommandsLeaveTheDataAndArriveWholeWhenCut) {
  // data, WILL 44, data with 0xFF, SB 44 <101 00 00 FF FF escaped> SE, NOP, DO 0, data
  const Bytes wire = {0x41, 255, 251, 44,  0x42, 255, 255, 255, 250, 44,  101, 0,   0,
                      255,  255, 255, 255, 255,  240, 255, 241, 255, 253, 0,   0x43};
  for (std::size_t piece = 1; piece <= wire.size(); ++piece) {
    std::vector<telnet::Command> commands;
    EXPECT_EQ(DecodeInPieces(wire, piece, commands), (Bytes{0x41, 0x42, 0xFF, 0x43}));
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0].verb, telnet::kWill);
    EXPECT_EQ(commands[0].option, 44);
    EXPECT_EQ(commands[1].verb, telnet::kSb);
    EXPECT_EQ(commands[1].payload, (Bytes{101, 0, 0, 255, 255}));
    EXPECT_EQ(commands[2].verb, telnet::kDo);
  }
}

TEST(TelnetCodec, EndlessSubnegotiationIsCut) {
  Bytes wire = {255, 250, 44};
  wire.insert(wire.end(), 100000, 0x11);
  wire.insert(wire.end(), {255, 240, 0x55});
  std::vector<telnet::Command> commands;
  EXPECT_EQ(DecodeInPieces(wire, 4096, commands), Bytes{0x55});
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].payload.size(), telnet::kMaxSubnegotiation);
}

// Two sessions wired back to back; each Pass moves what each has to send to the other.
struct Link {
  ComPortSession client{ComPortSession::Role::Client};
  ComPortSession server{ComPortSession::Role::Server};
  Bytes atClient, atServer;

  void Pass() {
    for (int i = 0; i < 8; ++i) {
      Bytes toServer = std::exchange(client.Outgoing(), {});
      Bytes toClient = std::exchange(server.Outgoing(), {});
      if (toServer.empty() && toClient.empty()) return;
      server.Receive(toServer.data(), toServer.size(), atServer);
      client.Receive(toClient.data(), toClient.size(), atClient);
    }
    FAIL() << "the sessions keep answering each other";
  }
};

TEST(ComPortSession, ClientAndServerAgreeAndCarryLinesBothWays) {
  Link link;
  link.client.Request(kSetBaudRate, {0, 0, 0x96, 0x00});
  link.client.Request(kSetControl, {kDtrOff});
  link.client.Request(kSetControl, {kRtsOn});
  EXPECT_EQ(link.client.Unanswered(), 3u);  // held until the server takes the option
  link.server.SetModemLines(kModemDSR | kModemDCD);
  link.Pass();
  EXPECT_EQ(link.client.ComPort(), ComPortSession::Agreement::Agreed);
  EXPECT_EQ(link.server.ComPort(), ComPortSession::Agreement::Agreed);
  EXPECT_EQ(link.client.Unanswered(), 0u);
  EXPECT_EQ(link.client.Answers(), 3u);
  EXPECT_FALSE(link.server.ClientDtr());
  EXPECT_TRUE(link.server.ClientRts());
  EXPECT_EQ(link.client.ModemLines(), kModemDSR | kModemDCD);
  EXPECT_EQ(link.client.TakeModemToggles(), kModemDSR | kModemDCD);

  link.server.SetModemLines(kModemCTS);
  link.Pass();
  EXPECT_EQ(link.client.ModemLines(), kModemCTS);
  EXPECT_EQ(link.client.TakeModemToggles(), kModemCTS | kModemDSR | kModemDCD);
  EXPECT_EQ(link.client.TakeModemToggles(), 0);

  const Bytes message = {0x61, 0x0C, 0xFF, 0x6D};
  link.client.SendData(message.data(), message.size());
  link.server.SendData(message.data(), message.size());
  link.Pass();
  EXPECT_EQ(link.atServer, message);  // nothing of the negotiation leaked into the data
  EXPECT_EQ(link.atClient, message);
}

TEST(ComPortSession, ServerEchoesSettingsAndAnswersQueries) {
  ComPortSession server(ComPortSession::Role::Server);
  Bytes wire, data;
  telnet::AppendCommand(telnet::kWill, telnet::kOptionComPort, wire);
  telnet::AppendSubnegotiation(44, {kSetParity, kParityOdd}, wire);
  telnet::AppendSubnegotiation(44, {kSetDataSize, 9}, wire);  // not a size: answers the current
  telnet::AppendSubnegotiation(44, {kSetControl, kDtrRequest}, wire);
  telnet::AppendCommand(telnet::kDo, telnet::kOptionEcho, wire);
  server.Receive(wire.data(), wire.size(), data);
  EXPECT_TRUE(data.empty());
  Bytes expected;
  telnet::AppendCommand(telnet::kDo, telnet::kOptionComPort, expected);
  telnet::AppendSubnegotiation(44, {kNotifyModemState + kServerOffset, 0}, expected);
  telnet::AppendSubnegotiation(44, {kSetParity + kServerOffset, kParityOdd}, expected);
  telnet::AppendSubnegotiation(44, {kSetDataSize + kServerOffset, 8}, expected);
  telnet::AppendSubnegotiation(44, {kSetControl + kServerOffset, kDtrOn}, expected);
  telnet::AppendCommand(telnet::kWont, telnet::kOptionEcho, expected);
  EXPECT_EQ(server.Outgoing(), expected);
}

TEST(ComPortSession, RefusedOptionLeavesRequestsUnansweredByName) {
  ComPortSession client(ComPortSession::Role::Client);
  client.Request(kSetControl, {kDtrOn});
  client.Request(kSetModemStateMask, {0xFF});
  client.Request(kSetControl, {kRtsOn});
  client.Outgoing().clear();
  Bytes wire, data;
  telnet::AppendCommand(telnet::kDont, telnet::kOptionComPort, wire);
  client.Receive(wire.data(), wire.size(), data);
  EXPECT_EQ(client.ComPort(), ComPortSession::Agreement::Refused);
  EXPECT_TRUE(client.Outgoing().empty());  // a refusal of our own request is not answered
  EXPECT_EQ(client.TakeUnanswered(), "SET-CONTROL, SET-MODEMSTATE-MASK");
  EXPECT_EQ(client.Unanswered(), 0u);
}

}  // namespace
