// Tcommsf ("Comms"): the monitor window that logs port A traffic as lines of hexadecimal bytes.
// Created hidden at start and kept for the whole run; its close box only hides it.
//
// Feeding it, per message received on port A with a good checksum, on the GUI thread:
//   MessageReceived(portA)   before the responder runs   -> "Rx:20 01 21 " when ShowComs()
//   TransportHandled(portA)  after the responder acted   -> "20 01 21 " for a 2x command when the
//                                                           window is visible (box or not)
//   ReplySent(portA)         after the reply was written -> portA.TxText when ShowComs()
// AddLine and AddCommandLine append unconditionally, for callers that apply the rules themselves.
//
// Decoded view: the "Decode" box (unchecked at start, so the designed view is unchanged). While it
// is checked, AddDecodedLine appends the decoded monitor lines its owner feeds (DecodedMonitor.h);
// while it is not, they are dropped. The designed lines above keep their own rules.
#pragma once

#include <QWidget>

#include "sonyname.h"

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

class Tcommsf : public QWidget {
 public:
  // The oldest lines go once the log holds this many, so hours of traffic cannot exhaust memory
  // (about 160 MB); the first line then says how many have gone.
  static constexpr int kMaxLines = 200000;

  // `maxLines` is the cap (tests use a small one).
  explicit Tcommsf(QWidget* parent = nullptr, int maxLines = kMaxLines);

  // Appends one line at the end of the log.
  void AddLine(const QString& text);
  // Appends the message in portA.Rx as CMD-1, CMD-2, data and checksum: "20 01 21 ".
  void AddCommandLine(const SonyPort& portA);

  void MessageReceived(const SonyPort& portA);
  void TransportHandled(const SonyPort& portA);
  void ReplySent(const SonyPort& portA);

  // The "Shoiw Coms" check box: received and sent lines are logged while it is checked.
  bool ShowComs() const;
  void SetShowComs(bool on);

  bool IsShown() const { return isVisible(); }
  // The View menu's "Comms": show when hidden, hide when shown.
  void ToggleShown();

  // "Clear": empties the log, the designed first line "m1" included.
  void kclearClick();

  // The "Decode" box: decoded lines are shown while it is checked.
  bool DecodeChecked() const;
  void SetDecode(bool on);
  // Appends one decoded monitor line while DecodeChecked().
  void AddDecodedLine(const QString& text);

  QPlainTextEdit* m1;
  QCheckBox* kshow;
  QPushButton* kclear;
  QCheckBox* kdecode;

 private:
  void DropOldestLines();

  int maxLines_;
  long long removed_ = 0;  // lines dropped since the last Clear
};
