// The device behind an open port: a real tty, the far side of a "pty:" port, or an end of the
// virtual null-modem cable. The port's threads see only this interface.
#pragma once

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

  // Non-blocking descriptor polled for input (POLLIN) and output space (POLLOUT).
  virtual int Fd() const = 0;
  // Called once before the port's threads start: begin watching the input lines.
  virtual void WatchLines() {}
  // Readable when an input line may have changed; -1 when changes are found by polling only.
  virtual int ModemEventFd() const { return -1; }
  virtual void AckModemEvent() {}
  // How often the dispatcher reads the lines when nothing wakes it (at most 50 ms).
  virtual int LinePollMs() const { return 50; }

  // read()/write() results: bytes moved, or -1 with errno.
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
  // Whether POLLHUP or end of input means the device was removed.
  virtual bool HangupMeansLost() const = 0;

  // Devices serving one client after another (a pty: port). While no client is connected the
  // device is not polled (it would report a hang-up at once, over and over); PeerEventFd, when
  // not -1, becomes readable when a client may have come, else the reader looks every 50 ms.
  // Only then is PeerEventFd polled: TakeHangUps empties it while no client is connected.
  virtual int PeerEventFd() const { return -1; }
  virtual bool AwaitingClient() const { return false; }
  // Takes the device's poll result; 1 when the last client has just left, 0 otherwise. A
  // departure empties the device's queues both ways, so nothing of one client reaches the next.
  virtual int TakeHangUps(short) { return 0; }
  // Bytes thrown away because no client was there to take them.
  virtual uint64_t DroppedBytes() const { return 0; }
};

// Whether the devices accept `baud` (the standard termios rates).
bool SerialBaudSupported(int32_t baud);

// Opens the device of `target`, raising EBadId, EAlreadyOpen or EInOutError.
std::unique_ptr<SerialDevice> OpenSerialDevice(const PortTarget& target);

// Whether the prompt should list `target`: it exists and can be opened or is in use.
bool SerialDeviceSelectable(const PortTarget& target);
