#include "VmPanelView.h"

#include <QFont>

#include "PanelTips.h"
#include "PanelWidgets.h"
#include "TrackPanel.h"

namespace {

void MirrorList(QListWidget* list, const std::vector<std::string>& items) {
  bool same = list->count() == static_cast<int>(items.size());
  for (int i = 0; same && i < list->count(); ++i)
    same = list->item(i)->text().toStdString() == items[static_cast<std::size_t>(i)];
  if (same) return;
  list->clear();
  for (const std::string& item : items) list->addItem(QString::fromStdString(item));
}

}  // namespace

VmPanelView::VmPanelView(QWidget* parent) : QFrame(parent) {
  setObjectName("Panel2");
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Raised);
  setAutoFillBackground(true);
  resize(kWidth, kHeight);
  auto* title = MakeLabel(this, "VmTitle", "Virtual Machine", {8, 4, 200, 18});
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  coma1 = MakeKey(this, "coma1", "Com:0", {232, 2, 64, 20});
  coma2 = MakeKey(this, "coma2", "", {300, 2, 20, 20});
  personality = MakeLabel(this, "personality", "ideal", {326, 4, 290, 18});
  BuildTransport();
  BuildTracks();
  DD35Panel1 = BuildClipPanel("DD35Panel1", 8, dd35clips1, lsmid1, "lsmid1", dd35in1, "dd35in1",
                              dd35out1, "dd35out1");
  DD35Panel2 = BuildClipPanel("DD35Panel2", 182, dd35clips2, LSMID2, "LSMID2", dd35in2, "dd35in2",
                              dd35out2, "dd35out2");
  linka = MakeLabel(this, "linka", "", {356, 188, 260, 36});
  linka->setWordWrap(true);
  linka->setToolTip(
      "Port A: requests from the editor, replies, requests left without a reply, checksum "
      "failures, age of the last reply");
  BuildTips();
}

void VmPanelView::BuildTips() {
  SetFunctionKeyTips(ra);
  for (TVyoButton* key : rr) key->setToolTip(TrackKeyTip("the virtual machine"));
  bank->setToolTip(BankKeyTip());
  csuma->setToolTip("Port A checksum failures (hexadecimal)");
  eeon->setToolTip("EE ON: the machine shows its input (electronics to electronics)");
  vlocal->setToolTip(
      "Who drives the machine: both (the panel and the editor), Remote (the editor alone) or "
      "local (the panel alone; the editor's commands are acknowledged)");
  coma1->setToolTip("Port A: click to choose another port");
  coma2->setToolTip("Opens or closes port A");
  const std::pair<TVyoButton*, const char*> keys[] = {
      {vrwd, "Rewind"},  {vrvsplay, "Reverse play"}, {vstop, "Stop"},
      {vplay, "Play"},   {vfwd, "Fast forward"},     {vedit, "Edit on: the machine records"},
      {vOff, "Edit off"}};
  for (const auto& [key, tip] : keys) key->setToolTip(tip);
}

void VmPanelView::MirrorLink(const LinkHealth& health, Micros now) {
  linka->setText(LinkPanelText('A', health, now));
}

void VmPanelView::BuildTransport() {
  vrwd = MakeKey(this, "vrwd", "<<", {8, 24, 40, 30}, LampScheme::Green, kTagRwd);
  vrvsplay = MakeKey(this, "vrvsplay", "<", {52, 24, 40, 30}, LampScheme::Green, kTagRvsPlay);
  vstop = MakeKey(this, "vstop", "[]", {96, 24, 40, 30}, LampScheme::Green, kTagStop);
  vplay = MakeKey(this, "vplay", ">", {140, 24, 40, 30}, LampScheme::Green, kTagPlay);
  vfwd = MakeKey(this, "vfwd", ">>", {184, 24, 40, 30}, LampScheme::Green, kTagFwd);
  vedit = MakeKey(this, "vedit", "EDIT", {236, 24, 50, 30}, LampScheme::Red, kTagEdit);
  vOff = MakeKey(this, "vOff", "Off", {290, 24, 50, 30}, LampScheme::Green, kTagOff);
  vgoto = MakeKey(this, "vgoto", "Goto", {8, 60, 60, 30});
  vlocal = MakeKey(this, "vlocal", "Both", {72, 60, 60, 30}, LampScheme::Amber);
  MarkIn = MakeKey(this, "MarkIn", "In", {136, 60, 44, 30});
  MarkOut = MakeKey(this, "MarkOut", "Out", {184, 60, 44, 30});
  vcued = MakeKey(this, "vcued", "Cued", {8, 96, 52, 24}, LampScheme::Amber);
  vlocked = MakeKey(this, "vlocked", "Locked", {64, 96, 52, 24}, LampScheme::Amber);
  vstill = MakeKey(this, "vstill", "Still", {120, 96, 52, 24}, LampScheme::Amber);
  eeon = MakeKey(this, "eeon", "EE ON", {176, 96, 52, 24}, LampScheme::Amber);
  for (TVyoButton* lamp : {vcued, vlocked, vstill, eeon}) lamp->SetTabStop(false);

  vpoz = MakeLabel(this, "vpoz", "__:__:__:__", {8, 124, 220, 32});
  QFont big("DejaVu Sans Mono");
  big.setPixelSize(26);
  big.setBold(true);
  vpoz->setFont(big);
  vtally = MakeLabel(this, "vtally", "", {8, 158, 220, 18});

  qall = new QCheckBox("cued", this);
  qall->setObjectName("qall");
  qall->setGeometry(236, 60, 110, 18);
  nostill = new QCheckBox("", this);
  nostill->setObjectName("nostill");
  nostill->setGeometry(236, 78, 110, 18);
  nostill->setToolTip("Report STILL while stopped");
  recinhibit = new QCheckBox("Rec Inhibit", this);
  recinhibit->setObjectName("recinhibit");
  recinhibit->setGeometry(236, 96, 110, 18);
  nostatus = new QCheckBox("No Status", this);
  nostatus->setObjectName("nostatus");
  nostatus->setGeometry(236, 114, 110, 18);
  cmdstr = MakeLabel(this, "cmdstr", "", {236, 136, 116, 18});
  csuma = MakeLabel(this, "csuma", "", {236, 156, 40, 18});
}

void VmPanelView::BuildTracks() {
  const TrackPanel tracks(this, {"trackpanel", 'r', "bank", 0});
  trackpanel = tracks.frame;
  rr = tracks.tracks;
  ra = tracks.functions;
  bank = tracks.bank;
}

QGroupBox* VmPanelView::BuildClipPanel(const char* name, int x, QListWidget*& list, QLabel*& lsmId,
                                       const char* lsmIdName, QLabel*& in, const char* inName,
                                       QLabel*& out, const char* outName) {
  auto* panel = new QGroupBox("EVS DD35", this);
  panel->setObjectName(name);
  panel->setGeometry(x, 180, 170, 76);
  list = new QListWidget(panel);
  list->setObjectName(name == std::string("DD35Panel1") ? "dd35clips1" : "dd35clips2");
  list->setGeometry(4, 16, 76, 56);
  auto* group = new QGroupBox("LSM ID", panel);
  group->setGeometry(84, 14, 82, 30);
  lsmId = MakeLabel(group, lsmIdName, "", {4, 14, 74, 14});
  in = MakeLabel(panel, inName, "00:00:00:00", {86, 46, 80, 13});
  out = MakeLabel(panel, outName, "00:00:00:00", {86, 60, 80, 13});
  panel->hide();
  return panel;
}

void VmPanelView::Mirror(const VmPanel& p, const ClipServer& clips) {
  MirrorLamp(vrwd, p.vrwd);
  MirrorLamp(vrvsplay, p.vrvsplay);
  MirrorLamp(vstop, p.vstop);
  MirrorLamp(vplay, p.vplay);
  MirrorLamp(vfwd, p.vfwd);
  MirrorLamp(vedit, p.vedit);
  MirrorLamp(vOff, p.vOff);
  MirrorLamp(vcued, p.vcued);
  MirrorLamp(vlocked, p.vlocked);
  MirrorLamp(vlocal, p.vlocal);
  MirrorCaption(vlocal, p.vlocalCaption);
  MirrorText(vtally, p.vtally);
  MirrorText(vpoz, p.vpoz);
  MirrorText(cmdstr, p.cmdstr);
  MirrorText(csuma, p.csuma);
  qall->setChecked(p.qall);
  nostill->setChecked(p.nostill);
  recinhibit->setChecked(p.recinhibit);
  nostatus->setChecked(p.nostatus);
  for (std::size_t i = 0; i < rr.size(); ++i) {
    MirrorLamp(rr[i], p.rr[i]);
    MirrorCaption(rr[i], p.rrCaption[i]);
  }
  for (std::size_t i = 0; i < ra.size(); ++i) MirrorLamp(ra[i], p.ra[i]);
  MirrorLamp(bank, p.bank);
  MirrorCaption(bank, p.bankCaption);
  DD35Panel1->setVisible(p.clipPanelsVisible);
  DD35Panel2->setVisible(p.clipPanelsVisible);
  MirrorClips(clips);
}

void VmPanelView::MirrorClips(const ClipServer& clips) {
  MirrorList(dd35clips1, clips.List(1));
  MirrorList(dd35clips2, clips.List(2));
  MirrorText(lsmid1, clips.LsmIdLabel(1));
  MirrorText(LSMID2, clips.LsmIdLabel(2));
  MirrorText(dd35in1, clips.InLabel(1));
  MirrorText(dd35out1, clips.OutLabel(1));
  MirrorText(dd35in2, clips.InLabel(2));
  MirrorText(dd35out2, clips.OutLabel(2));
}
