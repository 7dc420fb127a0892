// The built-in virtual null-modem cable (COM251 = end A, COM252 = end B), for use without
// hardware. Bytes written on one end arrive on the other; an end's DTR drives the other end's DSR
// and DCD, its RTS the other end's CTS. A closed end has its outputs off and drops what is sent
// to it, like a real cable with nothing plugged in. Each end can be open once.
#pragma once

#include "SerialDevice.h"

class NullModemCableEnd : public SerialDevice {
 public:
  // Opens end `end` (0 = A, 1 = B); EAlreadyOpen when it is open already.
  explicit NullModemCableEnd(int end);
  ~NullModemCableEnd() override;

  int Fd() const override { return fd_; }
  int ModemEventFd() const override { return modemEvent_; }
  void AckModemEvent() override;
  int LinePollMs() const override { return 0; }  // every change signals ModemEventFd
  ssize_t Read(uint8_t* buffer, std::size_t size) override;
  ssize_t Write(const uint8_t* data, std::size_t size) override;
  std::vector<std::string> Configure(const LineSettings&) override { return {}; }
  bool ReadLines(LineSample& sample) override;
  bool SetDTR(bool on) override;
  bool SetRTS(bool on) override;
  void FlushInput() override;
  bool HangupMeansLost() const override { return false; }

  // Whether end `end` is open now.
  static bool EndOpen(int end);

 private:
  int end_;
  int fd_ = -1;
  int modemEvent_ = -1;
  // The other end's output switch counts at this end's last reading of its lines.
  uint32_t seenDtrSwitches_ = 0;
  uint32_t seenRtsSwitches_ = 0;
};
