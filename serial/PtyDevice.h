// A "pty:<path>" port: a pseudo-terminal whose far side is linked at <path>, so any program can
// open <path> as a serial port. The far side starts in raw mode (no echo, no line editing).
//
// The port outlives its clients: it keeps a descriptor of the far side open itself, so a client
// closing <path> neither hangs up the pseudo-terminal nor ends the port, and the next program that
// opens <path> is served. The link is removed when the port closes.
#pragma once

#include "TtyDevice.h"

class PtyDevice : public TtyDevice {
 public:
  // Creates the pseudo-terminal and the link; EBadId when <path>'s folder does not exist,
  // EAlreadyOpen when <path> is a live port of another process, EInOutError otherwise.
  explicit PtyDevice(const std::string& linkPath);
  ~PtyDevice() override;

  bool ReadLines(LineSample& sample) override;
  void SetDTR(bool) override {}
  void SetRTS(bool) override {}
  bool HangupMeansLost() const override { return false; }

  // Whether the prompt should list `linkPath`: its folder exists (a live link counts as in use).
  static bool Selectable(const std::string& linkPath);

 private:
  void MakeLink();
  std::string linkPath_;
  std::string farName_;
  int farFd_ = -1;
};
