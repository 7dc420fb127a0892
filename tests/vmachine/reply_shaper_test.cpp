// What a personality does to port A's answers: each key changes what it says and nothing else,
// on a fake clock (times are passed in).
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "ReplyShaper.h"
#include "VmTestSupport.h"

namespace {

using std::chrono::milliseconds;

Micros Ms(double ms) { return Micros(static_cast<int64_t>(ms * 1000)); }

// A started machine with a personality attached.
struct Shaped {
  explicit Shaped(Personality personality, int machineType = 0, uint8_t standard = 0)
      : vm(StartedMachine(machineType, standard)), shaper(std::move(personality)) {
    shaper.Attach(vm);
    shaper.PortOpened();
  }
  std::vector<PlannedWrite> Send(std::initializer_list<uint8_t> body, Micros at = Micros(0)) {
    return Raw(Framed(body), at);
  }
  std::vector<PlannedWrite> Raw(const Bytes& bytes, Micros at = Micros(0)) {
    return shaper.DataAvailable(bytes, VmEventContext{}, at).writes;
  }
  VirtualMachine vm;
  ReplyShaper shaper;
};

std::vector<PlannedWrite> Now(const Bytes& bytes) { return {{Micros(0), bytes}}; }

const Bytes kStatusSense = Framed({0x61, 0x20, 0x0F});

TEST(ReplyShaper, DefaultPersonalityKeepsEveryByteOfALongMixedScript) {
  const std::vector<Bytes> requests = {
      Framed({0x00, 0x11}),
      Framed({0x61, 0x0C, 0x01}),
      kStatusSense,
      Framed({0x20, 0x01}),
      Framed({0x20, 0x00}),
      Framed({0x21, 0x11, 0x40}),
      Framed({0x20, 0x10}),
      Framed({0x20, 0x20}),
      Framed({0x61, 0x0C, 0x1E}),
      Framed({0x40, 0x10}),
      Framed({0x40, 0x11}),
      Framed({0x61, 0x10}),
      Framed({0x80, 0x01}),
      Framed({0x61, 0x20, 0x4C}),
      Framed({0x20, 0x65}),
      Framed({0x00, 0xB3}),
      Framed({0x62, 0x30, 0x0D}),
      Framed({0x61, 0x81}),
      {0x20, 0x01, 0x22},
      {0x05},
      Framed({0x24, 0x31, 0, 0, 0, 1}),
  };
  std::mt19937 random(7);
  VirtualMachine plain = StartedMachine(3, 1);
  Shaped shaped(Personality{}, 3, 1);
  const VmEventContext context{true, true, true};
  Bytes stream;
  for (int i = 0; i < 3000; ++i) {
    const Bytes& r = requests[random() % requests.size()];
    stream.insert(stream.end(), r.begin(), r.end());
  }
  std::size_t at = 0;
  int events = 0;
  while (at < stream.size()) {
    const std::size_t size = std::min<std::size_t>(1 + random() % 24, stream.size() - at);
    const std::span<const uint8_t> chunk(stream.data() + at, size);
    at += size;
    const VmEventResult expected = plain.DataAvailable(chunk, context);
    const ShapedEvent actual = shaped.shaper.DataAvailable(chunk, context, Ms(events));
    ASSERT_EQ(actual.engine.ReplyBytes(), expected.ReplyBytes()) << "event " << events;
    ASSERT_EQ(actual.engine.MonitorLines(), expected.MonitorLines()) << "event " << events;
    const Bytes replies = expected.ReplyBytes();
    ASSERT_EQ(actual.writes, replies.empty() ? std::vector<PlannedWrite>{} : Now(replies));
    if (++events % 5 == 0) {
      plain.FrameTick();
      shaped.vm.FrameTick();
    }
  }
  EXPECT_EQ(shaped.vm.Port().Status, plain.Port().Status);
  EXPECT_EQ(shaped.vm.Port().ChecksumErrors, plain.Port().ChecksumErrors);
  EXPECT_GT(plain.Port().ChecksumErrors, 0);
}

TEST(ReplyShaper, DelayAndJitterAreUniformAndSeeded) {
  Personality p;
  p.timing.replyDelayUs = 4000;
  p.timing.replyJitterUs = 1000;
  p.timing.seed = 9;
  Shaped a(p), b(p);
  p.timing.seed = 10;
  Shaped c(p);
  std::vector<Micros> delaysA, delaysB, delaysC;
  for (int i = 0; i < 200; ++i) {
    const Micros now = Ms(20.0 * i);
    const auto writes = a.Send({0x20, 0x01}, now);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].bytes, kAck);
    EXPECT_GE(writes[0].delay, Ms(4));
    EXPECT_LE(writes[0].delay, Ms(5));
    delaysA.push_back(writes[0].delay);
    delaysB.push_back(b.Send({0x20, 0x01}, now).at(0).delay);
    delaysC.push_back(c.Send({0x20, 0x01}, now).at(0).delay);
  }
  EXPECT_EQ(delaysA, delaysB);
  EXPECT_NE(delaysA, delaysC);
  std::sort(delaysA.begin(), delaysA.end());
  EXPECT_LT(delaysA.front(), Ms(4.2));
  EXPECT_GT(delaysA.back(), Ms(4.8));
}

TEST(ReplyShaper, ByteTimePacesEachByteAndRepliesNeverOvertake) {
  Personality p;
  p.timing.byteTimeUs = 286;
  Shaped s(p);
  const auto writes = s.Raw(kStatusSense, Ms(1));
  ASSERT_EQ(writes.size(), 18u);
  for (std::size_t i = 0; i < writes.size(); ++i) {
    EXPECT_EQ(writes[i].delay, Micros(286 * static_cast<int64_t>(i + 1)));
    EXPECT_EQ(writes[i].bytes.size(), 1u);
  }
  // A request that comes while the status reply is still going out waits for the line.
  const auto next = s.Send({0x20, 0x01}, Ms(2));
  ASSERT_EQ(next.size(), 3u);
  EXPECT_EQ(next[0].delay, Micros(1000 + 19 * 286 - 2000));
}

TEST(ReplyShaper, ReceiveTimeOutDropsAnIncompleteMessageAndNaksIt) {
  Personality p;
  p.timing.receiveTimeoutUs = 10000;
  p.errors.nakTimeout = true;
  Shaped s(p);
  EXPECT_TRUE(s.Raw({0x61}, Ms(0)).empty());  // a stray byte: the start of a message
  EXPECT_EQ(s.shaper.Deadline(), Ms(10));
  EXPECT_TRUE(s.Raw({0x20}, Ms(5)).empty());  // still the same incomplete message
  EXPECT_EQ(s.shaper.Deadline(), Ms(10));
  EXPECT_TRUE(s.shaper.Expire(Ms(9.999)).empty());
  EXPECT_EQ(s.shaper.Expire(Ms(10)), Now(Framed({0x11, 0x12, 0x80})));
  EXPECT_FALSE(s.shaper.Deadline());
  EXPECT_EQ(s.Send({0x20, 0x01}, Ms(30)), Now(kAck));
  EXPECT_EQ(s.vm.Port().Status[1], 0x81);  // the play ran

  // The owner's timer late: the next bytes drop the old ones first, in the same plan.
  s.Raw({0x61}, Ms(40));
  EXPECT_EQ(s.Send({0x20, 0x00}, Ms(60)), Now(Concat({Framed({0x11, 0x12, 0x80}), kAck})));

  // Bytes the owner dropped itself (the editor hung up) are not answered.
  s.Raw({0x61}, Ms(100));
  s.vm.PeerHungUp();
  EXPECT_TRUE(s.shaper.Expire(Ms(110)).empty());
  EXPECT_FALSE(s.shaper.Deadline());

  // Without nak_timeout the message is dropped in silence; without a time-out it waits forever.
  p.errors.nakTimeout = false;
  Shaped quiet(p);
  quiet.Raw({0x61}, Ms(0));
  EXPECT_TRUE(quiet.shaper.Expire(Ms(10)).empty());
  EXPECT_EQ(quiet.Send({0x20, 0x01}, Ms(30)), Now(kAck));
  Shaped plain((Personality{}));
  plain.Raw({0x05}, Ms(0));
  EXPECT_FALSE(plain.shaper.Deadline());
  EXPECT_TRUE(plain.Send({0x20, 0x01}, Ms(30)).empty());  // 05 20 01 21 waits for 4 more bytes
}

TEST(ReplyShaper, NakChecksumAnswersABadMessageAndEmptiesTheRing) {
  Personality p;
  p.errors.nakChecksum = true;
  Shaped s(p);
  EXPECT_EQ(s.Raw({0x20, 0x01, 0x22}), Now(Framed({0x11, 0x12, 0x04})));
  EXPECT_EQ(s.vm.Port().ChecksumErrors, 1);
  EXPECT_EQ(s.vm.PendingBytes(), 0);
  EXPECT_EQ(s.vm.Port().Status[1], 0x00);  // the broken play did not run
  EXPECT_EQ(s.Send({0x20, 0x01}), Now(kAck));
  // The plain machine slides one byte instead: 01 22 20 ... stays in its ring.
  Shaped plain((Personality{}));
  EXPECT_TRUE(plain.Raw({0x20, 0x01, 0x22}).empty());
  EXPECT_EQ(plain.vm.PendingBytes(), 2);
}

TEST(ReplyShaper, CommandsOutsideAcceptAreRefusedAndNotRun) {
  Personality p;
  p.commands.accept = std::vector<CommandPattern>{*ParseCommandPattern("6x *")};
  p.errors.nakUndefined = true;
  Shaped s(p);
  EXPECT_EQ(s.Send({0x20, 0x01}), Now(Framed({0x11, 0x12, 0x01})));
  EXPECT_EQ(s.vm.Port().Status[1], 0x00);
  EXPECT_EQ(s.Raw(kStatusSense).at(0).bytes.size(), 18u);
  p.errors.nakUndefined = false;  // a machine that acknowledges what it does not know
  Shaped quiet(p);
  EXPECT_EQ(quiet.Send({0x20, 0x01}), Now(kAck));
  EXPECT_EQ(quiet.vm.Port().Status[1], 0x00);
}

TEST(ReplyShaper, IgnoredRefusedAndSilentCommandsDoNotRun) {
  Personality p;
  p.commands.ignore = {*ParseCommandPattern("20 01")};
  p.commands.nak = {*ParseCommandRefusal("20 10 = 80")};
  p.commands.silent = {*ParseCommandPattern("20 20")};
  Shaped s(p);
  EXPECT_EQ(s.Send({0x20, 0x01}), Now(kAck));
  EXPECT_EQ(s.Send({0x20, 0x10}), Now(Framed({0x11, 0x12, 0x80})));
  EXPECT_TRUE(s.Send({0x20, 0x20}).empty());
  EXPECT_EQ(s.vm.Speed(), 0);
  EXPECT_EQ(s.vm.Port().Status[1], 0x00);
  EXPECT_EQ(s.Send({0x20, 0x02}), Now(kAck));  // anything else runs
  EXPECT_EQ(s.vm.Speed(), 1000);
}

TEST(ReplyShaper, StatusBytesCutAStatusSense) {
  Personality p;
  p.status.bytes = 10;
  Shaped s(p);
  const auto whole = s.Raw(kStatusSense).at(0).bytes;
  EXPECT_EQ(whole.size(), 13u);
  EXPECT_EQ(whole[0], 0x7A);
  EXPECT_EQ(s.Send({0x61, 0x20, 0x84}), Now(Framed({0x72, 0x20, 0x00, 0x00})));  // S8, S9
  EXPECT_EQ(s.Send({0x61, 0x20, 0xA4}), Now(Framed({0x70, 0x20})));
  EXPECT_EQ(s.Send({0x61, 0x0C, 0x01}).at(0).bytes.size(), 7u);  // other replies are whole
}

TEST(ReplyShaper, LocalAndNamedBitsSetTheStartingStatus) {
  Personality p;
  p.status.local = true;
  p.status.bits = {"tape_out", "servo_lock", "rec_inhibit"};
  Shaped s(p);
  EXPECT_EQ(s.Send({0x20, 0x01}), Now(kAck));
  EXPECT_EQ(s.vm.Speed(), 0);  // a deck in local ignores transport commands
  EXPECT_EQ(s.vm.Panel().vlocalCaption, "local");
  EXPECT_TRUE(s.vm.Panel().recinhibit);
  const Bytes status = s.Send({0x61, 0x20, 0x09}).at(0).bytes;
  EXPECT_EQ(status[2], 0x21);   // S0: tape out, local
  EXPECT_EQ(status[4], 0x80);   // S2: servo lock
  EXPECT_EQ(status[10], 0x01);  // S8: rec inhibit
}

TEST(ReplyShaper, IdentityPosesAsTheMachine) {
  Personality p;
  p.identity.machine = 5;
  p.identity.standard = 1;
  Shaped s(p);
  VirtualMachine expected = StartedMachine(5, 1);
  EXPECT_EQ(s.Send({0x00, 0x11}).at(0).bytes, Send(expected, {0x00, 0x11}));
  p.identity.deviceType = std::array<uint8_t, 2>{0x20, 0x24};
  p.identity.standard = 0;
  Shaped typed(p);
  EXPECT_EQ(typed.Send({0x00, 0x11}).at(0).bytes, Framed({0x12, 0x11, 0x21, 0x24}));
}

// Which of twelve requests (1..12) each fault strikes, and what a struck reply looks like.
TEST(ReplyShaper, FaultsFollowTheirScheduleExactly) {
  const Bytes timerMode = {0x71, 0x36, 0x00, 0xA7};
  Personality drop, bad, garbage, late, split, swallow;
  drop.faults.dropEvery = 3;
  bad.faults.badChecksumEvery = 4;
  garbage.faults.garbageEvery = 5;
  late.faults.lateEvery = 2;
  late.faults.lateUs = 7000;
  split.faults.splitEvery = 6;
  split.faults.splitGapUs = 2000;
  swallow.faults.swallowFirst = 2;
  const struct {
    Personality p;
    std::vector<int> struck;
    std::vector<PlannedWrite> writes;  // of a struck request
  } cases[] = {
      {drop, {3, 6, 9, 12}, {}},
      {bad, {4, 8, 12}, Now({0x71, 0x36, 0x00, 0x58})},
      {garbage, {5, 10}, Now({0xFF, 0x71, 0x36, 0x00, 0xA7})},
      {late, {2, 4, 6, 8, 10, 12}, {{Ms(7), timerMode}}},
      {split, {6, 12}, {{Micros(0), {0x71, 0x36}}, {Ms(2), {0x00, 0xA7}}}},
      {swallow, {1, 2}, {}},
  };
  for (const auto& c : cases) {
    Shaped s(c.p);
    std::vector<int> struck;
    for (int request = 1; request <= 12; ++request) {
      // Far apart, so no reply waits for the one before.
      const auto writes = s.Send({0x60, 0x36}, Ms(100.0 * request));
      if (writes == Now(timerMode)) continue;
      struck.push_back(request);
      EXPECT_EQ(writes, c.writes) << c.p.faults.dropEvery << " request " << request;
    }
    EXPECT_EQ(struck, c.struck);
  }
  // Swallowed commands are not run either; counting starts again when the port opens.
  Shaped s(swallow);
  s.Send({0x20, 0x01});
  EXPECT_EQ(s.vm.Speed(), 0);
  s.shaper.PortOpened();
  EXPECT_TRUE(s.Send({0x20, 0x01}).empty());
  EXPECT_TRUE(s.Send({0x20, 0x01}).empty());
  EXPECT_EQ(s.Send({0x20, 0x01}), Now(kAck));
  EXPECT_EQ(s.vm.Speed(), 1000);
}

TEST(ReplyShaper, DetachedMachineAnswersAlone) {
  Personality p;
  p.commands.silent = {*ParseCommandPattern("*")};
  auto shaper = std::make_unique<ReplyShaper>(p);
  VirtualMachine vm = StartedMachine();
  shaper->Attach(vm);
  EXPECT_TRUE(Send(vm, {0x20, 0x01}).empty());
  shaper.reset();
  EXPECT_EQ(vm.ReplyGate(), nullptr);
  EXPECT_EQ(Send(vm, {0x20, 0x01}), kAck);
}

}  // namespace
