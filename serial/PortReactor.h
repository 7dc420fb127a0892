// The engine of one open port on its owner's loop: the device, the rings, the modem status and
// the watches that drive them. No threads: everything runs on the owner thread.
//
//   device readable  read into the receive ring, then the data event at once; a vanished device
//                    (EIO, ENXIO, a hang-up of a real tty) or a client leaving a pty: port is
//                    noticed here.
//   device writable  watched only while output is queued: what a write could not place at once
//                    waits in the output ring (OutSize bytes) and goes out from here.
//   line changes     the device's ModemEventFd, else a timer of the device's period (50 ms,
//                    10 ms on drivers that count line edges); fires the modem triggers.
//   awaiting client  a pty: port without a client watches its PeerEventFd and a timer instead.
//
// Events reach the owner in this order, one at a time: notes the device wants told now (a
// network port's loss and return), a client's departure, data, then modem triggers. An event
// never runs beside another of the same port: what comes while a handler runs a nested loop (an
// error box) is read, and delivered as soon as that handler returns.
// Stop releases the device at once, also from inside one of the port's own events.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ModemStatus.h"
#include "OutputRing.h"
#include "OwnerLoop.h"
#include "ReceiveRing.h"
#include "SerialDevice.h"

class SerialTriggers;

class PortReactor : public std::enable_shared_from_this<PortReactor> {
 public:
  // Calls made on the owner thread for the engine's events.
  struct Events {
    std::function<void(uint16_t count)> data;
    std::function<void(uint16_t handle)> modem;
    std::function<void(const std::string& message)> lost;
    std::function<void()> hangUp;  // the last client of a pty: port left
    std::function<void(const std::vector<std::string>& notes)> notes;  // NotesWaiting's
  };

  PortReactor(std::unique_ptr<SerialDevice> device, std::shared_ptr<OwnerLoop> loop,
              std::shared_ptr<SerialTriggers> triggers, std::size_t outSize, std::string portName);
  ~PortReactor();

  // Reads the lines once (change bits clear) and starts watching the device.
  void Start(Events events);
  // Stops watching and releases the device. Safe from inside one of this engine's events.
  void Stop();
  bool Stopped() const { return killed_; }

  std::vector<std::string> Configure(const LineSettings& settings);
  // Writes at once what the device takes and queues the rest; false (nothing written) when the
  // rest does not fit the output ring.
  bool Write(const uint8_t* data, std::size_t size);
  ReceiveRing& Input() { return input_; }
  void Consumed(std::size_t count);
  void DiscardInput();
  ModemStatus& Status() { return status_; }
  // Reads the input lines into the status byte now; false when the device has gone.
  bool RefreshLines();
  bool SetDTR(bool on);  // false when the driver refused
  bool SetRTS(bool on);
  uint64_t DroppedBytes() const;
  // The device's notes for the user; after Stop, those of putting the line back.
  std::vector<std::string> TakeNotes();

 private:
  void OnDevice(short revents);
  void OnPeer();
  void OnLines();
  bool ReadInput(short revents);
  void FlushOutput();
  bool WriteFailed(int error);
  void TakeHangUps(short revents);
  void SyncWatches();
  void WatchDevice(int fd, short events);
  void WatchPeer(int fd, short events);
  void Quiesce();
  void Dispatch();
  bool FireTriggers();
  void ReportLost(const std::string& reason);
  void DeliverLost();

  std::unique_ptr<SerialDevice> device_;
  std::shared_ptr<OwnerLoop> loop_;
  std::shared_ptr<SerialTriggers> triggers_;
  std::string portName_;
  Events events_;
  ReceiveRing input_;
  OutputRing output_;
  ModemStatus status_;
  std::vector<std::string> closingNotes_;

  // What the loop watches now, so a change of the device's descriptors is seen.
  OwnerLoop::Id deviceWatch_ = 0;
  OwnerLoop::Id peerWatch_ = 0;
  OwnerLoop::Id modemWatch_ = 0;
  OwnerLoop::Id lineTimer_ = 0;
  OwnerLoop::Id peerTimer_ = 0;
  OwnerLoop::Id writeRetry_ = 0;
  int watchedFd_ = -1;
  short watchedEvents_ = 0;
  int watchedPeerFd_ = -1;
  short watchedPeerEvents_ = 0;
  uint64_t watchedGeneration_ = 0;

  bool killed_ = false;
  bool dispatching_ = false;  // an event of this port runs now
  int pendingHangUps_ = 0;    // client departures not yet told to the owner
  bool lost_ = false;
  std::string lostReason_;
};
