#include "Rfc2217ServerDevice.h"

Rfc2217ServerDevice::Rfc2217ServerDevice(const PortTarget& target) : NetDevice(target) {}

void Rfc2217ServerDevice::TellLines() {
  const uint8_t lines = (dtr_ ? kModemDSR | kModemDCD : 0) | (rts_ ? kModemCTS : 0);
  session_.SetModemLines(lines);
  SendWire(session_.Outgoing());
}

void Rfc2217ServerDevice::OnConnected() {
  session_.Restart();
  TellLines();
}

void Rfc2217ServerDevice::OnDisconnected() { session_.Outgoing().clear(); }

bool Rfc2217ServerDevice::SetDTR(bool on) {
  dtr_ = on;
  TellLines();
  return true;
}

bool Rfc2217ServerDevice::SetRTS(bool on) {
  rts_ = on;
  TellLines();
  return true;
}

void Rfc2217ServerDevice::Decode(const uint8_t* raw, std::size_t size, std::vector<uint8_t>& data) {
  const uint32_t dtrBefore = session_.DtrSwitches();
  const uint32_t rtsBefore = session_.RtsSwitches();
  session_.Receive(raw, size, data);
  SendWire(session_.Outgoing());
  if (session_.DtrSwitches() != dtrBefore || session_.RtsSwitches() != rtsBefore) SignalLines();
}

void Rfc2217ServerDevice::Encode(const uint8_t* data, std::size_t size,
                                 std::vector<uint8_t>& wire) {
  telnet::Escape(data, size, wire);
}

// A switch and back between two readings still counts as a change (the far end of the virtual
// cable does the same), so a short pulse from the client is not lost.
void Rfc2217ServerDevice::Lines(LineSample& sample) {
  const bool connected = IsConnected();
  const bool dtr = connected && session_.ClientDtr();
  const bool rts = connected && session_.ClientRts();
  sample.lines = static_cast<uint8_t>((dtr ? kModemDSR | kModemDCD : 0) | (rts ? kModemCTS : 0));
  sample.toggled = 0;
  if (session_.DtrSwitches() != dtrSwitchesSeen_ || dtr != clientDtr_) {
    sample.toggled |= kModemDSR | kModemDCD;
  }
  if (session_.RtsSwitches() != rtsSwitchesSeen_ || rts != clientRts_) sample.toggled |= kModemCTS;
  dtrSwitchesSeen_ = session_.DtrSwitches();
  rtsSwitchesSeen_ = session_.RtsSwitches();
  clientDtr_ = dtr;
  clientRts_ = rts;
}
