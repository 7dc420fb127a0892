// TSerialPort: one serial port as the program uses it.
//
// Owner thread: every public member is called on one thread, the owner's: the one that pumps the
// OwnerLoop given to the constructor (the engine host's thread in the program, the test's thread
// in tests). Events are delivered on that thread too, from inside the loop, one at a time.
//
// While open, the port adds no thread: the loop watches the device's descriptor, reads what
// arrives into an 8192-byte receive ring and raises the data event in the same wake-up; a write
// goes straight to the device, and what it cannot take at once waits in an output ring of
// OutSize bytes until the device has room. The modem triggers are checked whenever the lines may
// have changed (the device signals it, or a timer every 50 ms). A real tty adds one small thread
// waiting for line changes, which only wakes the loop.
//
// ComNumber selects the device through PortMap (real ttys, SELKIE_COM<n> overrides, the virtual
// null-modem cable on COM251/COM252, "pty:<path>" ports).
//
// Errors are raised as ESerialException subclasses (SerialErrors.h).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "SerialErrors.h"
#include "SerialSelect.h"

class OwnerLoop;
class PortReactor;
class SerialTriggers;

enum TParity { pNone, pOdd, pEven, pMark, pSpace };
enum TSWFlowOptions { swfNone, swfReceive, swfTransmit, swfBoth };
enum TPortState { psClosed = 0, psShuttingDown = 1, psOpen = 2 };

// HWFlowOptions bits. Linux flow control pairs RTS with CTS: hwfUseRTS together with
// hwfRequireCTS turns on CRTSCTS; the DTR/DSR pair is not available and only keeps DTR from being
// switched by the program.
enum THWFlowOption : uint8_t {
  hwfUseDTR = 0x01,
  hwfUseRTS = 0x02,
  hwfRequireDSR = 0x04,
  hwfRequireCTS = 0x08,
};

// The modem status byte: current line states and the change bits that reads clear.
constexpr uint8_t kModemDeltaCTS = 0x01;
constexpr uint8_t kModemDeltaDSR = 0x02;
constexpr uint8_t kModemTrailingRI = 0x04;  // RI went from on to off
constexpr uint8_t kModemDeltaDCD = 0x08;
constexpr uint8_t kModemCTS = 0x10;
constexpr uint8_t kModemDSR = 0x20;
constexpr uint8_t kModemRI = 0x40;
constexpr uint8_t kModemDCD = 0x80;

// Trigger type accepted by AddModemWatch (types 2..5 are accepted and kept but never fire).
constexpr int kModemTriggerType = 1;

class TSerialPort {
 public:
  // Data available: `count` received bytes wait; read up to `count` of them with ReadByte. Bytes
  // not read stay for the next data event, which comes when more bytes arrive.
  using TriggerAvailEvent = std::function<void(TSerialPort& sender, uint16_t count)>;
  // An armed modem trigger fired; it stays disarmed until ArmModemWatch arms it again.
  using TriggerModemStatusEvent = std::function<void(TSerialPort& sender, uint16_t handle)>;
  // A message for the user: the device vanished (the port is already closed when this runs), or
  // an exception escaped an event handler of this port. Messages of OnError and OnDiagnostic name
  // the port once ("COM<n>" at least) and are complete as they are: show them without a prefix.
  using ErrorEvent = std::function<void(TSerialPort& sender, const std::string& message)>;
  // A note for the user that does not stop the port, e.g. that the device dropped the parity.
  using DiagnosticEvent = std::function<void(TSerialPort& sender, const std::string& message)>;
  // The last client of a pty: port hung up. Everything in both directions was thrown away (the
  // unsent output, the pseudo-terminal's queues, the unread input); the owner throws away its
  // own partial message so the next client starts clean. Comes before any data of that client.
  using PeerHangUpEvent = std::function<void(TSerialPort& sender)>;

  explicit TSerialPort(std::shared_ptr<OwnerLoop> loop);
  ~TSerialPort();  // closes an open port
  TSerialPort(const TSerialPort&) = delete;
  TSerialPort& operator=(const TSerialPort&) = delete;

  // --- Properties (defaults in brackets) ---
  int ComNumber() const { return comNumber_; }  // [0 = none]
  // Stores the number; an open port is closed and reopened on it, keeping its triggers.
  void SetComNumber(int number);              // EBadArgument outside 0..65535
  int32_t Baud() const { return baud_; }      // [19200]
  void SetBaud(int32_t baud);                 // applied at once while open
  TParity Parity() const { return parity_; }  // [pNone]
  void SetParity(TParity parity);
  int DataBits() const { return dataBits_; }   // [8], 5..8
  void SetDataBits(int bits);                  // EBadArgument outside 5..8
  int StopBits() const { return stopBits_; }   // [1], 1 or 2
  void SetStopBits(int bits);                  // EBadArgument unless 1 or 2
  int InSize() const { return inSize_; }       // [4096] kept; Linux tty queues are fixed
  void SetInSize(int bytes);                   // EBadArgument outside 1..65535
  int OutSize() const { return outSize_; }     // [4096] the output ring, taken at the next open
  void SetOutSize(int bytes);                  // EBadArgument outside 1..65535
  bool AutoOpen() const { return autoOpen_; }  // [true] open on first use of a closed port
  void SetAutoOpen(bool on) { autoOpen_ = on; }
  bool PromptForPort() const { return promptForPort_; }  // [true]
  void SetPromptForPort(bool on) { promptForPort_ = on; }
  uint8_t HWFlowOptions() const { return hwFlow_; }  // [0] THWFlowOption bits
  void SetHWFlowOptions(uint8_t options);
  TSWFlowOptions SWFlowOptions() const { return swFlow_; }  // [swfNone]
  void SetSWFlowOptions(TSWFlowOptions options);
  uint8_t XOnChar() const { return xOn_; }  // [17]
  void SetXOnChar(uint8_t c);
  uint8_t XOffChar() const { return xOff_; }  // [19]
  void SetXOffChar(uint8_t c);
  // Kept for the settings dialog; tracing and logging are not performed.
  std::string TraceName = "SERIAL.TRC";
  std::string LogName = "SERIAL.LOG";

  // --- Opening and state ---
  bool Open() const { return state_ == psOpen; }
  // true: opens (raises on failure, leaving the port closed); false: closes. Closing from inside
  // one of this port's events is allowed: the device is released at once, the port is shutting
  // down (its operations do nothing) until the event returns and closed after it. Opening again
  // meanwhile is allowed.
  void SetOpen(bool open);
  TPortState State() const { return state_; }
  // Asked for a number when opening with ComNumber 0 and PromptForPort true.
  void SetPortPrompt(PortPrompt prompt) { prompt_ = std::move(prompt); }

  // --- Data ---
  // Queues all bytes for output; an empty string writes nothing. Raises EOutputBufferTooSmall
  // (nothing queued) when they do not fit the free output space.
  void WriteString(const std::vector<uint8_t>& bytes);
  void WriteString(std::string_view bytes);
  // The next received byte. Inside OnTriggerAvail the bytes read are consumed when the handler
  // returns; outside an event at once. Raises EInputBufferEmpty when nothing is waiting.
  uint8_t ReadByte();
  // Throws away every received byte not yet consumed (the device's queue included).
  void DiscardInput();

  // --- Modem lines ---
  // [on] outputs, switched at once while open. While open they show what the driver accepted: a
  // refused switch leaves the value (and is reported once through OnDiagnostic).
  bool DTR() const { return dtr_; }
  void SetDTR(bool on);
  bool RTS() const { return rts_; }  // [on]
  void SetRTS(bool on);
  // Current input states, false when not open. Each read clears exactly one change bit:
  // CTS and DeltaCTS clear delta-CTS, DSR delta-DSR, RI the trailing-edge RI bit, DCD delta-DCD.
  bool CTS();
  bool DSR();
  bool RI();
  bool DCD();
  bool DeltaCTS();  // CTS changed since the last read of delta-CTS
  // The whole status byte (kModem* bits) without clearing anything; 0 when not open.
  uint8_t ModemStatus() const;

  // --- Modem-status triggers ---
  // Adds a trigger of `type` (1 = modem), not yet armed; returns its handle. Raises EBadArgument
  // for a type outside 1..5, ENoMoreTriggers when all slots are taken.
  uint16_t AddModemWatch(int type);
  // Stores `mask` (kModem* bits) and the current state of the masked lines and arms the trigger
  // (activate) or disarms it. It fires once, on the first change of a masked bit after arming.
  void ArmModemWatch(uint16_t handle, uint8_t mask, bool activate);
  // Removes a trigger; does nothing on a port that is not open.
  void RemoveWatch(uint16_t handle);

  // --- Events ---
  TriggerAvailEvent OnTriggerAvail;
  TriggerModemStatusEvent OnTriggerModemStatus;
  ErrorEvent OnError;
  DiagnosticEvent OnDiagnostic;
  PeerHangUpEvent OnPeerHangUp;

  // How often a client of a pty: port hung up since this object was made (an owner without an
  // OnPeerHangUp handler may compare it on its next data event).
  uint64_t PeerHangUps() const { return peerHangUps_; }
  // Bytes written while no client was connected to this opening's pty: port, and so dropped.
  uint64_t DroppedBytes() const;

  // "COM<n>" (or the text a program assigned to the number in PortMap), the name used in messages.
  std::string DisplayName() const;

 private:
  friend class PortReactor;

  void OpenPort();
  void ClosePort();
  int ChooseNumber();
  bool UsablePort();  // AutoOpen handling for operations on a closed port
  void ApplyLineSettings();
  void DeliverData(uint16_t count);
  void DeliverModemTrigger(uint16_t handle);
  void DeliverDeviceLost(const std::string& message);
  void DeliverPeerHangUp();
  void EventReturned();
  void ReportHandlerError(const char* what);
  std::string NamingThisPort(const std::string& text) const;
  void ReportNotes(const std::vector<std::string>& notes);
  bool ReadLine(uint8_t bit, uint8_t deltaBit);

  std::shared_ptr<OwnerLoop> loop_;
  std::shared_ptr<SerialTriggers> triggers_;
  std::shared_ptr<PortReactor> dispatch_;
  PortPrompt prompt_;
  TPortState state_ = psClosed;
  int comNumber_ = 0;
  int32_t baud_ = 19200;
  TParity parity_ = pNone;
  int dataBits_ = 8;
  int stopBits_ = 1;
  int inSize_ = 4096;
  int outSize_ = 4096;
  bool autoOpen_ = true;
  bool promptForPort_ = true;
  uint8_t hwFlow_ = 0;
  TSWFlowOptions swFlow_ = swfNone;
  uint8_t xOn_ = 17;
  uint8_t xOff_ = 19;
  bool dtr_ = true;
  bool rts_ = true;
  // Bytes ReadByte has taken during the data event now running (consumed when it returns).
  int eventReads_ = 0;
  bool inDataEvent_ = false;
  int eventDepth_ = 0;  // events of this port running on the owner thread now
  uint64_t peerHangUps_ = 0;
};
