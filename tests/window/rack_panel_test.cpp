// A rack machine's own window, on a two-machine rack served by a real host on ptys: its keys,
// check boxes and Goto (through the main window's keypad) reach that machine alone, and its
// "Mcn" and "STD" menus change what that machine answers to device type.
#include <QTest>

#include "KeypadU.h"
#include "LoneMachine.h"
#include "MachineIdentity.h"
#include "PtyEditor.h"
#include "SonyBytes.h"
#include "SonyCommands.h"
#include "VmPanelView.h"
#include "WindowFixture.h"

namespace {

using sony::kS3InStored;
using sony::kS8RecInhibit;

const std::vector<uint8_t> kDeviceType = Framed({0x00, 0x11});
const std::vector<uint8_t> kStatus = Framed({0x61, 0x20, 0x0F});  // status bytes 0..14
const std::vector<uint8_t> kTime = Framed({0x61, 0x0C, 0x01});    // LTC time

// What a lone machine of this identity and standard answers to device type.
std::vector<uint8_t> DeviceTypeOf(int machine, int standard) {
  VirtualMachine vm;
  StartLone(vm, machine, standard);
  return vm.DataAvailable(kDeviceType, VmEventContext{}).ReplyBytes();
}

class RackPanelTest : public WindowTest {
 protected:
  static constexpr int kIdentity[] = {3, 11};
  static constexpr int kStandard[] = {0, 1};

  void StartRack() {
    adjustConfig = [this](SelkieConfig& config) {
      for (int i = 0; i < 2; ++i) {
        RackEntry entry;
        entry.name = "vtr" + std::to_string(i + 1);
        entry.port = "pty:" + Link(i);
        entry.machine = kIdentity[i];
        entry.standard = kStandard[i];
        config.rack.push_back(entry);
      }
      config.adjustDesktop = [this, base = config.adjustDesktop](SelkieDesktop& desktop) {
        base(desktop);
        desktop.enterId = [this](const QString& initial) {
          idOffered = initial;
          return idAnswer;
        };
      };
    };
    Start();
    ASSERT_TRUE(WaitFor([&] { return w->Rack() && w->Rack()->Model().rowCount() == 2; }));
    for (int i = 0; i < 2; ++i) {
      editors[i] = std::make_unique<PtyEditor>(Link(i));
      ASSERT_TRUE(editors[i]->IsOpen()) << i;
    }
  }

  std::string Link(int i) const { return (dir.path() / ("vtr" + std::to_string(i + 1))).string(); }

  // Opens machine `row`'s window as the user does: a double-click on its row.
  RackPanelWindow* OpenByDoubleClick(int row) {
    QTableView* table = w->Rack()->Table();
    const QPoint at = table->visualRect(w->Rack()->Model().index(row, RackModel::Name)).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, at);
    const auto it = w->Rack()->Panels().find(static_cast<std::size_t>(row));
    return it == w->Rack()->Panels().end() ? nullptr : it->second;
  }

  const RackRow& Row(int i) const { return w->Shown().rack.at(static_cast<std::size_t>(i)); }

  std::array<std::unique_ptr<PtyEditor>, 2> editors;
  QString idOffered;                // what "Enter ID" offered
  std::optional<QString> idAnswer;  // and what the user typed (none: Cancel)
};

QAction* ItemTagged(QActionGroup* group, int tag) {
  for (QAction* action : group->actions())
    if (action->data().toInt() == tag) return action;
  return nullptr;
}

}  // namespace

TEST_F(RackPanelTest, APanelsKeysBoxesAndGotoReachItsMachineAlone) {
  StartRack();
  int keypadRuns = 0;
  QString keypadTitle;
  w->Desktop.runKeypad = [&](const QString& title) {
    ++keypadRuns;
    keypadTitle = title;
    keypad->Logic().ClearEntry();
    keypad->Logic().PasteEntry("01:02:03:04");
    return KeypadU::kModalOk;
  };
  const VmPanel portA = w->Shown().vm;
  RackPanelWindow* window = OpenByDoubleClick(1);
  ASSERT_NE(window, nullptr);
  VmPanelView* panel = window->Panel();
  ASSERT_TRUE(panel->isVisible());

  QTest::mouseClick(panel->rr[0], Qt::LeftButton);
  QTest::mouseClick(panel->recinhibit, Qt::LeftButton);
  QTest::mouseClick(panel->MarkIn, Qt::LeftButton);
  QTest::mouseClick(panel->vgoto, Qt::LeftButton);
  Settle();
  EXPECT_EQ(keypadRuns, 1);
  EXPECT_EQ(keypadTitle, window->windowTitle()) << "the keypad names the machine it moves";
  ASSERT_TRUE(WaitFor([&] { return Row(1).panel.rr[0] != kLampOff; }));
  EXPECT_EQ(Row(0).panel.rr[0], kLampOff);
  EXPECT_TRUE(panel->recinhibit->isChecked()) << "the panel mirrors its machine";
  // Over the ptys: rec inhibit, the stored IN point and the Goto's time on machine 2 alone.
  const auto hmsf = [](const std::vector<uint8_t>& t) {
    return t.size() == 7u ? std::vector<int>{t[5] & 0x3F, t[4] & 0x7F, t[3] & 0x7F, t[2] & 0x3F}
                          : std::vector<int>{};
  };
  for (int i = 0; i < 2; ++i) {
    const bool driven = i == 1;
    const std::vector<uint8_t> status = editors[i]->Request(kStatus);
    ASSERT_EQ(status.size(), 18u) << i;
    EXPECT_EQ((status[2 + 8] & kS8RecInhibit) != 0, driven) << i;
    EXPECT_EQ((status[2 + 3] & kS3InStored) != 0, driven) << i;
    const std::vector<int> want = driven ? std::vector<int>{1, 2, 3, 4} : std::vector<int>(4, 0);
    EXPECT_EQ(hmsf(editors[i]->Request(kTime)), want) << i;
  }

  // In Remote the panel's Goto asks nothing.
  QTest::mouseClick(panel->vlocal, Qt::LeftButton);
  Settle();
  ASSERT_EQ(Row(1).panel.vlocalCaption, "Remote");
  QTest::mouseClick(panel->vgoto, Qt::LeftButton);
  Settle();
  EXPECT_EQ(keypadRuns, 1);

  EXPECT_EQ(w->Shown().vm, portA) << "port A's machine saw none of it";
  // And the main panel's Goto, wired the same way, moves port A's machine alone.
  QTest::mouseClick(w->Panel2->vgoto, Qt::LeftButton);
  Settle();
  EXPECT_EQ(keypadRuns, 2);
  int32_t portAPosition = -1;
  w->Host().Call([&](HostCore& host) {
    host.Vm([&](VirtualMachine& vm) { portAPosition = vm.Port().Position; });
  });
  EXPECT_EQ(portAPosition, ((1 * 60 + 2) * 60 + 3) * 25 + 4) << "EBU frames of 01:02:03:04";
  EXPECT_EQ(hmsf(editors[0]->Request(kTime)), (std::vector<int>{0, 0, 0, 0}));
}

TEST_F(RackPanelTest, APanelsMenusChangeItsMachinesIdentityAndStandardAlone) {
  StartRack();
  RackPanelWindow* window = OpenByDoubleClick(0);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle(), "vtr1 - Virtual VTR EBU");
  ASSERT_NE(window->Identities()->checkedAction(), nullptr);
  EXPECT_EQ(window->Identities()->checkedAction()->data().toInt(), kIdentity[0]);
  EXPECT_EQ(window->Standards()->checkedAction()->data().toInt(), kStandard[0]);
  EXPECT_EQ(editors[0]->Request(kDeviceType), DeviceTypeOf(kIdentity[0], kStandard[0]));

  constexpr int kNewIdentity = 5;  // "Pro-Tools"
  constexpr int kNewStandard = 2;  // "24P"
  ItemTagged(window->Identities(), kNewIdentity)->trigger();
  ItemTagged(window->Standards(), kNewStandard)->trigger();
  Settle();
  ASSERT_TRUE(WaitFor([&] { return window->windowTitle() == "vtr1 - Pro-Tools 24P"; }))
      << window->windowTitle().toStdString();
  EXPECT_EQ(Row(0).machine, kNewIdentity);
  EXPECT_EQ(Row(0).standard, kNewStandard);
  EXPECT_EQ(window->Identities()->checkedAction()->data().toInt(), kNewIdentity);
  EXPECT_EQ(window->Standards()->checkedAction()->data().toInt(), kNewStandard);
  EXPECT_EQ(editors[0]->Request(kDeviceType), DeviceTypeOf(kNewIdentity, kNewStandard));
  EXPECT_EQ(editors[1]->Request(kDeviceType), DeviceTypeOf(kIdentity[1], kStandard[1]))
      << "the other machine answers as its own";
  EXPECT_EQ(w->Shown().vm.machineChecked, 0) << "port A's machine keeps its identity";

  // Unit number and track count go to its device type too, as a lone machine's would.
  ItemTagged(window->UnitNumbers(), 2)->trigger();
  ItemTagged(window->TrackCounts(), 32)->trigger();
  Settle();
  VirtualMachine numbered;
  StartLone(numbered, kNewIdentity, kNewStandard);
  numbered.None1Click(2);
  numbered.Normal1Click(32);
  const std::vector<uint8_t> numberedType =
      numbered.DataAvailable(kDeviceType, VmEventContext{}).ReplyBytes();
  ASSERT_NE(numberedType, DeviceTypeOf(kNewIdentity, kNewStandard)) << "the test must see it";
  EXPECT_EQ(editors[0]->Request(kDeviceType), numberedType);
  ASSERT_TRUE(WaitFor([&] { return window->TrackCounts()->checkedAction() != nullptr; }));
  EXPECT_EQ(window->TrackCounts()->checkedAction()->data().toInt(), 32);
  EXPECT_EQ(window->UnitNumbers()->checkedAction()->data().toInt(), 2);
  EXPECT_EQ(editors[1]->Request(kDeviceType), DeviceTypeOf(kIdentity[1], kStandard[1]));
  ItemTagged(window->UnitNumbers(), 0)->trigger();
  ItemTagged(window->TrackCounts(), 0)->trigger();
  Settle();
  EXPECT_EQ(editors[0]->Request(kDeviceType), DeviceTypeOf(kNewIdentity, kNewStandard));

  // Choosing the checked item again leaves it the machine's choice.
  ItemTagged(window->Identities(), kNewIdentity)->trigger();
  Settle();
  ASSERT_NE(window->Identities()->checkedAction(), nullptr);
  EXPECT_EQ(window->Identities()->checkedAction()->data().toInt(), kNewIdentity);

  // Enter ID offers the machine's own device type and gives it the one typed; a bad one is an
  // error naming the machine.
  VirtualMachine entered;
  StartLone(entered, kNewIdentity, kNewStandard);
  const std::string offered = entered.EnterIdInitialText();
  entered.EnterID1Click("$F01D");
  idAnswer = QStringLiteral("$F01D");
  ItemTagged(window->Identities(), kEnterIdItem)->trigger();
  Settle();
  EXPECT_EQ(idOffered.toStdString(), offered);
  EXPECT_EQ(editors[0]->Request(kDeviceType),
            entered.DataAvailable(kDeviceType, VmEventContext{}).ReplyBytes());
  EXPECT_EQ(editors[1]->Request(kDeviceType), DeviceTypeOf(kIdentity[1], kStandard[1]));
  ASSERT_TRUE(WaitFor([&] { return window->Identities()->checkedAction() != nullptr; }));
  EXPECT_EQ(window->Identities()->checkedAction()->data().toInt(), kEnterIdItem);
  idAnswer = QStringLiteral("nonsense");
  ItemTagged(window->Identities(), kEnterIdItem)->trigger();
  Settle();
  ASSERT_TRUE(WaitFor([&] { return !errors.empty(); }));
  EXPECT_TRUE(errors.back().startsWith("vtr1: ")) << errors.back().toStdString();
}
