// MachineController: the controller of the machine on port B, as a plain engine.
//
// It owns port B's protocol record (SonyPort) and the "Machine Control" panel as data
// (MachineControlPanel). It never touches a port: a frame tick returns the bytes the owner must
// write to port B, and a data event is handed in as the bytes read. User actions are methods
// named after the panel's handlers; after any call the window mirrors Panel() onto its widgets.
//
// The owner (the engine host on its loop, or a test) drives it:
//   for (const Bytes& w : controller.FrameTick(portB.isOpen())) portB.write(w);   // each tick
//   if (controller.SerialBTriggerAvail(bytesRead) == RxOutcome::Discarded) portB.flushInput();
//   if (controller.ShowChecksumErrors()) ...;       // from port B's modem-status event
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "KeypadU.h"
#include "LinkHealth.h"
#include "MachineControlPanel.h"
#include "PollSequencer.h"
#include "TransportTags.h"
#include "sonyname.h"

class MachineController {
 public:
  // Tags of the transport keys handled by kplayClick; the low byte is the command's CMD-2.
  static constexpr int kTagStop = ::kTagStop;
  static constexpr int kTagPlay = ::kTagPlay;
  static constexpr int kTagFastForward = ::kTagFwd;
  static constexpr int kTagRewind = ::kTagRwd;
  static constexpr int kTagReversePlay = ::kTagRvsPlay;
  static constexpr int kTagEditOff = ::kTagOff;
  static constexpr int kTagEditOn = ::kTagEdit;

  // What became of one data event.
  enum class RxOutcome {
    Discarded,  // more than 30 bytes: refused unread; the owner flushes port B's input
    NoMessage,  // stored; no complete checked message yet
    Skipped,    // a reply taken and dropped unseen (after track arming)
    Handled     // a reply taken and shown
  };

  MachineController();

  // Port B's record. The owner may use the port-management fields (StatusTriggerHandle); the
  // protocol fields belong to the engine.
  SonyPort& Port() { return port_; }
  const SonyPort& Port() const { return port_; }
  const MachineControlPanel& Panel() const { return panel_; }
  int PollCountdown() const { return poller_.PollCountdown(); }
  // Port B's link: polls sent, replies, polls that ran out unanswered, checksum failures.
  LinkHealth Health() const;

  // One frame tick. While port B is open: the poll slot (a request, or the queued command in its
  // place) and then, when an EDIT ON is pending, 20 65 85 on its own. With port B closed nothing
  // is sent and a pending EDIT ON is dropped. Returns the writes in order, one entry per write.
  std::vector<Bytes> FrameTick(bool portBOpen);

  // One data event of port B with the bytes received at `at`. At most one reply is taken per
  // event; further complete replies wait in the ring for the next event.
  RxOutcome SerialBTriggerAvail(std::span<const uint8_t> bytes, Micros at = Micros{0});

  // The machine on port B went away: a reply it left half sent is dropped.
  void PeerHungUp() { DropReceived(port_); }

  // Port B's modem-status event: shows a changed checksum-failure count in csumb; true if shown.
  bool ShowChecksumErrors();

  // Transport keys kstop, kplay, kfwd, krwd, koff, kedit: queue 20 <low byte of tag>.
  void kplayClick(int tag);
  // "<": queue 21 22 40 (reverse play at play speed).
  void krvsplayClick();
  // Goto after the keypad closed: on OK queue 24 31 and the entry's four time bytes, the digits
  // as typed (frames up to 29 in any standard); any other result queues nothing.
  void kgotoClick(int keypadResult, std::string_view keypadEntry);
  void kgotoClick(const KeypadU& keypad);
  // Goto to the clipboard's time code without the keypad: the text is filtered through the
  // keypad entry's mask and sent as read.
  void GotoClipboard1Click(std::string_view clipboardText);
  // Version request 00 B3; clears the status bar text until the reply comes.
  void ZQVersion1Click();
  // Track key kr<button>, button 1..24 (others ignored); queues the EDIT PRESET.
  void kr1Click(int button);
  // Function key ka1, ka2, ktc, ka4, kv, kasm or kins; queues the EDIT PRESET.
  void ka1Click(FunctionKey key);
  // Next track bank; sends nothing.
  void kbankClick();
  // "Editron with trackarm" check box.
  void keditonClick(bool checked);
  // The text to copy to the clipboard (the time code shown).
  const std::string& bpozClick() const { return panel_.bpoz; }

 private:
  void Queue(uint8_t cmd1, uint8_t cmd2);
  void QueueGoto(std::string_view entry);

  SonyPort port_;
  MachineControlPanel panel_;
  PollSequencer poller_;
  LinkHealth health_;
};
