// Panel2, the "Virtual Machine" view of the main window: the widgets of port A's virtual machine
// at their designed places, and Mirror(), which shows the engine's panel data on them. Clicks are
// wired by the main window, which forwards them to the engine.
#pragma once

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <array>

#include "ClipServer.h"
#include "LinkHealth.h"
#include "VmPanel.h"
#include "VyoButton.h"

class VmPanelView : public QFrame {
 public:
  static constexpr int kWidth = 624;
  static constexpr int kHeight = 259;

  explicit VmPanelView(QWidget* parent);

  void Mirror(const VmPanel& panel, const ClipServer& clips);
  // Port A's link: the editor's requests and the machine's replies, in `linka`.
  void MirrorLink(const LinkHealth& health, Micros now);

  // Transport keys (Tag = the Sony command), mode key, lamps.
  TVyoButton *vrwd, *vrvsplay, *vstop, *vplay, *vfwd, *vedit, *vOff;
  TVyoButton *vgoto, *vlocal, *MarkIn, *MarkOut;
  TVyoButton *vcued, *vlocked, *vstill, *eeon;
  // Port A lamps: coma1 "Com:<n>" re-chooses the port, coma2 opens or closes it.
  TVyoButton *coma1, *coma2;
  QLabel *vtally, *vpoz, *cmdstr, *csuma;
  QLabel* personality;  // the name of the machine's personality
  QLabel* linka;        // port A's link counts
  QCheckBox *qall, *nostill, *recinhibit, *nostatus;
  // Track arming: rr1..rr24 (index 0 = rr1), ra1, ra2, rtc, ra4, rv, rasm, rins, and the bank key.
  QFrame* trackpanel;
  std::array<TVyoButton*, kTrackKeys> rr{};
  std::array<TVyoButton*, kFunctionKeys> ra{};
  TVyoButton* bank;
  // The two "EVS DD35" clip-server panels.
  QGroupBox *DD35Panel1, *DD35Panel2;
  QListWidget *dd35clips1, *dd35clips2;
  QLabel *lsmid1, *LSMID2, *dd35in1, *dd35out1, *dd35in2, *dd35out2;

 private:
  void BuildTransport();
  void BuildTracks();
  void BuildTips();
  QGroupBox* BuildClipPanel(const char* name, int x, QListWidget*& list, QLabel*& lsmId,
                            const char* lsmIdName, QLabel*& in, const char* inName, QLabel*& out,
                            const char* outName);
  void MirrorClips(const ClipServer& clips);
};
