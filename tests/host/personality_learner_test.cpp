// Learning a personality from a capture: a machine with a known personality is captured (on a
// fake clock), the learned personality has what the capture shows, and a machine run with it
// answers every captured request alike (by form).
#include <gtest/gtest.h>

#include <sstream>

#include "PersonalityFile.h"
#include "PersonalityLearner.h"
#include "ReplayScript.h"
#include "ReplyShaper.h"
#include "SonyBytes.h"

namespace {

VirtualMachine Started(int machine, uint8_t standard) {
  VirtualMachine vm;
  vm.RestoreSettings({standard, machine, 0, false});
  vm.FormShow();
  return vm;
}

const std::vector<Bytes> kSession = {
    Framed({0x00, 0x11}),       Framed({0x61, 0x20, 0x0F}), Framed({0x61, 0x0C, 0x01}),
    Framed({0x20, 0x10}),       Framed({0x60, 0x36}),       Framed({0x24, 0x31, 0, 0, 0x10, 1}),
    Framed({0x20, 0x01}),       Framed({0x80, 0x01}),       {0x20, 0x01, 0x22},
    Framed({0x61, 0x20, 0x04}), Framed({0x20, 0x10}),       Framed({0x60, 0x36}),
    Framed({0x20, 0x00}),       Framed({0x00, 0x11}),
};

// The session as a virtual machine's own capture: port A's rx and tx lines.
std::vector<CaptureRecord> Capture(const Personality& personality, int machine, uint8_t standard) {
  VirtualMachine vm = Started(machine, standard);
  ReplyShaper shaper(personality);
  shaper.Attach(vm);
  shaper.PortOpened();
  std::vector<CaptureRecord> records;
  Micros at(1000000);
  for (const Bytes& request : kSession) {
    const bool good = request.back() == sony::Checksum(request.data(), request.size() - 1);
    records.push_back(
        {at, "A", Direction::Rx, good ? FrameKind::Message : FrameKind::BadChecksum, request, ""});
    for (const PlannedWrite& write : shaper.DataAvailable(request, {}, at).writes) {
      records.push_back(
          {at + write.delay, "A", Direction::Tx, FrameKind::Message, write.bytes, ""});
    }
    at += Micros(40000);
  }
  return records;
}

TEST(PersonalityLearner, LearnsWhatTheCaptureShowsAndAnswersItAlike) {
  Personality captured;
  captured.timing.replyDelayUs = 3000;
  captured.timing.replyJitterUs = 400;
  captured.errors.nakChecksum = true;
  captured.commands.nak = {*ParseCommandRefusal("20 10 = 01"), *ParseCommandRefusal("80 01 = 80")};
  captured.commands.silent = {*ParseCommandPattern("60 36")};
  captured.status.bytes = 10;
  captured.status.bits = {"servo_lock", "tape_out"};
  const std::vector<CaptureRecord> records = Capture(captured, 5, 1);

  const LearnedPersonality learned = LearnPersonality(records, "learned");
  const Personality& p = learned.personality;
  EXPECT_EQ(p.name, "learned");
  EXPECT_EQ(p.identity.machine, 5);
  EXPECT_EQ(p.identity.standard, 1);
  EXPECT_NEAR(static_cast<double>(p.timing.replyDelayUs), 3200, 250);
  EXPECT_GE(p.timing.replyJitterUs, 100);
  EXPECT_LE(p.timing.replyJitterUs, 400);
  EXPECT_TRUE(p.errors.nakChecksum);
  ASSERT_EQ(p.commands.nak.size(), 2u);
  EXPECT_EQ(p.commands.nak[0].Text(), "20 10 = 01");
  EXPECT_EQ(p.commands.nak[1].Text(), "80 01 = 80");
  ASSERT_EQ(p.commands.silent.size(), 1u);
  EXPECT_EQ(p.commands.silent[0].Text(), "60 36");
  EXPECT_EQ(p.status.bytes, 10);
  EXPECT_EQ(p.status.bits, captured.status.bits);
  const std::string file = WritePersonality(p, learned.comments);
  EXPECT_NE(file.find("# reply time: n 12 "), std::string::npos) << file;
  EXPECT_EQ(ParsePersonality(file, "learned.toml"), p);

  // A fresh machine (another identity, even) with the learned personality answers alike.
  VirtualMachine vm = Started(0, 0);
  ReplyShaper shaper(p);
  shaper.Attach(vm);
  shaper.PortOpened();
  const std::vector<ReplayExchange> exchanges = ReplayExchanges(records);
  ASSERT_EQ(exchanges.size(), kSession.size());
  for (const ReplayExchange& exchange : exchanges) {
    std::optional<Bytes> reply;
    const Bytes bytes = shaper.DataAvailable(exchange.request, {}, Micros(0)).engine.ReplyBytes();
    if (!bytes.empty()) reply = bytes;
    EXPECT_TRUE(RepliesMatch(exchange.reply, reply, false)) << HexBytes(exchange.request);
  }
}

TEST(PersonalityLearner, AControllersCaptureIsReadFromPortB) {
  Personality captured;
  captured.timing.replyDelayUs = 2000;
  captured.commands.nak = {*ParseCommandRefusal("20 10 = 01")};
  const std::vector<CaptureRecord> ownCapture = Capture(captured, 3, 0);
  // The same traffic as a controller on port B sees it: it sends the requests, receives replies;
  // a bridge's port A lines beside it are the editor's, not the machine's.
  std::vector<CaptureRecord> bridged;
  for (CaptureRecord r : ownCapture) {
    bridged.push_back(r);
    // The editor gets each reply later than the machine gave it: not the machine's figures.
    if (r.direction == Direction::Tx) bridged.back().time += Micros(5000);
    r.port = "B";
    r.direction = r.direction == Direction::Rx ? Direction::Tx : Direction::Rx;
    bridged.push_back(r);
  }
  std::stable_sort(bridged.begin(), bridged.end(),
                   [](const CaptureRecord& a, const CaptureRecord& b) { return a.time < b.time; });
  EXPECT_EQ(LearnPersonality(bridged, "b").personality,
            LearnPersonality(ownCapture, "b").personality);
}

TEST(PersonalityLearner, APlainMachineLearnsAsPlain) {
  const LearnedPersonality learned = LearnPersonality(Capture(Personality{}, 0, 0), "plain");
  Personality expected;
  expected.name = "plain";
  expected.identity.machine = 0;
  expected.identity.standard = 0;
  EXPECT_EQ(learned.personality, expected) << WritePersonality(learned.personality);
}

TEST(PersonalityLearner, RefusesACaptureWithoutMessages) {
  std::ostringstream err;
  EXPECT_EQ(RunLearn("/nonexistent/capture.txt", "/tmp/x.toml", "", err), 2);
  EXPECT_NE(err.str().find("/nonexistent/capture.txt"), std::string::npos) << err.str();
}

}  // namespace
