// COM numbers to devices, overrides, and the entries of the port prompt.
#include <algorithm>

#include "PortMap.h"
#include "SerialSelect.h"
#include "SerialTestSupport.h"

using namespace serial_test;

TEST(PortMap, FixedRangesAndCableEnds) {
  EXPECT_EQ(PortMap::Resolve(1).path, "/dev/ttyS0");
  EXPECT_EQ(PortMap::Resolve(32).path, "/dev/ttyS31");
  EXPECT_EQ(PortMap::Resolve(33).path, "/dev/ttyUSB0");
  EXPECT_EQ(PortMap::Resolve(64).path, "/dev/ttyUSB31");
  EXPECT_EQ(PortMap::Resolve(65).path, "/dev/ttyACM0");
  EXPECT_EQ(PortMap::Resolve(96).path, "/dev/ttyACM31");
  EXPECT_EQ(PortMap::Resolve(1).kind, PortTarget::Kind::Device);
  EXPECT_EQ(PortMap::Resolve(97).kind, PortTarget::Kind::None);
  EXPECT_EQ(PortMap::Resolve(0).kind, PortTarget::Kind::None);
  EXPECT_EQ(PortMap::Resolve(-3).kind, PortTarget::Kind::None);
  EXPECT_EQ(PortMap::Resolve(251).kind, PortTarget::Kind::Cable);
  EXPECT_EQ(PortMap::Resolve(251).cableEnd, 0);
  EXPECT_EQ(PortMap::Resolve(252).cableEnd, 1);
}

TEST(PortMap, OverridesMapAnyNumberToAnyTarget) {
  ComOverride device(3, "/dev/pts/7");
  ComOverride pty(300, "pty:/tmp/vtr");
  ComOverride cable(301, "cable:B");
  ComOverride empty(302, "pty:");
  EXPECT_EQ(PortMap::Resolve(3).path, "/dev/pts/7");
  EXPECT_EQ(PortMap::Resolve(300).kind, PortTarget::Kind::Pty);
  EXPECT_EQ(PortMap::Resolve(300).path, "/tmp/vtr");
  EXPECT_EQ(PortMap::Resolve(300).Describe(), "pty:/tmp/vtr");
  EXPECT_EQ(PortMap::Resolve(301).cableEnd, 1);
  EXPECT_EQ(PortMap::Resolve(302).kind, PortTarget::Kind::None);
  const std::vector<int> numbers = PortMap::MappedNumbers();
  EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
  EXPECT_EQ(std::count(numbers.begin(), numbers.end(), 300), 1);
  EXPECT_EQ(std::count(numbers.begin(), numbers.end(), 301), 1);
  EXPECT_EQ(std::count(numbers.begin(), numbers.end(), 302), 0);
}

TEST(SerialSelect, ListsPortsThatExistFreeOrInUse) {
  PtyPair pty;
  ComOverride present(310, pty.Path());
  ComOverride missing(311, "/dev/selkie-missing");
  ComOverride virtualPort(312, "pty:/tmp/selkie-select-port");
  OwnedPort holder;  // an end in use is still listed
  holder.port.SetComNumber(251);
  holder.port.SetOpen(true);
  std::vector<std::string> texts;
  for (const SerialSelectEntry& e : SerialSelect::ListPorts()) texts.push_back(e.text);
  auto listed = [&](const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
  };
  EXPECT_TRUE(listed("COM251 (virtual cable A)"));
  EXPECT_TRUE(listed("COM252 (virtual cable B)"));
  EXPECT_TRUE(listed("COM310 (" + pty.Path() + ")"));
  EXPECT_TRUE(listed("COM312 (pty:/tmp/selkie-select-port)"));
  EXPECT_FALSE(std::any_of(texts.begin(), texts.end(),
                           [](const std::string& t) { return t.rfind("COM311 ", 0) == 0; }));
}

TEST(SerialSelect, NumberIsTheDigitsAfterTheFirstThreeCharacters) {
  EXPECT_EQ(SerialSelect::NumberOf("COM12 (/dev/ttyS11)"), 12);
  EXPECT_EQ(SerialSelect::NumberOf("COM251 (virtual cable A)"), 251);
  EXPECT_EQ(SerialSelect::NumberOf("COM"), 0);
  EXPECT_EQ(SerialSelect::NumberOf(""), 0);
  EXPECT_EQ(SerialSelect::NumberOf("COM99999999"), 0);
}
