// The virtual machine of port A: data events cut at fuzzed points, frame ticks and every panel
// click in any order. Each data event must answer exactly the messages the queue model extracts,
// in order, each with one well-framed reply (none while the port is closed) and the monitor
// lines of that message.
#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzFrames.h"
#include "VirtualMachine.h"

namespace {

bool Ack(const Bytes& reply) { return reply[0] == 0x10 && reply[1] == 0x01; }

bool Is(const Bytes& reply, std::initializer_list<uint8_t> start) {
  return std::equal(start.begin(), start.end(), reply.begin());
}

// The kind of reply each request gets: its group and CMD-2, and whole replies where they are
// fixed. A sense request for the clip list may keep the CMD-1 of the reply before (no clip
// machine current), so only its CMD-2 is checked.
bool ReplyFits(const std::vector<uint8_t>& request, const Bytes& reply) {
  const uint8_t cmd2 = request[1];
  switch (request[0] >> 4) {
    case 0x0:
      if (cmd2 == 0x11)
        return (reply[0] == 0x12 || reply[0] == 0x13 || reply[0] == 0x14) && reply[1] == 0x11;
      if (cmd2 == 0xB3) return Is(reply, {0x12, 0xB3, 0x5A, 0x21});
      return Ack(reply);
    case 0x6:
      switch (cmd2) {
        case 0x0C:
          return reply[0] == 0x74 && (reply[1] == 0x04 || reply[1] == 0x1E);
        case 0x10:
        case 0x11:
          return reply[0] == 0x74 && reply[1] == cmd2;
        case 0x20:
          return Ack(reply) || ((reply[0] >> 4) == 7 && reply[1] == 0x20);
        case 0x30:
          return (reply[0] >> 4) == 7 && reply[1] == 0x30;
        case 0x36:
          return Is(reply, {0x71, 0x36, 0x00});
        case 0x81:
          return Is(reply, {0x77, 0x81});
        case 0x82:
        case 0x83:
          return reply[1] == 0x82;
        case 0x84:
        case 0x85:
          return Is(reply, {0x70, 0x84});
        case 0x86:
        case 0x87:
          return reply[1] == 0x86;
        case 0x91:
          return Is(reply, {0x74, 0x91, 0x03, 0x02, 0x01, 0x00});
        default:
          return Ack(reply);
      }
    case 0x8:
      return cmd2 == 0x01 ? Is(reply, {0x96, 0x01}) : Ack(reply);
    default:
      return Ack(reply);
  }
}

void DataEvent(VirtualMachine& vm, ReceiveModel& model, FuzzedDataProvider& input) {
  VmEventContext context;
  context.portOpen = input.ConsumeIntegralInRange(0, 7) != 0;
  context.showComs = input.ConsumeBool();
  context.monitorVisible = input.ConsumeBool();
  const auto burst = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 33));
  const VmEventResult result = vm.DataAvailable(burst, context);
  FUZZ_CHECK(result.inputDiscarded == !model.Receive(burst));
  Bytes allReplies;
  for (const VmExchange& exchange : result.exchanges) {
    const auto request = model.Extract();
    FUZZ_CHECK(!request.empty());
    FUZZ_CHECK(exchange.rxLine == (context.showComs ? "Rx:" + HexBytes(request) : ""));
    if (context.portOpen) {
      FUZZ_CHECK(WellFramed(exchange.reply));
      FUZZ_CHECK(ReplyFits(request, exchange.reply));
      FUZZ_CHECK(exchange.txLine == (context.showComs ? "  Tx " + HexBytes(exchange.reply) : ""));
    } else {
      FUZZ_CHECK(exchange.reply.empty() && exchange.txLine.empty());
    }
    allReplies.insert(allReplies.end(), exchange.reply.begin(), exchange.reply.end());
  }
  FUZZ_CHECK(model.Extract().empty());  // nothing whole was left unanswered
  FUZZ_CHECK(result.ReplyBytes() == allReplies);
  FUZZ_CHECK(vm.Port().ChecksumErrors == model.Errors());
}

std::optional<std::string> MaybeText(FuzzedDataProvider& input) {
  if (input.ConsumeBool()) return std::nullopt;
  return input.ConsumeRandomLengthString(16);
}

void Click(VirtualMachine& vm, FuzzedDataProvider& input) {
  const int wide = input.ConsumeIntegralInRange(-2, 130);
  switch (input.ConsumeIntegralInRange(0, 21)) {
    case 0:
      vm.vplayClick(input.PickValueInArray(
          {kTagStop, kTagPlay, kTagFwd, kTagRwd, kTagRvsPlay, kTagOff, kTagEdit, wide}));
      break;
    case 1:
      vm.vgotoClick(MaybeText(input));
      break;
    case 2:
      vm.vlocalClick();
      break;
    case 3:
      vm.recinhibitClick(input.ConsumeBool());
      break;
    case 4:
      vm.qallClick(input.ConsumeBool());
      break;
    case 5:
      vm.nostillClick(input.ConsumeBool());
      break;
    case 6:
      vm.nostatusClick(input.ConsumeBool());
      break;
    case 7:
      vm.rvslockdirClick();
      break;
    case 8:
      vm.MarkInClick();
      break;
    case 9:
      vm.MarkOutClick();
      break;
    case 10:
      vm.DA881Click(input.ConsumeIntegralInRange(0, 16));
      break;
    case 11:
      vm.EnterID1Click(MaybeText(input));
      break;
    case 12:
      vm.N24P1Click(wide);
      break;
    case 13:
      vm.None1Click(input.ConsumeIntegralInRange(0, 4));
      break;
    case 14:
      vm.Normal1Click(input.PickValueInArray({0, 16, 32, 48, 64}));
      break;
    case 15:
      vm.rr1Click(wide);
      break;
    case 16:
      vm.ra1Click(wide);
      break;
    case 17:
      vm.bankClick();
      break;
    case 18:
      vm.dd35clips1Click(wide);
      break;
    case 19:
      vm.dd35clips2Click(wide);
      break;
    case 20:
      vm.ApplyMachineType();
      break;
    default:
      vm.ApplyStandard();
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  VirtualMachine vm;
  VmSettings settings;
  settings.Standard = input.ConsumeIntegral<uint8_t>();
  settings.MachineType = input.ConsumeIntegralInRange(0, 16);
  settings.UnitTracksByte = input.ConsumeIntegral<uint8_t>();
  settings.ExtendedIdReply = input.ConsumeBool();
  vm.RestoreSettings(settings);
  vm.FormShow();
  ReceiveModel model;
  while (input.remaining_bytes() > 0) {
    switch (input.ConsumeIntegralInRange(0, 3)) {
      case 0:
        vm.FrameTick();
        break;
      case 1:
        Click(vm, input);
        break;
      default:
        DataEvent(vm, model, input);
        break;
    }
    FUZZ_CHECK(vm.Port().TallyText.size() <= kTallyCapacity);
    FUZZ_CHECK(vm.Port().PositionText.size() <= kPositionTextCapacity);
  }
  return 0;
}
