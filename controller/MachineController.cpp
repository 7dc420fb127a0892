#include "MachineController.h"

#include "ControllerReplies.h"
#include "TimecodeCalls.h"
#include "TimecodeMask.h"
#include "TrackArming.h"

namespace {
using namespace sony;
constexpr uint8_t kEditOnBody[] = {Cmd1(kTransportControl, 0), kEditOn};
const Bytes kEditOnMessage = {kEditOnBody[0], kEditOnBody[1], Checksum(kEditOnBody, 2)};
}  // namespace

MachineController::MachineController() {
  port_.Remote = true;  // the machine counts as remote until its status says otherwise
}

std::vector<Bytes> MachineController::FrameTick(bool portBOpen) {
  std::vector<Bytes> writes;
  if (portBOpen) {
    const bool unanswered = poller_.AwaitingReply();
    Bytes poll = poller_.Tick(port_);
    if (!poll.empty()) {
      if (unanswered) health_.TimedOut();
      health_.Requested();
      writes.push_back(std::move(poll));
    }
  } else {
    poller_.PortClosed();
    health_.PortClosed();
  }
  // A pending EDIT ON goes out only on an open port: writing to a closed one can only fail.
  if (port_.EditOnPending) {
    port_.EditOnPending = false;
    if (portBOpen) writes.push_back(kEditOnMessage);
  }
  return writes;
}

MachineController::RxOutcome MachineController::SerialBTriggerAvail(std::span<const uint8_t> bytes,
                                                                    Micros at) {
  if (!ReceiveBytes(port_, bytes)) return RxOutcome::Discarded;
  if (!ExtractMessage(port_)) return RxOutcome::NoMessage;
  poller_.ReplyReceived();
  health_.Replied(at);
  if (port_.SkipReplies > 0) {
    --port_.SkipReplies;
    return RxOutcome::Skipped;
  }
  switch (port_.Rx.Cmd1() >> 4) {
    case 0x1:
      controller_replies::ShowControllerIdent(port_, panel_);
      break;
    case 0x7:
      controller_replies::ShowControllerReply(port_, panel_);
      break;
    default:
      break;
  }
  return RxOutcome::Handled;
}

LinkHealth MachineController::Health() const {
  LinkHealth health = health_;
  health.checksumErrors = port_.ChecksumErrors;
  return health;
}

bool MachineController::ShowChecksumErrors() {
  if (port_.ChecksumErrors == panel_.csumbTag) return false;
  panel_.csumbTag = port_.ChecksumErrors;
  panel_.csumb = HexByte(port_.ChecksumErrors);
  return true;
}

void MachineController::Queue(uint8_t cmd1, uint8_t cmd2) {
  port_.Tx[0] = cmd1;
  port_.Tx[1] = cmd2;
  port_.CommandPending = true;
}

void MachineController::kplayClick(int tag) {
  Queue(Cmd1(kTransportControl, 0), static_cast<uint8_t>(tag & 0xFF));
}

void MachineController::krvsplayClick() {
  Queue(Cmd1(kTransportControl, 1), kVarRev);
  port_.Tx[2] = kPlaySpeedByte;
}

// The machine must get the digits as typed. The library reaches the time bytes through a frame
// count, so the text is read at 30 frames per second (standard 1), which holds every entry the
// keypad accepts; at 25 (standard 0, a non-drop machine's flag) frames 25..29 would locate to
// midnight instead.
void MachineController::QueueGoto(std::string_view entry) {
  constexpr uint8_t kWidestLabels = 1;
  Queue(Cmd1(kTransportControl, kTimeBytes), kCueUpWithData);
  timecode_calls::TextToSony(entry, port_.Tx.bytes.data(), 2, kWidestLabels);
}

void MachineController::kgotoClick(int keypadResult, std::string_view keypadEntry) {
  if (keypadResult != KeypadU::kModalOk) return;
  QueueGoto(keypadEntry);
}

void MachineController::kgotoClick(const KeypadU& keypad) {
  kgotoClick(keypad.ModalResult(), keypad.EntryText());
}

void MachineController::GotoClipboard1Click(std::string_view clipboardText) {
  QueueGoto(timecode_mask::FromClipboard(clipboardText));
}

void MachineController::ZQVersion1Click() {
  panel_.statusText.clear();
  Queue(Cmd1(kSystemControl, 0), kVersionRequest);
}

void MachineController::kr1Click(int button) { track_arming::kr1Click(button, port_, panel_); }

void MachineController::ka1Click(FunctionKey key) { track_arming::ka1Click(key, port_, panel_); }

void MachineController::kbankClick() { track_arming::kbankClick(port_, panel_); }

void MachineController::keditonClick(bool checked) { panel_.kediton = checked; }
