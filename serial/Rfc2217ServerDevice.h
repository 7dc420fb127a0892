// An "rfc2217-listen:[ADDR:]PORT" port: an RFC 2217 server for one client at a time, so a
// remote program can use the port's owner as a serial port.
//
// The lines are those of a null-modem cable whose far end is the client: the client's DTR is the
// port's DSR and DCD, its RTS the port's CTS; the port's DTR and RTS reach the client as DSR/DCD
// and CTS in NOTIFY-MODEMSTATE, sent when they change. Without a client every input line is off.
#pragma once

#include "ComPortSession.h"
#include "NetDevice.h"

class Rfc2217ServerDevice : public NetDevice {
 public:
  explicit Rfc2217ServerDevice(const PortTarget& target);

  bool SetDTR(bool on) override;
  bool SetRTS(bool on) override;

 protected:
  void OnConnected() override;
  void OnDisconnected() override;
  void Decode(const uint8_t* raw, std::size_t size, std::vector<uint8_t>& data) override;
  void Encode(const uint8_t* data, std::size_t size, std::vector<uint8_t>& wire) override;
  void Lines(LineSample& sample) override;

 private:
  void TellLines();

  ComPortSession session_{ComPortSession::Role::Server};
  bool dtr_ = true;
  bool rts_ = true;
  bool clientDtr_ = false;
  bool clientRts_ = false;
  uint32_t dtrSwitchesSeen_ = 0;
  uint32_t rtsSwitchesSeen_ = 0;
};
