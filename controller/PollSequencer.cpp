#include "PollSequencer.h"

namespace {

struct Request {
  uint8_t cmd1;
  uint8_t cmd2;
  uint8_t data1;
};

constexpr Request kCurrentTime{0x61, 0x0C, 0x01};   // CURRENT TIME SENSE, LTC
constexpr Request kStatus{0x61, 0x20, 0x0F};        // STATUS SENSE, bytes 0..14
constexpr Request kEditPreset{0x61, 0x30, 0x0D};    // EDIT PRESET SENSE, 13 bytes
constexpr Request kDeviceType{0x00, 0x11, 0x00};    // DEVICE TYPE REQUEST, no data

constexpr Request kCycle[PollSequencer::kSteps] = {
    kCurrentTime, kStatus, kCurrentTime, kEditPreset,
    kCurrentTime, kStatus, kCurrentTime, kDeviceType};

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
  if (!port.CommandPending) {
    LoadRequest(port, port.PollStep);
    port.PollStep = (port.PollStep + 1) % kSteps;
  }
  return FrameTx(port);
}
