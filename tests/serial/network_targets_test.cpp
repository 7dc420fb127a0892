// The network forms of a port target: what parses, what it stands for, and why a form is refused.
#include <gtest/gtest.h>

#include "PortMap.h"
#include "SerialSelect.h"
#include "SerialTestSupport.h"

using namespace serial_test;

TEST(NetworkTargets, FormsParseToKindHostAndPort) {
  using Kind = PortTarget::Kind;
  struct Case {
    const char* text;
    Kind kind;
    const char* host;
    int port;
    const char* described;
  } cases[] = {
      {"tcp:deck-room:9001", Kind::Tcp, "deck-room", 9001, "tcp:deck-room:9001"},
      {"tcp:[::1]:9001", Kind::Tcp, "::1", 9001, "tcp:[::1]:9001"},
      {"tcp-listen:7000", Kind::TcpListen, "127.0.0.1", 7000, "tcp-listen:127.0.0.1:7000"},
      {"tcp-listen:0.0.0.0:7000", Kind::TcpListen, "0.0.0.0", 7000, "tcp-listen:0.0.0.0:7000"},
      {"rfc2217://10.1.2.3:2217", Kind::Rfc2217, "10.1.2.3", 2217, "rfc2217://10.1.2.3:2217"},
      {"rfc2217-listen:65535", Kind::Rfc2217Listen, "127.0.0.1", 65535,
       "rfc2217-listen:127.0.0.1:65535"},
      {"rfc2217-listen:[::]:4000", Kind::Rfc2217Listen, "::", 4000, "rfc2217-listen:[::]:4000"},
  };
  for (const Case& c : cases) {
    const PortTarget target = PortMap::ParseTarget(c.text);
    EXPECT_EQ(target.kind, c.kind) << c.text;
    EXPECT_EQ(target.host, c.host) << c.text;
    EXPECT_EQ(target.port, c.port) << c.text;
    EXPECT_EQ(target.Describe(), c.described) << c.text;
    EXPECT_EQ(PortMap::TargetError(c.text), "") << c.text;
  }
}

TEST(NetworkTargets, BadFormsAreRefusedWithTheirReason) {
  struct Case {
    const char* text;
    const char* reason;
  } cases[] = {
      {"tcp:9001", "the host is missing"},
      {"tcp:host:", "the port is a number from 1 to 65535"},
      {"tcp:host:0", "the port is a number from 1 to 65535"},
      {"tcp:host:65536", "the port is a number from 1 to 65535"},
      {"tcp:host:90x1", "the port is a number from 1 to 65535"},
      {"tcp-listen:", "the port is a number from 1 to 65535"},
      {"tcp:::1:9001", "of the form tcp:HOST:PORT"},
      {"tcp:[::1]9001", "of the form tcp:HOST:PORT"},
      {"rfc2217://:2217", "of the form rfc2217://HOST:PORT"},
      {"rfc2217-listen:[]:2217", "of the form rfc2217-listen:[ADDR:]PORT"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PortMap::ParseTarget(c.text).kind, PortTarget::Kind::None) << c.text;
    const std::string error = PortMap::TargetError(c.text);
    EXPECT_NE(error.find(std::string("\"") + c.text + "\""), std::string::npos) << error;
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_FALSE(PortMap::Assign(400, c.text));
  }
  EXPECT_EQ(PortMap::Resolve(400).kind, PortTarget::Kind::None);
}

TEST(NetworkTargets, MappedNumbersAreListedUnderTheirNumber) {
  ComOverride server(410, "rfc2217://127.0.0.1:2217");
  ComOverride listener(411, "tcp-listen:7001");
  ComOverride bad(412, "tcp:nowhere");
  std::vector<std::string> texts;
  for (const SerialSelectEntry& e : SerialSelect::ListPorts()) texts.push_back(e.text);
  const auto listed = [&](const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
  };
  EXPECT_TRUE(listed("COM410 (rfc2217://127.0.0.1:2217)"));
  EXPECT_TRUE(listed("COM411 (tcp-listen:127.0.0.1:7001)"));
  for (const std::string& text : texts) EXPECT_EQ(text.find("COM412"), std::string::npos);
}
