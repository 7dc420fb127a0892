// The controller of port B: fuzzed replies (raw or framed), frame ticks and every panel click.
// Every write it asks for is one well-framed message; a data event is refused exactly when the
// burst is over 30 bytes, and takes at most the one message the queue model takes.
#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzFrames.h"
#include "MachineController.h"

namespace {

using Outcome = MachineController::RxOutcome;

// Mostly a framed reply (so the controller gets past its checksum), sometimes raw bytes.
Bytes Reply(FuzzedDataProvider& input) {
  if (input.ConsumeIntegralInRange(0, 3) == 0)
    return input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 33));
  Bytes message;
  message.push_back(
      input.PickValueInArray<uint8_t>(
          {0x10, 0x11, 0x12, 0x13, 0x14, 0x70, 0x71, 0x74, 0x78, 0x7A, 0x7F, 0x9F}) |
      static_cast<uint8_t>(input.ConsumeBool() ? input.ConsumeIntegralInRange(0, 15) : 0));
  message.push_back(
      input.PickValueInArray<uint8_t>({0x01, 0x11, 0x12, 0xB3, 0x04, 0x05, 0x06, 0x07, 0x14, 0x20,
                                       0x30, input.ConsumeIntegral<uint8_t>()}));
  const std::size_t count = message[0] & 0x0F;
  for (std::size_t i = 0; i < count; ++i) message.push_back(input.ConsumeIntegral<uint8_t>());
  message.push_back(SumOf(message));
  return message;
}

void DataEvent(MachineController& controller, ReceiveModel& model, FuzzedDataProvider& input) {
  const Bytes bytes = Reply(input);
  const Outcome outcome = controller.SerialBTriggerAvail(bytes);
  FUZZ_CHECK((outcome == Outcome::Discarded) == !model.Receive(bytes));
  if (outcome == Outcome::Discarded) return;
  const bool taken = !model.Extract().empty();
  FUZZ_CHECK(taken == (outcome == Outcome::Skipped || outcome == Outcome::Handled));
  FUZZ_CHECK(controller.Port().ChecksumErrors == model.Errors());
}

void Click(MachineController& controller, FuzzedDataProvider& input) {
  switch (input.ConsumeIntegralInRange(0, 12)) {
    case 0:
      controller.kplayClick(
          input.PickValueInArray({MachineController::kTagStop, MachineController::kTagPlay,
                                  MachineController::kTagFastForward, MachineController::kTagRewind,
                                  MachineController::kTagReversePlay,
                                  MachineController::kTagEditOff, MachineController::kTagEditOn}));
      break;
    case 1:
      controller.krvsplayClick();
      break;
    case 2:
      controller.kgotoClick(input.ConsumeIntegralInRange(0, 3),
                            input.ConsumeRandomLengthString(16));
      break;
    case 3: {
      KeypadU keypad;
      keypad.PasteEntry(input.ConsumeRandomLengthString(16));
      keypad.kokClick();
      controller.kgotoClick(keypad);
      break;
    }
    case 4:
      controller.GotoClipboard1Click(input.ConsumeRandomLengthString(24));
      break;
    case 5:
      controller.ZQVersion1Click();
      break;
    case 6:
      controller.kr1Click(input.ConsumeIntegralInRange(-1, 26));
      break;
    case 7:
      controller.ka1Click(static_cast<FunctionKey>(input.ConsumeIntegralInRange(0, 6)));
      break;
    case 8:
      controller.kbankClick();
      break;
    case 9:
      controller.keditonClick(input.ConsumeBool());
      break;
    case 10:
      controller.ShowChecksumErrors();
      break;
    default:
      FUZZ_CHECK(controller.bpozClick() == controller.Panel().bpoz);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  MachineController controller;
  ReceiveModel model;
  while (input.remaining_bytes() > 0) {
    switch (input.ConsumeIntegralInRange(0, 3)) {
      case 0: {
        const bool open = input.ConsumeIntegralInRange(0, 7) != 0;
        const auto writes = controller.FrameTick(open);
        if (!open) FUZZ_CHECK(writes.empty());
        for (const Bytes& write : writes) FUZZ_CHECK(WellFramed(write));
        break;
      }
      case 1:
        Click(controller, input);
        break;
      default:
        DataEvent(controller, model, input);
        break;
    }
  }
  return 0;
}
