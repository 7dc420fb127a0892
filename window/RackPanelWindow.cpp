#include "RackPanelWindow.h"

#include <QVBoxLayout>

#include "MachineIdentity.h"
#include "MainMenu.h"
#include "VmPanelView.h"

namespace {

// The mode key's lamp level in Remote mode, where the panel's transport keys and Goto do nothing.
constexpr uint8_t kRemoteLamp = 3;
// The standards in the order of the main window's "STD" menu.
constexpr int kStandardOrder[] = {2, 0, 1, 3};

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QActionGroup* RadioMenu(QMenuBar* bar, const char* name, const QString& title) {
  QMenu* menu = bar->addMenu(title);
  menu->setObjectName(name);
  auto* group = new QActionGroup(menu);
  // A machine may stand on no item (an entered ID): none checked is allowed.
  group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  return group;
}

void AddRadioItem(QActionGroup* group, std::string_view name, std::string_view caption, int tag) {
  auto* menu = static_cast<QMenu*>(group->parent());
  QAction* action = menu->addAction(Text(caption));
  action->setObjectName(Text(name));
  action->setCheckable(true);
  action->setData(tag);
  group->addAction(action);
}

}  // namespace

QString RackIdentityText(const RackRow& row) {
  return Text(IdentityOf(row.machine).caption) + " " +
         Text(StandardOf(static_cast<uint8_t>(row.standard)).caption);
}

QString RackMachineTitle(const RackRow& row) {
  return QString::fromStdString(row.name) + " - " + RackIdentityText(row);
}

RackPanelWindow::RackPanelWindow(const RackRow& row,
                                 std::function<void(std::function<void(VirtualMachine&)>)> post,
                                 std::function<GotoAnswer(const QString& title)> runKeypad,
                                 std::function<void(const QString& initial)> enterId,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window), panel_(new VmPanelView(this)), bar_(new QMenuBar(this)) {
  setObjectName("RackPanelWindow");
  setAttribute(Qt::WA_DeleteOnClose);
  // Port A's lamps and link line belong to the main window's machine.
  for (QWidget* portA :
       std::initializer_list<QWidget*>{panel_->coma1, panel_->coma2, panel_->linka})
    portA->hide();
  panel_->setFixedSize(VmPanelView::kWidth, VmPanelView::kHeight);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setMenuBar(bar_);
  layout->addWidget(panel_);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  BuildMenus(post, enterId);
  WireVmPanelControls(*panel_, this, {std::move(post), [this, ask = std::move(runKeypad)] {
                                        return remote_ ? GotoAnswer{} : ask(windowTitle());
                                      }});
  Mirror(row);
}

void RackPanelWindow::BuildMenus(
    const std::function<void(std::function<void(VirtualMachine&)>)>& post,
    const std::function<void(const QString&)>& enterId) {
  identities_ = RadioMenu(bar_, "ID1", "&Mcn");
  for (int tag = 0; tag < kMachineTypes; ++tag)
    AddRadioItem(identities_, IdentityOf(tag).item, IdentityOf(tag).caption, tag);
  AddRadioItem(identities_, "EnterID1", "Enter ID", kEnterIdItem);
  standards_ = RadioMenu(bar_, "Std1", "&STD");
  for (int tag : kStandardOrder)
    AddRadioItem(standards_, StandardOf(static_cast<uint8_t>(tag)).item,
                 StandardOf(static_cast<uint8_t>(tag)).caption, tag);
  // The machine has no settings record: what the calls say about saving does not apply.
  // Choosing the checked item again unchecks it until the next mirror checks it again.
  connect(identities_, &QActionGroup::triggered, this, [this, post, enterId](QAction* item) {
    const int tag = item->data().toInt();
    if (tag == kEnterIdItem) {
      enterId(enterIdText_);
      return;
    }
    post([tag](VirtualMachine& vm) { vm.DA881Click(tag); });
  });
  connect(standards_, &QActionGroup::triggered, this, [post](QAction* item) {
    post([tag = item->data().toInt()](VirtualMachine& vm) { vm.N24P1Click(tag); });
  });
  units_ = RadioMenu(bar_, "Machine1", "Mcn &No.");
  for (const MenuItemText& item : kUnitNumberItems)
    AddRadioItem(units_, item.name, item.caption, item.tag);
  connect(units_, &QActionGroup::triggered, this, [post](QAction* item) {
    post([tag = item->data().toInt()](VirtualMachine& vm) { vm.None1Click(tag); });
  });
  tracks_ = RadioMenu(bar_, "Tracks1", "T&racks");
  for (const MenuItemText& item : kTrackCountItems)
    AddRadioItem(tracks_, item.name, item.caption, item.tag);
  connect(tracks_, &QActionGroup::triggered, this, [post](QAction* item) {
    post([tag = item->data().toInt()](VirtualMachine& vm) { vm.Normal1Click(tag); });
  });
}

void RackPanelWindow::Mirror(const RackRow& row) {
  setWindowTitle(RackMachineTitle(row));
  panel_->Mirror(row.panel, row.clips);
  panel_->personality->setText(QString::fromStdString(row.personality));
  MainMenu::CheckTag(identities_, row.panel.machineChecked);
  MainMenu::CheckTag(standards_, row.panel.standardChecked);
  MainMenu::CheckTag(units_, row.panel.mcnNoChecked);
  MainMenu::CheckTag(tracks_, row.panel.tracksChecked);
  remote_ = row.panel.vlocal == kRemoteLamp;
  enterIdText_ = QString::fromStdString(row.enterIdText);
}
