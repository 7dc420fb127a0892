// A rack machine's own window: its "Virtual Machine" panel, wired to that machine alone, under
// the "Mcn" (Enter ID included), "STD", "Mcn No." and "Tracks" menus that change its identity,
// standard, unit number and track count. The title names the machine and what it poses as;
// everything mirrors the machine's row.
#pragma once

#include <QActionGroup>
#include <QMenuBar>
#include <QWidget>

#include "RackRow.h"
#include "VmPanelWiring.h"

class VmPanelView;

class RackPanelWindow : public QWidget {
 public:
  // `post` runs a call in this window's machine; `runKeypad` asks the keypad for a Goto entry;
  // `enterId` runs "Enter ID" for the machine, offering `initial` first.
  RackPanelWindow(const RackRow& row,
                  std::function<void(std::function<void(VirtualMachine&)>)> post,
                  std::function<GotoAnswer(const QString& title)> runKeypad,
                  std::function<void(const QString& initial)> enterId, QWidget* parent);

  void Mirror(const RackRow& row);

  VmPanelView* Panel() const { return panel_; }
  QMenuBar* Bar() const { return bar_; }
  QActionGroup* Identities() const { return identities_; }
  QActionGroup* Standards() const { return standards_; }
  QActionGroup* UnitNumbers() const { return units_; }
  QActionGroup* TrackCounts() const { return tracks_; }

 private:
  void BuildMenus(const std::function<void(std::function<void(VirtualMachine&)>)>& post,
                  const std::function<void(const QString&)>& enterId);

  VmPanelView* panel_;
  QMenuBar* bar_;
  QActionGroup* identities_ = nullptr;
  QActionGroup* standards_ = nullptr;
  QActionGroup* units_ = nullptr;
  QActionGroup* tracks_ = nullptr;
  bool remote_ = false;  // the machine's panel keys are off: Goto shows no keypad
  QString enterIdText_;  // the machine's device type, which "Enter ID" offers first
};

// "vtr2 - Pro-Tools EBU": the machine's name, identity and standard.
QString RackMachineTitle(const RackRow& row);
// "Pro-Tools EBU".
QString RackIdentityText(const RackRow& row);
