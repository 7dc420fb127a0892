// Every reply the virtual machine sends has a name and complete fields in the decoder's table.
#include <gtest/gtest.h>

#include "MessageDecoder.h"
#include "VmTestSupport.h"

namespace {

// Requests of every kind the machine answers, in an order that also reaches the clip replies
// that need a current clip machine and the end of a clip list.
const std::vector<std::vector<uint8_t>> kRequests = {
    {0x00, 0x11},       {0x00, 0xB3},
    {0x00, 0x0C},       {0x20, 0x01},
    {0x21, 0x12, 0x40}, {0x40, 0x10},
    {0x40, 0x11},       {0x43, 0x30, 0x41, 0x03, 0x00},
    {0x50, 0x00},       {0x61, 0x0C, 0x01},
    {0x61, 0x0C, 0x1E}, {0x60, 0x10},
    {0x60, 0x11},       {0x61, 0x20, 0x0F},
    {0x61, 0x20, 0x21}, {0x61, 0x30, 0x0D},
    {0x60, 0x36},       {0x67, 0xA2, '1', '0', '1', 'C', '/', '0', '1'},
    {0x60, 0x81},       {0x60, 0x82},
    {0x60, 0x83},       {0x60, 0x84},
    {0x60, 0x86},       {0x60, 0x87},
    {0x60, 0x91},       {0x60, 0xA0},
    {0x60, 0xA5},       {0x80, 0x01},
    {0x81, 0x05, 0x00}, {0xC1, 0x4A, 0x01}};

TEST(DecodedReplies, EveryReplyIsKnownAndComplete) {
  for (int identity : {0, 11, 16}) {
    VirtualMachine vm = StartedMachine(identity, 0);
    MessageDecoder decoder;
    for (int pass = 0; pass < 8; ++pass) {  // walks a clip list to its end
      for (const auto& body : kRequests) {
        const Bytes request = WithChecksum(body);
        const std::string asked = decoder.Decode(request);
        const Bytes reply = vm.DataAvailable(request, {}).ReplyBytes();
        const std::string answered = decoder.Decode(reply);
        SCOPED_TRACE(asked + " -> " + HexBytes(reply));
        EXPECT_FALSE(answered.starts_with("unknown")) << answered;
        EXPECT_FALSE(answered.starts_with("malformed")) << answered;
        EXPECT_EQ(answered.find("(short)"), std::string::npos) << answered;
        EXPECT_EQ(answered.find("[bad checksum]"), std::string::npos) << answered;
      }
    }
  }
}

TEST(DecodedReplies, ReadsWhatTheMachineReports) {
  VirtualMachine vm = StartedMachine(0, 0);
  MessageDecoder decoder;
  const auto exchange = [&](std::initializer_list<uint8_t> body) {
    decoder.Decode(WithChecksum(body));
    return decoder.Decode(Send(vm, body));
  };
  EXPECT_EQ(exchange({0x00, 0x11}), "DEVICE TYPE DA-88 PAL (F1 1D)");
  EXPECT_EQ(exchange({0x24, 0x31, 0x00, 0x00, 0x10, 0x01}), "ACK");
  EXPECT_EQ(exchange({0x61, 0x0C, 0x01}), "LTC TIME DATA 01:10:00:00");
  EXPECT_EQ(exchange({0x61, 0x20, 0x12}), "STATUS DATA S1-S2: STOP STANDBY CUE-UP STILL");
  EXPECT_EQ(exchange({0x20, 0x01}), "ACK");
  EXPECT_EQ(exchange({0x61, 0x20, 0x12}), "STATUS DATA S1-S2: PLAY STANDBY SERVO-LOCK");
}

}  // namespace
