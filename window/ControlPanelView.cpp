#include "ControlPanelView.h"

#include <QFont>
#include <QGraphicsColorizeEffect>
#include <QKeySequence>
#include <QShortcut>

#include "PanelTips.h"
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
  BuildLink();
  BuildTips();
  BuildTransportKeys();
}

void ControlPanelView::BuildLink() {
  noreply = MakeLabel(this, "noreply", "No reply", {236, 26, 110, 18});
  noreply->setAlignment(Qt::AlignCenter);
  // Its own colours: it must stand out on any theme.
  noreply->setStyleSheet("QLabel { background: #a00000; color: white; font-weight: bold; }");
  noreply->hide();
  linkb = MakeLabel(this, "linkb", "", {356, 188, 260, 36});
  linkb->setWordWrap(true);
  linkb->setToolTip(
      "Port B: polls sent, replies, polls that ran out without an answer, checksum failures, "
      "age of the last reply");
  greyable_ = {bpoz, name, krwd, krvsplay, kstop, kplay, kfwd, kedit, koff, kremote, kcued, kstill};
  for (QWidget* widget : greyable_) {
    auto* grey = new QGraphicsColorizeEffect(widget);
    grey->setColor(Qt::gray);
    grey->setStrength(0.85);
    grey->setEnabled(false);
    widget->setGraphicsEffect(grey);
  }
}

void ControlPanelView::BuildTips() {
  SetFunctionKeyTips(ka);
  for (TVyoButton* key : kr) key->setToolTip(TrackKeyTip("the machine on port B"));
  kbank->setToolTip(BankKeyTip());
  csumb->setToolTip("Port B checksum failures (hexadecimal)");
  kediton->setToolTip("Each track-arming command is followed by EDIT ON (20 65)");
  Comb1->setToolTip("Port B: click to choose another port");
  comb2->setToolTip("Opens or closes port B");
  kedit->setToolTip("Edit on: the machine records");
  koff->setToolTip("Edit off");
  kremote->setToolTip("Lit while the machine is in remote");
}

void ControlPanelView::BuildTransportKeys() {
  const std::tuple<TVyoButton*, int, const char*> keys[] = {
      {krwd, kRewindKey, "Rewind"},
      {krvsplay, kReversePlayKey, "Reverse play"},
      {kstop, kStopKey, "Stop"},
      {kplay, kPlayKey, "Play"},
      {kfwd, kFastForwardKey, "Fast forward"},
      {kgoto, kGotoKey, "Locate: type a time code (right click: the clipboard's)"}};
  for (const auto& [button, key, tip] : keys) {
    const QKeySequence sequence(key);
    button->setToolTip(WithKey(tip, sequence.toString(QKeySequence::NativeText)));
    // The panel is the parent: the keys work only while the view is shown.
    auto* shortcut = new QShortcut(sequence, this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, button, [b = button] {
      if (b->OnClick) b->OnClick(b);
    });
  }
}

void ControlPanelView::MirrorLink(const LinkHealth& health, bool portOpen, Micros now) {
  linkb->setText(LinkPanelText('B', health, now));
  const bool lost = portOpen && health.Lost();
  noreply->setVisible(lost);
  const bool greyed = lost || !portOpen;
  if (greyed == greyed_) return;
  greyed_ = greyed;
  for (QWidget* widget : greyable_) widget->graphicsEffect()->setEnabled(greyed);
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
