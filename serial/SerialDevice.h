// The device behind an open port: a real tty, the far side of a "pty:" port, an end of the
// virtual null-modem cable, or a network connection. The port sees only this interface.
#pragma once

#include <poll.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "PortMap.h"
#include "SerialPort.h"

struct LineSettings {
  int32_t baud = 19200;
  TParity parity = pNone;
  int dataBits = 8;
  int stopBits = 1;
  uint8_t hwFlow = 0;
  TSWFlowOptions swFlow = swfNone;
  uint8_t xOn = 17;
  uint8_t xOff = 19;
};

// One reading of the input lines: their states (kModemCTS/DSR/RI/DCD) and the lines the driver
// saw change since the previous reading even if they are back where they were.
struct LineSample {
  uint8_t lines = 0;
  uint8_t toggled = 0;
};

class SerialDevice {
 public:
  virtual ~SerialDevice() = default;

  // --- Descriptors: what the owner's loop watches -------------------------------------------
  // Every member is called on the owner's loop thread, one call at a time. The port watches:
  //   Fd()            input and hang-up, and output space only while output is queued; not
  //                   while AwaitingClient() holds (it may then be -1);
  //   ModemEventFd()  input (a line may have changed), when not -1;
  //   PeerEventFd()   PeerEvents() while AwaitingClient() holds, when not -1; besides it
  //                   TakeHangUps is called every PeerPollMs() while awaiting.
  // A device may change any of them inside any call the port makes (a reconnect, a client
  // accepted on a listening socket, the last client leaving). After each call the port compares
  // Fd(), PeerEventFd(), AwaitingClient() and DescriptorGeneration() with what it watches and
  // watches anew whatever changed, before the loop waits again; the device tells nobody.
  // Closing a descriptor the port watches is safe inside such a call. A device that replaces a
  // descriptor by another that may get the same number calls DescriptorsChanged() (the number
  // alone would not tell the port that the loop must watch the new one).
  virtual int Fd() const = 0;
  uint64_t DescriptorGeneration() const { return generation_; }

  // --- Modem lines ----------------------------------------------------------------------------
  // Called once when the port opens: begin watching the input lines.
  virtual void WatchLines() {}
  // Readable when an input line may have changed; -1 when changes are found by reading only.
  virtual int ModemEventFd() const { return -1; }
  virtual void AckModemEvent() {}
  // How often the port reads the lines on a loop timer (at most 50 ms); 0 when ModemEventFd
  // tells every change (or there are no lines) and no timer is needed.
  virtual int LinePollMs() const { return 50; }

  // --- Data -----------------------------------------------------------------------------------
  // read()/write() results: bytes moved, or -1 with errno. Both are non-blocking: EAGAIN when
  // nothing can move now. Write may take part of `data`; the port keeps the rest and offers it
  // again when Fd() has room. On a device whose HangupMeansLost() is false, a read of 0 or EIO
  // means its peer left: the port then calls TakeHangUps(POLLHUP) at once, and a write's EIO is
  // offered again after PeerPollMs().
  virtual ssize_t Read(uint8_t* buffer, std::size_t size) = 0;
  virtual ssize_t Write(const uint8_t* data, std::size_t size) = 0;

  // Applies the settings; returns one text per setting the device did not keep.
  virtual std::vector<std::string> Configure(const LineSettings& settings) = 0;
  // False when the device has gone away.
  virtual bool ReadLines(LineSample& sample) = 0;
  // Switch an output; false when the driver refused (the line is as it was).
  virtual bool SetDTR(bool on) = 0;
  virtual bool SetRTS(bool on) = 0;
  virtual void FlushInput() = 0;
  // Puts the line back as it was found at open (termios, outputs), before the device is let go.
  virtual void Restore() {}
  // Notes for the user gathered since the last call: refused driver calls (each kind once), a
  // latency timer that stays high.
  virtual std::vector<std::string> TakeNotes() { return {}; }
  // Whether notes wait that the user should see now, not at the next call that takes notes (a
  // network port's loss and return).
  virtual bool NotesWaiting() const { return false; }
  // Whether a hang-up (EPOLLHUP, end of input, EIO) means the device was removed: the port
  // then reports the loss and closes.
  virtual bool HangupMeansLost() const = 0;

  // --- Peers that come and go -----------------------------------------------------------------
  // Devices serving one client after another (a pty: port; a listening or reconnecting network
  // port). While no client is connected Fd() is not watched (a pseudo-terminal would report a
  // hang-up at once, over and over); PeerEventFd() is, for PeerEvents() (POLLIN, POLLOUT bits).
  virtual bool AwaitingClient() const { return false; }
  virtual int PeerEventFd() const { return -1; }
  virtual short PeerEvents() const { return POLLIN; }
  virtual int PeerPollMs() const { return 50; }
  // Where the device takes clients and notices departures. Called with Fd()'s events before its
  // input is read; while awaiting, on a PeerEventFd() event or the PeerPollMs() timer, with the
  // events of a zero-time poll of Fd() (0 when it is -1). Returns 1 when the last client has
  // just left, 0 otherwise. A departure empties the device's queues both ways, so nothing of one
  // client reaches the next.
  virtual int TakeHangUps(short) { return 0; }
  // Bytes thrown away because no client was there to take them.
  virtual uint64_t DroppedBytes() const { return 0; }

 protected:
  void DescriptorsChanged() { ++generation_; }

 private:
  uint64_t generation_ = 0;
};

// Whether the devices accept `baud` (the standard termios rates).
bool SerialBaudSupported(int32_t baud);

// Opens the device of `target`, raising EBadId, EAlreadyOpen or EInOutError.
std::unique_ptr<SerialDevice> OpenSerialDevice(const PortTarget& target);

// Whether the prompt should list `target`: it exists and can be opened or is in use.
bool SerialDeviceSelectable(const PortTarget& target);
