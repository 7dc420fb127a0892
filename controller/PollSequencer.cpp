#include "PollSequencer.h"

namespace {

struct Request {
  uint8_t cmd1;
  uint8_t cmd2;
  uint8_t data1;
};

using namespace sony;

constexpr Request kCurrentTime{Cmd1(kSenseRequest, 1), kCurrentTimeSense, kSenseLtc};
constexpr Request kStatus{Cmd1(kSenseRequest, 1), kStatusSense, 0x0F};  // S0..S14
constexpr Request kEditPreset{Cmd1(kSenseRequest, 1), kEditPresetSense, kEditPresetBytes};
constexpr Request kDeviceType{Cmd1(kSystemControl, 0), kDeviceTypeRequest, 0x00};

constexpr Request kCycle[PollSequencer::kSteps] = {kCurrentTime, kStatus,      kCurrentTime,
                                                   kEditPreset,  kCurrentTime, kStatus,
                                                   kCurrentTime, kDeviceType};

}  // namespace

void PollSequencer::LoadRequest(SonyPort& port, int step) {
  const Request& request = kCycle[step & (kSteps - 1)];
  port.Tx[0] = request.cmd1;
  port.Tx[1] = request.cmd2;
  port.Tx[2] = request.data1;
}

Bytes PollSequencer::Tick(SonyPort& port) {
  if (countdown_ > 0) --countdown_;
  if (countdown_ != 0) return {};
  countdown_ = kReload;
  awaiting_ = true;
  if (!port.CommandPending) {
    LoadRequest(port, port.PollStep);
    port.PollStep = (port.PollStep + 1) % kSteps;
  }
  return FrameTx(port);
}
