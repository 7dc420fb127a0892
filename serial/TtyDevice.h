// A terminal device opened by path: a serial driver's tty, or any tty an override names.
// Exclusive use: TIOCEXCL (refused to other openers except privileged ones) plus a flock that
// every opener in this family honours.
//
// Line changes wake the port at once where the driver can wait for them (TIOCMIWAIT, on a thread
// of the device that close interrupts with a signal); elsewhere (a pseudo-terminal answers
// EINVAL or ENOTTY) the lines are polled. Edge counts (TIOCGICOUNT) still make sure a short
// pulse between two readings is seen.
//
// Opening asks the driver for low latency (ASYNC_LOW_LATENCY) and lowers a USB adapter's latency
// timer to 1 ms where it can; it saves the termios and the DTR/RTS outputs, and Restore puts
// them back. Every driver call is checked: a refused one becomes a note (once per kind).
#pragma once

#include <linux/serial.h>
#include <termios.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

#include "SerialDevice.h"

class TtyDevice : public SerialDevice {
 public:
  // Opens and locks `path`, raising EBadId, EAlreadyOpen or EInOutError.
  explicit TtyDevice(const std::string& path);
  ~TtyDevice() override;

  int Fd() const override { return fd_; }
  void WatchLines() override;
  int ModemEventFd() const override { return lineEvent_; }
  void AckModemEvent() override;
  // Whether a thread waits for line changes now (false: polling only).
  bool WaitsForLineChanges() const { return waiting_; }
  // Drivers that count line edges are read often, so each edge of a sync pulse is seen promptly.
  int LinePollMs() const override { return haveCounts_ ? 10 : 50; }
  ssize_t Read(uint8_t* buffer, std::size_t size) override;
  ssize_t Write(const uint8_t* data, std::size_t size) override;
  std::vector<std::string> Configure(const LineSettings& settings) override;
  bool ReadLines(LineSample& sample) override;
  bool SetDTR(bool on) override;
  bool SetRTS(bool on) override;
  void FlushInput() override;
  bool HangupMeansLost() const override { return true; }
  void Restore() override;
  std::vector<std::string> TakeNotes() override;

  // Whether `path` is a terminal device, free or held: false when it is missing, no tty, or a
  // serial driver's slot without hardware behind it. Never opens the device.
  static bool Selectable(const std::string& path);

 protected:
  // Takes over an open descriptor (used by the pty: port for its master side).
  explicit TtyDevice(int fd);
  // The ioctl of the calls made while open; tests put a refusing driver here.
  virtual int Control(unsigned long request, void* argument);
  int fd_ = -1;

 private:
  void LineWaitLoop();
  void StopWatchingLines();
  bool SetLine(int bit, bool on);
  void SaveLine(const termios& tio);
  void AskLowLatency();
  // Notes a refused driver call once per `what`; a vanished device is the reader's to report.
  void Refused(const std::string& what, int error);
  std::string path_;
  int lineEvent_ = -1;
  std::thread lineWaiter_;
  std::atomic<bool> stopWaiting_{false};
  std::atomic<bool> waiting_{false};
  bool haveCounts_ = false;
  serial_icounter_struct counts_{};
  bool saved_ = false;
  termios savedTermios_{};
  int savedOutputs_ = 0;
  std::mutex notesMutex_;
  std::vector<std::string> notes_;
  std::set<std::string> refused_;
};
