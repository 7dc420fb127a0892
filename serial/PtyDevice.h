// A "pty:<path>" port: a pseudo-terminal whose far side is linked at <path>, so any program can
// open <path> as a serial port. The far side is configured through the master, so it is raw (no
// echo, no line editing) for every client.
//
// The port outlives its clients: a client closing <path> does not end the port, and the next
// program that opens <path> is served. The master hangs up while no client has the far side
// open; the port takes that as "nobody connected": the moment the last client leaves, both
// directions are emptied, and until the next one comes writes are dropped (and counted) instead
// of piling up for whoever opens <path> next. The link is removed when the port closes.
//
// A live port holds an abstract socket named after its user and its link path, so a link whose
// socket is free was left by a port that no longer exists (a crash, kill -9) and is replaced. A
// name held by another user's socket (SO_PEERCRED) is never taken for a port of ours: the port
// passes over it to an alternate name.
#pragma once

#include "TtyDevice.h"

class PtyDevice : public TtyDevice {
 public:
  // Creates the pseudo-terminal and the link; EBadId when <path>'s folder does not exist,
  // EAlreadyOpen when <path> is a live port or something other than a link, EInOutError
  // otherwise.
  explicit PtyDevice(const std::string& linkPath);
  ~PtyDevice() override;

  // Sets the far side raw; says nothing of parity, bits or speed a pseudo-terminal drops: it has
  // no line for them to matter on.
  std::vector<std::string> Configure(const LineSettings& settings) override;
  ssize_t Write(const uint8_t* data, std::size_t size) override;
  bool ReadLines(LineSample& sample) override;
  int LinePollMs() const override { return 0; }  // no lines to read
  bool SetDTR(bool) override { return true; }    // no lines: nothing to refuse
  bool SetRTS(bool) override { return true; }
  bool HangupMeansLost() const override { return false; }
  int PeerEventFd() const override { return openWatch_; }
  bool AwaitingClient() const override { return !connected_; }
  int TakeHangUps(short revents) override;
  uint64_t DroppedBytes() const override { return dropped_; }

  // Whether the prompt should list `linkPath`: its folder exists (a live link counts as in use).
  static bool Selectable(const std::string& linkPath);
  // Whether a live port serves `linkPath` now.
  static bool LinkInUse(const std::string& linkPath);
  // The abstract socket name (first byte NUL) `index` of a link path with its folder resolved.
  static std::string LivenessName(const std::string& canonicalPath, int index);

 private:
  void ClaimLinkName();
  void MakeLink();
  void WatchOpens();
  void FlushBothWays();
  std::string linkPath_;
  std::string farName_;
  int liveness_ = -1;
  int openWatch_ = -1;
  bool connected_ = false;
  uint64_t dropped_ = 0;
};
