// The engine of one open port: the device, the rings, the modem status and the three threads.
//
//   reader      waits on the device with poll() and fills the receive ring; notices a vanished
//               device (EIO, ENXIO, hang-up on a real tty) and a client leaving a pty: port.
//   dispatcher  wakes on new data, on a line change the device signals, or every 50 ms (10 ms on
//               drivers that count line edges); refreshes the modem status, fires the triggers
//               and hands events to the owner through the invoker, one at a time, waiting up to
//               3000 ms for each. A handler that takes longer does not hold it: it goes on
//               reading the lines, and what comes meanwhile (data in the ring, fired triggers)
//               reaches the owner as soon as that handler returns, never beside it.
//   writer      drains the output ring into the device.
//
// The reply path's shortcut: when nothing else is being handed over, the reader hands a data
// event to the owner itself, so a request reaches its handler after one hand-over instead of
// two. Modem events, hang-ups and a device's loss always go through the dispatcher.
//
// Stop never waits on the owner thread: a dispatcher caught inside an event (the port is being
// closed from that event, or the owner is busy) is let go and ends by itself when the event
// returns; the device is released at once either way.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "EventInvoker.h"
#include "ModemStatus.h"
#include "OutputRing.h"
#include "ReceiveRing.h"
#include "SerialDevice.h"
#include "WakeEvent.h"

class SerialTriggers;

class SerialDispatch : public std::enable_shared_from_this<SerialDispatch> {
 public:
  static constexpr int kEventTimeoutMs = 3000;

  // Calls made on the owner thread for the engine's events.
  struct Events {
    std::function<void(uint16_t count)> data;
    std::function<void(uint16_t handle)> modem;
    std::function<void(const std::string& message)> lost;
    std::function<void()> hangUp;  // the last client of a pty: port left
  };

  SerialDispatch(std::unique_ptr<SerialDevice> device, EventInvokerPtr invoker,
                 std::shared_ptr<SerialTriggers> triggers, std::size_t outSize,
                 std::string portName);
  ~SerialDispatch();

  // Reads the lines once (change bits clear) and starts the threads.
  void Start(Events events);
  // Ends the threads and releases the device. Safe from inside one of this engine's events.
  void Stop();
  bool Stopped() const { return killed_.load(); }

  // Owner thread.
  std::vector<std::string> Configure(const LineSettings& settings);
  bool Write(const uint8_t* data, std::size_t size);
  ReceiveRing& Input() { return input_; }
  void Consumed(std::size_t count);
  void DiscardInput();
  ModemStatus& Status() { return status_; }
  // Reads the input lines into the status byte now (the owner's line reads and arming do, so
  // they see the lines as they are, not as the dispatcher last saw them). False when the device
  // has gone.
  bool RefreshLines();
  bool SetDTR(bool on);  // false when the driver refused
  bool SetRTS(bool on);
  uint64_t DroppedBytes();
  // The device's notes for the user; after Stop, those of putting the line back.
  std::vector<std::string> TakeNotes();

 private:
  struct Ticket;
  void ReaderLoop();
  void WriterLoop();
  void DispatchLoop();
  bool ReadInput(short revents);
  bool HandDataOver();
  bool DeliverNewData();
  void TakeHangUps(short revents);
  bool Deliver(const std::function<void()>& event);
  bool LateHandlerRunning();  // under stateMutex_
  void ReportLost(const std::string& reason);
  void DeliverLost();

  std::mutex deviceMutex_;  // the device may be released while the dispatcher lingers
  std::unique_ptr<SerialDevice> device_;
  std::vector<std::string> closingNotes_;
  int deviceFd_;
  EventInvokerPtr invoker_;
  std::shared_ptr<SerialTriggers> triggers_;
  std::string portName_;
  Events events_;
  ReceiveRing input_;
  OutputRing output_;
  ModemStatus status_;
  WakeEvent readerWake_;
  WakeEvent writerWake_;
  WakeEvent dispatchWake_;
  int pollIntervalMs_ = 50;

  std::mutex handOver_;  // held by the thread handing events to the owner now
  std::atomic<bool> dispatcherDeferred_{false};  // the dispatcher found handOver_ taken

  std::mutex stateMutex_;
  std::thread::id deliveringThread_;  // the thread inside the invoker while inEvent_
  std::atomic<bool> killed_{false};
  std::atomic<int> pendingHangUps_{0};  // client departures not yet told to the owner
  bool inEvent_ = false;
  std::shared_ptr<Ticket> lateTicket_;  // a handler still running past its time-out
  std::string lostReason_;
  bool lost_ = false;

  std::thread reader_;
  std::thread dispatcher_;
  std::thread writer_;
};
