// Panel1, the "Machine Control" view of the main window: the widgets of port B's controller at
// their designed places, and Mirror(), which shows the engine's panel data on them. Clicks are
// wired by the main window, which forwards them to the engine.
#pragma once

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <array>

#include "MachineController.h"
#include "VyoButton.h"

class ControlPanelView : public QFrame {
 public:
  static constexpr int kWidth = 624;
  static constexpr int kHeight = 259;

  explicit ControlPanelView(QWidget* parent);

  void Mirror(const MachineControlPanel& panel);

  QLabel* name;
  QLineEdit* bpoz;  // read-only; a click copies it to the clipboard
  QLabel* csumb;
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
};
