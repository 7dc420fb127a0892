// The clip-server requests: clip names, LSM IDs, IN/OUT labels and clip selection.
#include <gtest/gtest.h>

#include "VmTestSupport.h"

namespace {

Bytes NameReply(uint8_t cmd2, const char* name) {
  Bytes body = {0x77, cmd2};
  for (int i = 0; i < 7; ++i) body.push_back(static_cast<uint8_t>(name[i]));
  return WithChecksum(body);
}

// A clip request with the characters of a name as its data.
Bytes ClipRequest(uint8_t cmd1Group, uint8_t cmd2, const std::string& name) {
  Bytes body = {static_cast<uint8_t>(cmd1Group | name.size()), cmd2};
  body.insert(body.end(), name.begin(), name.end());
  return WithChecksum(body);
}

Bytes Request(VirtualMachine& vm, uint8_t cmd1Group, uint8_t cmd2, const std::string& name) {
  return vm.DataAvailable(ClipRequest(cmd1Group, cmd2, name), {}).ReplyBytes();
}

TEST(ClipServer, InitialState) {
  VirtualMachine vm = StartedMachine(16);
  const ClipServer& clips = vm.Clips();
  EXPECT_EQ(clips.List(1), (std::vector<std::string>{"CamA/01", "CamB/01", "101A/01", "101B/01",
                                                     "102A/01", "102B/01"}));
  EXPECT_EQ(clips.List(2).back(), "202B/02");
  EXPECT_EQ(clips.LsmIdLabel(1), "CamA/01");
  EXPECT_EQ(clips.LsmIdLabel(2), "CamA/02");
  EXPECT_EQ(clips.InLabel(2), "00:00:00:00");
  EXPECT_EQ(clips.CurrentMachine(), 0);
  EXPECT_EQ(clips.LoadId(), "CamA/00");
}

TEST(ClipServer, WithoutACurrentMachineNothingIsListed) {
  VirtualMachine vm = StartedMachine(16);
  EXPECT_EQ(Send(vm, {0x60, 0x81}), Reply({0x77, 0x81, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Send(vm, {0x60, 0x82}), Reply({0x70, 0x82}));
  EXPECT_EQ(Send(vm, {0x60, 0x86}), Reply({0x70, 0x86}));
  // A four-character name before any machine is current names no machine: ACK, nothing added.
  EXPECT_EQ(Request(vm, 0x60, 0xA2, "101C"), kAck);
  EXPECT_EQ(vm.Clips().CurrentMachine(), 0);
  EXPECT_EQ(vm.Clips().List(1).size(), 6u);
  EXPECT_EQ(Request(vm, 0x60, 0xA2, "101C/x1"), kAck);
  EXPECT_EQ(vm.Clips().CurrentMachine(), 0);
}

TEST(ClipServer, ClipNamesAreReadInOrder) {
  VirtualMachine vm = StartedMachine(16);
  Request(vm, 0x20, 0x82, "CamB/02");  // makes machine 2 current
  EXPECT_EQ(Send(vm, {0x60, 0x82}), NameReply(0x82, "CamA/02"));
  EXPECT_EQ(Send(vm, {0x60, 0x83}), NameReply(0x82, "CamB/02"));
  EXPECT_EQ(Send(vm, {0x60, 0x86}), NameReply(0x86, "201A/02"));
  EXPECT_EQ(Send(vm, {0x60, 0x87}), NameReply(0x86, "201B/02"));
  EXPECT_EQ(Send(vm, {0x60, 0x83}), NameReply(0x82, "202A/02"));
  EXPECT_EQ(Send(vm, {0x60, 0x83}), NameReply(0x82, "202B/02"));
  EXPECT_EQ(Send(vm, {0x60, 0x83}), Reply({0x70, 0x82}));
  EXPECT_EQ(Send(vm, {0x60, 0x86}), Reply({0x70, 0x86}));
  EXPECT_EQ(Send(vm, {0x60, 0x82}), NameReply(0x82, "CamA/02"));
}

TEST(ClipServer, AddClipCompletesShortNamesFromTheLsmId) {
  VirtualMachine vm = StartedMachine(16);
  Request(vm, 0x20, 0x82, "CamA/01");
  EXPECT_EQ(Request(vm, 0x60, 0xA2, "101C"), kAck);
  EXPECT_EQ(vm.Clips().List(1).back(), "101C/01");
  EXPECT_EQ(Request(vm, 0x60, 0xA2, "101C"), kAck);
  EXPECT_EQ(vm.Clips().List(1).size(), 7u);
  EXPECT_EQ(Request(vm, 0x60, 0xA2, "201C/02"), kAck);
  EXPECT_EQ(vm.Clips().List(2).back(), "201C/02");
  EXPECT_EQ(vm.Clips().CurrentMachine(), 2);
  // A machine other than 1 and 2 has no list.
  EXPECT_EQ(Request(vm, 0x60, 0xA2, "301C/03"), kAck);
  EXPECT_EQ(vm.Clips().CurrentMachine(), 3);
  EXPECT_EQ(vm.Clips().List(1).size(), 7u);
  EXPECT_EQ(vm.Clips().List(2).size(), 7u);
  EXPECT_EQ(Send(vm, {0x60, 0x81}), Reply({0x77, 0x81, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(ClipServer, SelectingAClipAndLoadingTheLsmId) {
  VirtualMachine vm = StartedMachine(16);
  Request(vm, 0x20, 0x82, "CamB/01");
  EXPECT_EQ(vm.Clips().LsmIdLabel(1), "CamB/01");
  EXPECT_EQ(vm.Clips().LoadId(), "CamA/00");
  EXPECT_EQ(Send(vm, {0x60, 0x81}), NameReply(0x81, "CamB/01"));
  Request(vm, 0x20, 0x82, "101A/01");
  EXPECT_EQ(vm.Clips().LsmIdLabel(1), "101A/01");
  EXPECT_EQ(vm.Clips().LoadId(), "101A/01");
  vm.dd35clips1Click(0);
  EXPECT_EQ(vm.Clips().LsmIdLabel(1), "CamA/01");
  EXPECT_EQ(Send(vm, {0x60, 0xA5}), kAck);
  EXPECT_EQ(vm.Clips().LsmIdLabel(1), "101A/01");
  // Not found: nothing changes.
  Request(vm, 0x20, 0x82, "999Z/01");
  EXPECT_EQ(vm.Clips().LsmIdLabel(1), "101A/01");
}

TEST(ClipServer, ClipSelectIsATransportCommandIgnoredInLocal) {
  VirtualMachine vm = StartedMachine(16);
  vm.vlocalClick();
  vm.vlocalClick();
  EXPECT_EQ(Request(vm, 0x20, 0x82, "101A/01"), kAck);
  EXPECT_EQ(vm.Clips().LsmIdLabel(1), "CamA/01");
  EXPECT_EQ(vm.Clips().CurrentMachine(), 0);
}

TEST(ClipServer, InAndOutLabels) {
  VirtualMachine vm = StartedMachine(16);
  Request(vm, 0x20, 0x82, "CamA/02");
  Send(vm, {0x24, 0x31, 0x02, 0x03, 0x04, 0x05});
  EXPECT_EQ(Send(vm, {0x60, 0xA0}), kAck);
  EXPECT_EQ(vm.Clips().InLabel(2), "__:__:__:__");
  vm.FrameTick();
  Send(vm, {0x60, 0xA0});
  EXPECT_EQ(vm.Clips().InLabel(2), "05:04:03:02");
  EXPECT_EQ(Send(vm, {0x64, 0xA1, 0x24, 0x59, 0x59, 0x23}), kAck);
  EXPECT_EQ(vm.Clips().OutLabel(2), "23:59:59:24");
  EXPECT_EQ(vm.Clips().OutLabel(1), "00:00:00:00");
}

TEST(ClipServer, ListClicksOutsideTheListDoNothing) {
  VirtualMachine vm = StartedMachine(16);
  vm.dd35clips2Click(1);
  EXPECT_EQ(vm.Clips().LsmIdLabel(2), "CamB/02");
  vm.dd35clips2Click(-1);
  vm.dd35clips2Click(6);
  EXPECT_EQ(vm.Clips().LsmIdLabel(2), "CamB/02");
}

// How many data bytes a lookup has decides where the name's "/nn" comes from: 4 and 6 take it
// from the current machine's LSM ID, 7 and 9 from DATA-5..7, other counts add nothing (and a
// four-character name selects no machine). Machine 1 is current, its LSM ID "CamA/01".
TEST(ClipServer, LookupNameByDataCount) {
  struct Row {
    std::string data;
    std::string name;  // the current clip name after the lookup
    int machine;
    std::string lsmId1;  // lsmid1 after 2x 82 (a found name shows there)
  };
  const Row rows[] = {
      {"CamB", "CamB/01", 1, "CamB/01"},     {"CamB??", "CamB/01", 1, "CamB/01"},
      {"201A/02", "201A/02", 2, "CamA/01"},  {"101A/01??", "101A/01", 1, "101A/01"},
      {"CamB/", "CamB", 0, "CamA/01"},       {"CamB/0", "CamB/01", 1, "CamB/01"},
      {"101A/01?", "101A", 0, "CamA/01"},    {"101A/01???", "101A", 0, "CamA/01"},
      {"101A/01????", "101A", 0, "CamA/01"}, {"CamB/02", "CamB/02", 2, "CamA/01"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.data.size()) + " bytes: " + row.data);
    VirtualMachine vm = StartedMachine(16);
    Request(vm, 0x20, 0x82, "CamA/01");
    ASSERT_EQ(vm.Clips().CurrentMachine(), 1);
    EXPECT_EQ(Request(vm, 0x20, 0x82, row.data), kAck);
    EXPECT_EQ(vm.Clips().CurrentName(), row.name);
    EXPECT_EQ(vm.Clips().CurrentMachine(), row.machine);
    EXPECT_EQ(vm.Clips().LsmIdLabel(1), row.lsmId1);
  }
}

// The clip requests are answered whatever machine the panel poses as.
TEST(ClipServer, ClipCommandsWorkUnderEveryIdentity) {
  for (const int identity : {0, 1, 8, 15, 16}) {
    SCOPED_TRACE(identity);
    VirtualMachine vm = StartedMachine(identity);
    EXPECT_EQ(Request(vm, 0x20, 0x82, "101A/01"), kAck);
    EXPECT_EQ(vm.Clips().LsmIdLabel(1), "101A/01");
    EXPECT_EQ(Request(vm, 0x60, 0xA2, "103C"), kAck);
    EXPECT_EQ(vm.Clips().List(1).back(), "103C/01");
    EXPECT_EQ(Send(vm, {0x60, 0x81}), NameReply(0x81, "101A/01"));
    EXPECT_EQ(Send(vm, {0x60, 0x82}), NameReply(0x82, "CamA/01"));
    EXPECT_EQ(Send(vm, {0x60, 0x87}), NameReply(0x86, "CamB/01"));
    EXPECT_EQ(Send(vm, {0x64, 0xA0, 0x00, 0x30, 0x20, 0x10}), kAck);
    EXPECT_EQ(vm.Clips().InLabel(1), "10:20:30:00");
  }
}

// With no clip machine current (none yet, or one other than 1 and 2), IN, OUT and load LSM ID are
// answered ACK and change no label.
TEST(ClipServer, InOutAndLoadWithoutACurrentClipMachineChangeNothing) {
  for (const bool otherMachine : {false, true}) {
    SCOPED_TRACE(otherMachine ? "clip machine 3" : "none yet");
    VirtualMachine vm = StartedMachine(16);
    if (otherMachine) {
      Request(vm, 0x20, 0x82, "101A/01");  // the ID to load, now other than the labels
      vm.dd35clips1Click(0);
      Request(vm, 0x60, 0xA2, "301C/03");
      ASSERT_EQ(vm.Clips().CurrentMachine(), 3);
    }
    ASSERT_NE(vm.Clips().LoadId(), vm.Clips().LsmIdLabel(1));
    const ClipServer kept = vm.Clips();
    vm.FrameTick();
    EXPECT_EQ(Send(vm, {0x64, 0xA0, 0x01, 0x02, 0x03, 0x04}), kAck);
    EXPECT_EQ(Send(vm, {0x60, 0xA0}), kAck);
    EXPECT_EQ(Send(vm, {0x64, 0xA1, 0x01, 0x02, 0x03, 0x04}), kAck);
    EXPECT_EQ(Send(vm, {0x60, 0xA1}), kAck);
    EXPECT_EQ(Send(vm, {0x60, 0xA5}), kAck);
    for (const int machine : {1, 2}) {
      EXPECT_EQ(vm.Clips().InLabel(machine), kept.InLabel(machine));
      EXPECT_EQ(vm.Clips().OutLabel(machine), kept.OutLabel(machine));
      EXPECT_EQ(vm.Clips().LsmIdLabel(machine), kept.LsmIdLabel(machine));
      EXPECT_EQ(vm.Clips().List(machine), kept.List(machine));
    }
    EXPECT_EQ(vm.Clips().LoadId(), kept.LoadId());
  }
}

// One reading index serves both clip machines: switching machines goes on where the other
// stopped, and only 6x 82 starts over.
TEST(ClipServer, BothClipMachinesShareOneReadingIndex) {
  VirtualMachine vm = StartedMachine(16);
  Request(vm, 0x20, 0x82, "CamA/01");
  EXPECT_EQ(Send(vm, {0x60, 0x82}), NameReply(0x82, "CamA/01"));
  EXPECT_EQ(Send(vm, {0x60, 0x83}), NameReply(0x82, "CamB/01"));
  Request(vm, 0x20, 0x82, "CamA/02");
  EXPECT_EQ(vm.Clips().ReadingIndex(), 2) << "a lookup leaves the index alone";
  EXPECT_EQ(Send(vm, {0x60, 0x83}), NameReply(0x82, "201A/02"));
  Request(vm, 0x20, 0x82, "CamA/01");
  EXPECT_EQ(Send(vm, {0x60, 0x86}), NameReply(0x86, "101B/01"));
  EXPECT_EQ(Send(vm, {0x60, 0x82}), NameReply(0x82, "CamA/01"));
}

}  // namespace
