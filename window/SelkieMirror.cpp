// TSelkieF's side of the engine host's output: snapshots mirrored onto the widgets, monitor
// lines added to the comms monitor, messages shown one after another, and the port prompt
// answered for a host that waits for it.
#include <iostream>

#include "Clock.h"
#include "PanelWidgets.h"
#include "mselkietestu.h"
#include "vcommsu.h"

namespace {

bool SameLayout(const SettingsRecord& a, const SettingsRecord& b) {
  return a.PortANumber == b.PortANumber && a.PortBNumber == b.PortBNumber &&
         a.ShowSyncTest == b.ShowSyncTest && a.ShowVirtualMachine == b.ShowVirtualMachine &&
         a.ShowMachineControl == b.ShowMachineControl && a.ShowOpenClose == b.ShowOpenClose &&
         a.ShowGpo == b.ShowGpo;
}

}  // namespace

void TSelkieF::TakeHostOutput() {
  HostOutput output = host_->TakeOutput();
  if (output.snapshot) Mirror(*output.snapshot);
  if (comms_)
    for (const std::string& line : output.monitorLines)
      comms_->AddLine(QString::fromStdString(line));
  if (comms_) comms_->AddRecords(output.trafficRecords);
  if (output.portQuestion) AskPort(*output.portQuestion);
  ShowErrors(std::move(output.errors));
}

void TSelkieF::AskPort(const PortQuestion& question) {
  if (closing_) return;
  const int answer = Desktop.promptPort(question.entries);
  if (!closing_) host_->AnswerPort(question.id, answer);
}

void TSelkieF::ShowErrors(std::vector<std::string> errors) {
  for (std::string& error : errors) errors_.push_back(QString::fromStdString(error));
  if (closing_) return LogErrors();
  // A box is open already: its loop shows the rest when it closes.
  if (errorShowing_) return;
  errorShowing_ = true;
  while (!errors_.empty() && !closing_) {
    const QString message = errors_.front();
    errors_.pop_front();
    Desktop.showError(message);
  }
  errorShowing_ = false;
  if (closing_) LogErrors();
}

void TSelkieF::LogErrors() {
  for (const QString& error : errors_) std::cerr << "selkietest: " << error.toStdString() << '\n';
  errors_.clear();
}

void TSelkieF::Mirror(const HostSnapshot& snapshot) {
  const bool relayout = !laidOut_ || !SameLayout(snapshot.record, shown_.record);
  shown_ = snapshot;
  laidOut_ = true;
  Panel2->Mirror(snapshot.vm, snapshot.clips);
  Panel2->personality->setText(QString::fromStdString(snapshot.personality));
  MirrorMenus(snapshot.vm);
  Panel1->Mirror(snapshot.controller);
  MirrorRack(snapshot.rack);
  StatusPanels[0]->setText(QString::fromStdString(snapshot.controller.statusText));
  StatusPanels[1]->setText(QString::fromStdString(snapshot.vm.standardPanelText));
  MirrorPorts(snapshot);
  MirrorSync(snapshot);
  MirrorTraffic(snapshot);
  MirrorLinks();
  if (relayout) LayoutViews();
}

namespace {

QString StatusLinkText(char side, const LinkHealth& health, Micros now) {
  return QString("%1%2 %3/%4  t/o %5  cs %6  %7")
      .arg(side)
      .arg(health.Lost() ? " No reply" : "")
      .arg(health.replies)
      .arg(health.requests)
      .arg(health.timeouts)
      .arg(health.checksumErrors)
      .arg(QString::fromStdString(ReplyAgeText(health, now)));
}

}  // namespace

void TSelkieF::MirrorLinks() {
  const Micros now = Now();
  Panel2->MirrorLink(shown_.linkA, now);
  Panel1->MirrorLink(shown_.linkB, shown_.portB.open, now);
  LinkPanels[0]->setText(StatusLinkText('A', shown_.linkA, now));
  LinkPanels[1]->setText(StatusLinkText('B', shown_.linkB, now));
}

void TSelkieF::MirrorMenus(const VmPanel& p) {
  MainMenu::CheckTag(Menu->IdGroup, p.machineChecked);
  MainMenu::CheckTag(Menu->StdGroup, p.standardChecked);
  MainMenu::CheckTag(Menu->UnitGroup, p.mcnNoChecked);
  MainMenu::CheckTag(Menu->TracksGroup, p.tracksChecked);
  Menu->rvslockdir->setChecked(p.rvslockdir);
}

void TSelkieF::MirrorPorts(const HostSnapshot& s) {
  Panel2->coma1->SetLit(s.portA.open);
  Panel2->coma2->SetLit(s.portA.open);
  Panel1->Comb1->SetLit(s.portB.open);
  Panel1->comb2->SetLit(s.portB.open);
  open1->SetLit(s.openLit);
  close1->SetLit(s.closeLit);
  dtra->SetLit(s.portA.dtrLamp);
  rtsa->SetLit(s.portA.rtsLamp);
  DTRB->SetLit(s.portB.dtrLamp);
  rtsb->SetLit(s.portB.rtsLamp);
  // A closed port has no lines to show.
  DSRA->SetLit(s.portA.open && s.lines.dsrA);
  dcda->SetLit(s.portA.open && s.lines.dcdA);
  ria->SetLit(s.portA.open && s.lines.riA);
  dsrb->SetLit(s.portB.open && s.lines.dsrB);
  dcdb->SetLit(s.portB.open && s.lines.dcdB);
  rib->SetLit(s.portB.open && s.lines.riB);
}

void TSelkieF::MirrorTraffic(const HostSnapshot& s) {
  Menu->StopCapture1->setEnabled(s.capturing);
  // One capture at a time: a second one would replace the first without a word.
  Menu->CaptureToFile1->setEnabled(!s.capturing);
  CaptureStatus->setVisible(s.capturing);
  CaptureStatus->setText(s.capturing ? "Capturing to " + QString::fromStdString(s.capturePath)
                                     : QString());
  Menu->BridgeAB1->setChecked(s.bridging);
}

void TSelkieF::MirrorSync(const HostSnapshot& s) {
  vsyncA->SetLit(s.syncA);
  MirrorCaption(vsyncA, s.syncACaption);
  VsyncB->SetLit(s.syncB);
  MirrorCaption(VsyncB, s.syncBCaption);
  MirrorCaption(lostlock, std::to_string(s.lostLock));
}
