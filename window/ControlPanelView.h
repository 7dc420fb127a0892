// Panel1, the "Machine Control" view of the main window: the widgets of port B's controller at
// their designed places, and Mirror(), which shows the engine's panel data on them. Clicks are
// wired by the main window, which forwards them to the engine.
#pragma once

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <array>
#include <vector>

#include "LinkHealth.h"
#include "MachineController.h"
#include "VyoButton.h"

class ControlPanelView : public QFrame {
 public:
  static constexpr int kWidth = 624;
  static constexpr int kHeight = 259;

  explicit ControlPanelView(QWidget* parent);

  void Mirror(const MachineControlPanel& panel);
  // Port B's link: the counts in `linkb`; "No reply" with the time code and lamps greyed (their
  // last values kept) while the machine does not answer, the same grey while port B is closed.
  void MirrorLink(const LinkHealth& health, bool portOpen, Micros now);
  bool Greyed() const { return greyed_; }

  // Keys that work the transport from the keyboard while the view is shown (none of them is a
  // key of the menus or of the keypad).
  static constexpr int kRewindKey = Qt::Key_F5;
  static constexpr int kReversePlayKey = Qt::Key_F6;
  static constexpr int kStopKey = Qt::Key_F7;
  static constexpr int kPlayKey = Qt::Key_F8;
  static constexpr int kFastForwardKey = Qt::Key_F9;
  static constexpr int kGotoKey = Qt::Key_F4;

  QLabel* name;
  QLineEdit* bpoz;  // read-only; a click copies it to the clipboard
  QLabel* csumb;
  QLabel* noreply;  // "No reply", shown while the machine does not answer
  QLabel* linkb;    // port B's link counts
  // Transport keys (Tag as the controller expects), state lamps.
  TVyoButton *krwd, *krvsplay, *kstop, *kplay, *kfwd, *kedit, *koff;
  TVyoButton *kgoto, *kremote, *kcued, *kstill;
  // Port B lamps: Comb1 "Com:<n>" re-chooses the port, comb2 opens or closes it.
  TVyoButton *Comb1, *comb2;
  // Track arming: kr1..kr24 (index 0 = kr1), ka1, ka2, ktc, ka4, kv, kasm, kins, the bank key.
  QFrame* ktrackpanel;
  std::array<TVyoButton*, MachineControlPanel::kTrackKeys> kr{};
  std::array<TVyoButton*, MachineControlPanel::kFunctionKeys> ka{};
  TVyoButton* kbank;
  QCheckBox* kediton;

 private:
  void BuildTransport();
  void BuildTracks();
  void BuildLink();
  void BuildTips();
  void BuildTransportKeys();

  std::vector<QWidget*> greyable_;  // the time code and the lamps
  bool greyed_ = false;
};
