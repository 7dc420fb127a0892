// A terminal device opened by path: a serial driver's tty, or any tty an override names.
// Exclusive use: TIOCEXCL (refused to other openers except privileged ones) plus a flock that
// every opener in this family honours.
#pragma once

#include "SerialDevice.h"

#include <linux/serial.h>

class TtyDevice : public SerialDevice {
 public:
  // Opens and locks `path`, raising EBadId, EAlreadyOpen or EInOutError.
  explicit TtyDevice(const std::string& path);
  ~TtyDevice() override;

  int Fd() const override { return fd_; }
  // Drivers that count line edges are read often, so each edge of a sync pulse is seen promptly.
  int LinePollMs() const override { return haveCounts_ ? 10 : 50; }
  ssize_t Read(uint8_t* buffer, std::size_t size) override;
  ssize_t Write(const uint8_t* data, std::size_t size) override;
  std::vector<std::string> Configure(const LineSettings& settings) override;
  bool ReadLines(LineSample& sample) override;
  void SetDTR(bool on) override;
  void SetRTS(bool on) override;
  void FlushInput() override;
  bool HangupMeansLost() const override { return true; }

  // Whether `path` can be opened now or is held by someone else; false when it is missing or
  // unusable (a serial driver's node without hardware behind it fails to open).
  static bool Selectable(const std::string& path);

 protected:
  // Takes over an open descriptor (used by the pty: port for its master side).
  explicit TtyDevice(int fd);
  int fd_ = -1;

 private:
  void SetLine(int bit, bool on);
  bool haveCounts_ = false;
  serial_icounter_struct counts_{};
};
