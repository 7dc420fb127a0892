// A pty: port serves one client after another: nothing of one client reaches the next, and
// nothing piles up while nobody is connected.
#include "SerialTestSupport.h"

using namespace serial_test;

namespace {

const std::vector<uint8_t> kRequest = {0x61, 0x0C, 0x01, 0x6E};
const std::vector<uint8_t> kReply = {0x74, 0x04, 0x00, 0x00, 0x00, 0x00, 0x78};

int OpenClient(const std::string& path) {
  return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
}

// A responder that reads only whole 4-byte requests (the rest waits in the receive ring) and
// keeps what it read in its own buffer, as an engine keeps a partial message.
class PtyClients : public ::testing::Test {
 protected:
  void SetUp() override {
    owned.port.SetComNumber(215);
    owned.port.OnTriggerAvail = [this](TSerialPort& port, uint16_t count) {
      counts.push_back(count);
      while (count >= 4) {
        for (int i = 0; i < 4; ++i) requests.push_back(port.ReadByte());
        count -= 4;
        port.WriteString(kReply);
      }
    };
    owned.port.OnPeerHangUp = [this](TSerialPort&) { ++hangUps; };
    owned.port.SetOpen(true);
  }

  bool HangUpsBecome(int n) {
    return owned.PumpUntil([&] { return hangUps == n; });
  }

  // The client's read of one reply while the owner thread keeps serving.
  std::vector<uint8_t> ReadBytesWhilePumping(int fd) {
    std::vector<uint8_t> got;
    owned.PumpUntil([&] {
      auto more = ReadBytes(fd, kReply.size() - got.size(), 1ms);
      got.insert(got.end(), more.begin(), more.end());
      return got.size() == kReply.size();
    });
    return got;
  }

  const std::string link = "/tmp/selkie-" + std::to_string(getpid()) + "-clients";
  ComOverride map{215, "pty:" + link};
  OwnedPort owned;
  std::vector<uint16_t> counts;
  std::vector<uint8_t> requests;
  int hangUps = 0;
};

}  // namespace

TEST_F(PtyClients, ANewClientReceivesNothingMeantForThePreviousOne) {
  const int first = OpenClient(link);
  ASSERT_GE(first, 0);
  WriteAll(first, kRequest);
  ASSERT_TRUE(owned.PumpUntil([&] { return requests.size() == 4; }));
  ::close(first);  // leaves without reading the reply
  ASSERT_TRUE(HangUpsBecome(1));
  EXPECT_EQ(owned.port.PeerHangUps(), 1u);

  const int second = OpenClient(link);
  ASSERT_GE(second, 0);
  EXPECT_FALSE(owned.PumpUntil([&] { return !Silent(second, 1ms); }, 100ms));
  WriteAll(second, kRequest);
  EXPECT_EQ(ReadBytesWhilePumping(second), kReply);
  ::close(second);
  ASSERT_TRUE(HangUpsBecome(2));
}

TEST_F(PtyClients, HalfAMessageOfALeavingClientIsThrownAway) {
  const int first = OpenClient(link);
  ASSERT_GE(first, 0);
  WriteAll(first, {0x61, 0x0C});
  ASSERT_TRUE(owned.PumpUntil([&] { return counts.size() == 1; }));
  ::close(first);
  ASSERT_TRUE(HangUpsBecome(1));

  const int second = OpenClient(link);
  ASSERT_GE(second, 0);
  for (int i = 0; i < 3; ++i) {
    WriteAll(second, kRequest);
    EXPECT_EQ(ReadBytesWhilePumping(second), kReply) << "request " << i;
  }
  EXPECT_EQ(counts.back(), 4);  // only the second client's bytes were waiting
  EXPECT_EQ(std::vector<uint8_t>(requests.begin(), requests.begin() + 4), kRequest);
  ::close(second);
}

TEST_F(PtyClients, WritesWithNobodyConnectedAreDroppedAndCounted) {
  // Port B's frame ticks keep writing with no client: far more than the queues hold.
  const std::vector<uint8_t> poll(100, 0x55);
  for (int i = 0; i < 400; ++i) ASSERT_NO_THROW(owned.port.WriteString(poll)) << "write " << i;
  EXPECT_EQ(owned.port.DroppedBytes(), 40000u);

  const int client = OpenClient(link);
  ASSERT_GE(client, 0);
  EXPECT_FALSE(owned.PumpUntil([&] { return !Silent(client, 1ms); }, 100ms));
  WriteAll(client, kRequest);
  EXPECT_EQ(ReadBytesWhilePumping(client), kReply);
  ::close(client);
}

TEST_F(PtyClients, AProbeWhileAClientIsConnectedIsNoHangUp) {
  const int client = OpenClient(link);
  ASSERT_GE(client, 0);
  const int probe = OpenClient(link);  // e.g. the port prompt of another program looking
  ASSERT_GE(probe, 0);
  ::close(probe);
  WriteAll(client, kRequest);
  EXPECT_EQ(ReadBytesWhilePumping(client), kReply);
  EXPECT_EQ(hangUps, 0);
  ::close(client);
  ASSERT_TRUE(HangUpsBecome(1));
}
