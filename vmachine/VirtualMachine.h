// The virtual machine of port A: a Sony 9-pin machine that an editor drives through port A.
//
// The engine owns port A's protocol record (SonyPort), the virtual transport, the identity it
// poses as, its track arming, its clip server, and the whole "Virtual Machine" panel as data
// (VmPanel). It never touches a port or a widget:
//   - a data event of port A is DataAvailable(bytes, context); it returns, in order, what each
//     received message produced: monitor lines and the reply bytes to write;
//   - a frame tick is FrameTick();
//   - a user action is the method named after its handler (vplayClick(tag), rr1Click(index)...);
//     the window forwards the click and then mirrors Panel() and Clips() onto its widgets.
// Methods returning bool "save" tell the owner that a saved setting changed: it must capture
// Settings() into its settings record and write it now.
// Everything runs on one thread; no call blocks.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ClipServer.h"
#include "MachineIdentity.h"
#include "VmPanel.h"
#include "sonyname.h"

// What the owner knows about port A and the comms monitor when a data event arrives.
struct VmEventContext {
  bool portOpen = true;         // replies are framed and returned only while port A is open
  bool showComs = false;        // the monitor's "Shoiw Coms" box: "Rx:" and "  Tx " lines
  bool monitorVisible = false;  // the monitor window is shown: command lines of transport messages
};

// What one received message produced, in the order it happened. Empty texts are not lines.
struct VmExchange {
  std::string rxLine;       // "Rx:20 01 21 " when showComs
  std::string commandLine;  // "20 01 21 " for a 2x message when monitorVisible
  Bytes reply;              // the reply to write to port A (empty while port A is closed)
  std::string txLine;       // "  Tx 10 01 11 " when showComs and a reply was framed
};

struct VmEventResult {
  // True when the burst was longer than kMaxBurst: nothing was read, the owner discards its
  // whole input buffer.
  bool inputDiscarded = false;
  std::vector<VmExchange> exchanges;  // one per complete message of the event, in order

  // Every reply byte of the event, in order (what to write).
  Bytes ReplyBytes() const;
  // Every monitor line of the event, in order (what to add to the monitor).
  std::vector<std::string> MonitorLines() const;
};

// What the owner's gate does with a received message before the engine acts on it.
struct VmGateAnswer {
  enum class Kind { Execute, Reply, Silent };
  Kind kind = Kind::Execute;
  SonyMessage reply;  // Reply: sent in place of the engine's answer (the checksum is added)
};

// The owner's say over port A's answers (a machine personality, ReplyShaper.h). Without a gate
// the engine answers every message itself, exactly as it always has.
class VmReplyGate {
 public:
  virtual ~VmReplyGate() = default;
  // A complete message at the head of the ring has a bad checksum. A reply empties the ring and
  // is sent; nothing slides the ring one byte, as without a gate.
  virtual std::optional<SonyMessage> BadChecksum() = 0;
  // A checked message: run it, or answer it without running it, or neither.
  virtual VmGateAnswer Before(const SonyMessage& rx) = 0;
  // The engine's reply to a message it ran, before it is framed; the gate may cut it.
  virtual void After(const SonyMessage& rx, SonyMessage& tx) = 0;
};

// The settings-record fields the virtual machine owns.
struct VmSettings {
  uint8_t Standard = 0;          // byte 0
  int32_t MachineType = 0;       // bytes 20..23
  uint8_t UnitTracksByte = 0;    // byte 28
  bool ExtendedIdReply = false;  // byte 30
};

class VirtualMachine {
 public:
  // The state at window creation: status bytes clear, Remote, "both", EBU, position 0.
  VirtualMachine();

  // --- Start-up ------------------------------------------------------------------------------
  // Takes the saved fields (a Standard above 3 from a damaged record reads as 3).
  void RestoreSettings(const VmSettings& settings);
  // The window is shown: LSM ID to load "CamA/00", identity and standard applied from the
  // settings, ChangeFlags = 1. The owner saves the settings afterwards.
  void FormShow();
  VmSettings Settings() const;

  // --- Port A ----------------------------------------------------------------------------------
  // One data event: stores the bytes by the 30-byte rules, then answers every complete message
  // now in the ring, each with its own reply, and refreshes csuma.
  VmEventResult DataAvailable(std::span<const uint8_t> bytes, const VmEventContext& context);
  // The editor on port A went away: what it left half sent is no message for the next one.
  void PeerHungUp() { DropReceived(port_); }
  // Received bytes not yet taken out as a message (an incomplete message, or debris).
  int PendingBytes() const;
  // The gate asked about every message from now on; nullptr for none. The engine does not own it.
  void SetReplyGate(VmReplyGate* gate) { gate_ = gate; }
  VmReplyGate* ReplyGate() const { return gate_; }
  // The frame tick's duty: advance the position by the speed, refresh vpoz.
  void FrameTick();

  // --- Transport panel -------------------------------------------------------------------------
  void vplayClick(int tag);  // kTagStop .. kTagEdit; ignored in Remote mode
  // Goto: the keypad's result, a time-code text on OK or nothing on Cancel. Ignored in Remote
  // mode (PanelKeysActive() false: the window should not even show the keypad).
  void vgotoClick(const std::optional<std::string>& keypadText);
  void vlocalClick();
  void recinhibitClick(bool checked);
  void qallClick(bool checked);
  void nostillClick(bool checked);
  void nostatusClick(bool checked);
  void rvslockdirClick();  // toggles the check mark
  void MarkInClick();      // "In": mark IN at the position
  void MarkOutClick();     // "Out": mark OUT at the position
  bool PanelKeysActive() const { return mode_ != VmMode::Remote; }

  // --- Identity and standard menus ---------------------------------------------------------
  bool DA881Click(int machineType);  // save; choosing the current identity does nothing
  // "Enter ID": the dialog's text on OK, nothing on Cancel (the initial text is taken again).
  // Returns an error message, and changes nothing, when the text is not a whole number.
  std::optional<std::string> EnterID1Click(const std::optional<std::string>& dialogText);
  std::string EnterIdInitialText() const { return DeviceIdText(port_.DeviceId); }
  bool N24P1Click(int standard);  // save; tags 0..3, others ignored
  bool None1Click(int tag);       // "Mcn No." 0..4; save
  bool Normal1Click(int tag);     // "Tracks" 0, 16, 32, 48, 64; save
  void ApplyMachineType();
  void ApplyStandard();

  // --- Track arming ------------------------------------------------------------------------------
  void rr1Click(int index);  // track keys, index 0..23 (rr1..rr24)
  void ra1Click(int index);  // function keys, index 0..6 (A1, A2, tc, A4, V, A, I)
  void bankClick();

  // --- Clip server -------------------------------------------------------------------------------
  void dd35clips1Click(int index);
  void dd35clips2Click(int index);

  // --- State, for display and tests ------------------------------------------------------------
  const VmPanel& Panel() const { return panel_; }
  const ClipServer& Clips() const { return clips_; }
  // Port A's record. The owner may use the port-management fields (StatusTriggerHandle); the
  // protocol fields belong to the engine.
  SonyPort& Port() { return port_; }
  const SonyPort& Port() const { return port_; }
  VmMode Mode() const { return mode_; }
  int32_t Speed() const { return speed_; }
  int32_t Remainder() const { return remainder_; }
  int32_t MachineType() const { return machineType_; }
  bool ExtendedIdReply() const { return extendedIdReply_; }
  uint8_t UnitTracksByte() const { return unitTracksByte_; }
  uint8_t VmPresetByte() const { return presetByte_; }
  const std::array<uint8_t, 12>& VmTrackBytes() const { return trackBytes_; }
  int TrackBank() const { return trackBank_; }

  // --- Engine steps (also reachable from the panel and the responder) ----------------------
  // Runs transport command cmd2 with the speed byte in DATA-1 of Port().Rx.
  void ExecuteTransport(uint8_t cmd2);
  void ResetTransport();
  // Answers the message in Port().Rx into Port().Tx (exactly one reply, not yet framed).
  void Respond();

 private:
  void SetAck();
  void ShowUnhandled();
  void SystemControl();
  void PresetCommand();
  void SenseRequest();
  void StatusSense();
  void EditPresetSense();
  void TimeReply(uint8_t cmd2, int32_t frames);
  void DeviceTypeReply();
  void ChangeFlagsReply();
  void PlayWithOptions();
  void FinishTransport();
  void LightTransportLamps();
  void ShowVmTrackLamps();
  void UpdateInsertLamp();
  void StoreEditPreset();
  void RefreshChecksumLabel();
  bool RefusedBadChecksum(VmExchange& exchange, const VmEventContext& context);
  void AnswerMessage(VmExchange& exchange, const VmEventContext& context);

  SonyPort port_;
  VmPanel panel_;
  ClipServer clips_;
  VmMode mode_ = VmMode::Both;
  int32_t speed_ = 0;
  int32_t remainder_ = 0;
  int32_t machineType_ = 0;
  bool extendedIdReply_ = false;
  uint8_t unitTracksByte_ = 0;
  int mcnNoTag_ = 0;
  int tracksTag_ = 0;
  uint8_t presetByte_ = 0;
  std::array<uint8_t, 12> trackBytes_{};
  int trackBank_ = 0;
  VmReplyGate* gate_ = nullptr;
};
