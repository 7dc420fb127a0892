// The virtual machine of port A: data events cut at fuzzed points, frame ticks and every panel
// click in any order. Each data event must answer exactly the messages the queue model extracts,
// in order, each with one well-framed reply (none while the port is closed) and the monitor
// lines of that message.
#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzFrames.h"
#include "VirtualMachine.h"

namespace {

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
    case 0: vm.vplayClick(input.PickValueInArray({kTagStop, kTagPlay, kTagFwd, kTagRwd, kTagRvsPlay, kTagOff, kTagEdit, wide})); break;
    case 1: vm.vgotoClick(MaybeText(input)); break;
    case 2: vm.vlocalClick(); break;
    case 3: vm.recinhibitClick(input.ConsumeBool()); break;
    case 4: vm.qallClick(input.ConsumeBool()); break;
    case 5: vm.nostillClick(input.ConsumeBool()); break;
    case 6: vm.nostatusClick(input.ConsumeBool()); break;
    case 7: vm.rvslockdirClick(); break;
    case 8: vm.MarkInClick(); break;
    case 9: vm.MarkOutClick(); break;
    case 10: vm.DA881Click(input.ConsumeIntegralInRange(0, 16)); break;
    case 11: vm.EnterID1Click(MaybeText(input)); break;
    case 12: vm.N24P1Click(wide); break;
    case 13: vm.None1Click(input.ConsumeIntegralInRange(0, 4)); break;
    case 14: vm.Normal1Click(input.PickValueInArray({0, 16, 32, 48, 64})); break;
    case 15: vm.rr1Click(wide); break;
    case 16: vm.ra1Click(wide); break;
    case 17: vm.bankClick(); break;
    case 18: vm.dd35clips1Click(wide); break;
    case 19: vm.dd35clips2Click(wide); break;
    case 20: vm.ApplyMachineType(); break;
    default: vm.ApplyStandard(); break;
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
      case 0: vm.FrameTick(); break;
      case 1: Click(vm, input); break;
      default: DataEvent(vm, model, input); break;
    }
    FUZZ_CHECK(vm.Port().TallyText.size() <= kTallyCapacity);
    FUZZ_CHECK(vm.Port().PositionText.size() <= kPositionTextCapacity);
  }
  return 0;
}
