#include "ControlPanelView.h"

#include <QFont>

#include "PanelWidgets.h"
#include "TrackPanel.h"

namespace {

void MirrorPanelLamp(TVyoButton* button, const PanelLamp& lamp) {
  button->SetLit(lamp.Lit);
  button->SetLitState(lamp.LitState);
}

}  // namespace

ControlPanelView::ControlPanelView(QWidget* parent) : QFrame(parent) {
  setObjectName("Panel1");
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Raised);
  setAutoFillBackground(true);
  resize(kWidth, kHeight);
  auto* title = MakeLabel(this, "McTitle", "Machine Control", {8, 4, 200, 18});
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  Comb1 = MakeKey(this, "Comb1", "Com:0", {232, 2, 64, 20});
  comb2 = MakeKey(this, "comb2", "", {300, 2, 20, 20});
  BuildTransport();
  BuildTracks();
}

void ControlPanelView::BuildTransport() {
  using MC = MachineController;
  name = MakeLabel(this, "name", "Name", {8, 24, 220, 20});
  QFont nameFont = name->font();
  nameFont.setBold(true);
  name->setFont(nameFont);
  bpoz = new QLineEdit("__:__:__:__", this);
  bpoz->setObjectName("bpoz");
  bpoz->setGeometry(8, 48, 220, 34);
  bpoz->setReadOnly(true);
  QFont big("DejaVu Sans Mono");
  big.setPixelSize(26);
  big.setBold(true);
  bpoz->setFont(big);
  csumb = MakeLabel(this, "csumb", "00", {236, 56, 30, 18});

  krwd = MakeKey(this, "krwd", "<<", {8, 88, 40, 30}, LampScheme::Green, MC::kTagRewind);
  krvsplay =
      MakeKey(this, "krvsplay", "<", {52, 88, 40, 30}, LampScheme::Green, MC::kTagReversePlay);
  kstop = MakeKey(this, "kstop", "[]", {96, 88, 40, 30}, LampScheme::Green, MC::kTagStop);
  kplay = MakeKey(this, "kplay", ">", {140, 88, 40, 30}, LampScheme::Green, MC::kTagPlay);
  kfwd = MakeKey(this, "kfwd", ">>", {184, 88, 40, 30}, LampScheme::Green, MC::kTagFastForward);
  kedit = MakeKey(this, "kedit", "EDIT", {236, 88, 50, 30}, LampScheme::Red, MC::kTagEditOn);
  koff = MakeKey(this, "koff", "Off", {290, 88, 50, 30}, LampScheme::Green, MC::kTagEditOff);
  kgoto = MakeKey(this, "kgoto", "Goto", {8, 124, 60, 30}, LampScheme::Green, 100);
  kgoto->setToolTip("Left: locate to a typed time code. Right: locate to the clipboard's.");
  kremote = MakeKey(this, "kremote", "Local", {72, 124, 60, 30}, LampScheme::Amber);
  kcued = MakeKey(this, "kcued", "Cued", {136, 124, 52, 30}, LampScheme::Amber);
  kstill = MakeKey(this, "kstill", "Still", {192, 124, 52, 30}, LampScheme::Amber);
  for (TVyoButton* lamp : {kremote, kcued, kstill}) lamp->SetTabStop(false);
  kediton = new QCheckBox("Editron with trackarm", this);
  kediton->setObjectName("kediton");
  kediton->setGeometry(8, 162, 200, 18);
}

void ControlPanelView::BuildTracks() {
  const TrackPanel tracks(this, {"ktrackpanel", 'k', "kbank", 1});
  ktrackpanel = tracks.frame;
  kr = tracks.tracks;
  ka = tracks.functions;
  kbank = tracks.bank;
}

void ControlPanelView::Mirror(const MachineControlPanel& panel) {
  name->setText(QString::fromStdString(panel.name));
  const QString time = QString::fromStdString(panel.bpoz);
  if (bpoz->text() != time) bpoz->setText(time);
  csumb->setText(QString::fromStdString(panel.csumb));
  const std::pair<TVyoButton*, const PanelLamp*> lamps[] = {
      {kstop, &panel.kstop}, {kplay, &panel.kplay},       {krwd, &panel.krwd},
      {kfwd, &panel.kfwd},   {krvsplay, &panel.krvsplay}, {kedit, &panel.kedit},
      {koff, &panel.koff},   {kremote, &panel.kremote},   {kgoto, &panel.kgoto},
      {kcued, &panel.kcued}, {kstill, &panel.kstill},     {kbank, &panel.kbank}};
  for (const auto& [button, lamp] : lamps) MirrorPanelLamp(button, *lamp);
  MirrorCaption(kremote, panel.kremote.Caption);
  MirrorCaption(kbank, panel.kbank.Caption);
  for (std::size_t i = 0; i < kr.size(); ++i) {
    MirrorPanelLamp(kr[i], panel.kr[i]);
    MirrorCaption(kr[i], panel.kr[i].Caption);
  }
  for (std::size_t i = 0; i < ka.size(); ++i) MirrorPanelLamp(ka[i], panel.ka[i]);
  kediton->setChecked(panel.kediton);
}
