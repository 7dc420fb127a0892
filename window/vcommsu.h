// Tcommsf ("Comms"): the monitor window, a table of port A's designed lines and, while "Decode" is
// checked, the decoded messages of both ports, one row per message on one clock (MonitorModel.h),
// with filters, search, pause and "Save As..." above it (MonitorPane.h). Created hidden at start
// and kept for the whole run; its close box only hides it. The table fills the window as it is
// resized.
//
// Feeding it, per message received on port A with a good checksum, on the GUI thread:
//   MessageReceived(portA)   before the responder runs   -> "Rx:20 01 21 " when ShowComs()
//   TransportHandled(portA)  after the responder acted   -> "20 01 21 " for a 2x command when the
//                                                           window is visible (box or not)
//   ReplySent(portA)         after the reply was written -> portA.TxText when ShowComs()
// AddLine and AddCommandLine append unconditionally, for callers that apply the rules themselves.
// A designed line and the decoded record of the same message share one row.
//
// Decoded view: the "Decode" box (unchecked at start, so the designed view is unchanged). While it
// is checked, AddRecords adds the decoded records its owner feeds; while it is not, they are
// dropped. The designed lines above keep their own rules.
#pragma once

#include <QWidget>

#include "MonitorModel.h"
#include "sonyname.h"

class MonitorPane;
class QCheckBox;
class QPushButton;
class QTableView;
class ReplyTimeView;

class Tcommsf : public QWidget {
 public:
  // The oldest rows go once the table holds this many, so hours of traffic cannot exhaust memory;
  // the label above the table then says how many have gone.
  static constexpr int kMaxLines = 200000;

  // `maxLines` is the cap (tests use a small one); `clock` the monitor's clock (tests fake it).
  explicit Tcommsf(QWidget* parent = nullptr, int maxLines = kMaxLines,
                   MonitorModel::Clock clock = MonitorModel::SteadyNow);

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

  // "Clear": empties the log, the designed first line "m1" included, and restarts the clock.
  void kclearClick();

  // The "Decode" box: decoded records are shown while it is checked.
  bool DecodeChecked() const;
  void SetDecode(bool on);
  // Adds decoded records (host clock times) while DecodeChecked().
  void AddRecords(const std::vector<CaptureRecord>& records);

  // The "Reply Times" plots over this monitor's rows; they need the decoded records, so "Decode"
  // is checked.
  void ShowReplyTimes();

  // The log as text, one line per row (MonitorModel::Text).
  QString Text() const { return model_.Text(); }
  MonitorModel& Model() { return model_; }

  MonitorPane* pane;
  QTableView* m1;  // the log's table
  QCheckBox* kshow;
  QPushButton* kclear;
  QCheckBox* kdecode;
  ReplyTimeView* replyTimes = nullptr;  // made when first asked for

 private:
  MonitorModel model_;
};
