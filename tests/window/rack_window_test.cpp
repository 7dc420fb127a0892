// The rack in the window: File > "Open Rack..." refuses a bad file with an error box and opens a
// good one as the rack view, whose rows follow the machines live; a row opens that machine's
// panel, whose keys drive that machine alone.
#include <fstream>

#include "PtyEditor.h"
#include "SonyBytes.h"
#include "VmPanelView.h"
#include "WindowFixture.h"

namespace {

class RackWindowTest : public WindowTest {
 protected:
  std::string Link(int n) const { return (dir.path() / ("vtr" + std::to_string(n))).string(); }
  QString RackFile(const std::string& name, const std::string& text) {
    const auto path = dir.path() / name;
    std::ofstream(path) << text;
    return QString::fromStdString(path.string());
  }
  QString Cell(int row, int column) const {
    const RackModel& model = w->Rack()->Model();
    return model.data(model.index(row, column), Qt::DisplayRole).toString();
  }
};

}  // namespace

TEST_F(RackWindowTest, OpenRackShowsLiveRowsAndARowOpensItsMachinesPanel) {
  Start(false);
  EXPECT_TRUE(w->Menu->File1->actions().contains(w->Menu->OpenRack1));
  EXPECT_EQ(w->Menu->OpenRack1->text(), "Open Rack...");
  EXPECT_EQ(w->Rack(), nullptr);

  rackChoice =
      RackFile("bad.toml", "[[machine]]\nname = \"deck\"\nport = \"COM1\"\nmachine = 40\n");
  w->Menu->OpenRack1->trigger();
  Settle();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(errors.front().contains("bad.toml:4: machine 1 (\"deck\"): machine:"))
      << errors.front().toStdString();
  EXPECT_EQ(w->Rack(), nullptr);

  std::string text;
  for (int n = 1; n <= 3; ++n)
    text += "[[machine]]\nport = \"pty:" + Link(n) + "\"\nmachine = " + std::to_string(n * 3) +
            "\nstandard = " + std::to_string(n) +
            (n == 3 ? "\npersonality = \"broadcast-vtr\"" : "") + "\n";
  rackChoice = RackFile("rack.toml", text);
  w->Menu->OpenRack1->trigger();
  Settle();
  ASSERT_NE(w->Rack(), nullptr);
  ASSERT_TRUE(WaitFor([&] { return w->Rack()->Model().rowCount() == 3; }));
  EXPECT_TRUE(w->Rack()->isVisible());
  EXPECT_EQ(Cell(1, RackModel::Name), "vtr2");
  EXPECT_EQ(Cell(1, RackModel::Port), QString::fromStdString("pty:" + Link(2)));
  EXPECT_EQ(Cell(1, RackModel::Transport), "stop");
  EXPECT_EQ(Cell(1, RackModel::LastRequest), "-");

  PtyEditor editor(Link(2));
  ASSERT_TRUE(editor.IsOpen());
  EXPECT_EQ(editor.Request(Framed({0x20, 0x01})), Framed({0x10, 0x01}));
  ASSERT_TRUE(WaitFor([&] { return Cell(1, RackModel::Transport) == "play"; }));
  EXPECT_EQ(Cell(0, RackModel::Transport), "stop") << "the others stand still";
  EXPECT_EQ(Cell(2, RackModel::Transport), "stop");
  EXPECT_EQ(Cell(1, RackModel::Rate).toInt(), 1);
  const QString timeCode = Cell(1, RackModel::TimeCode);
  EXPECT_TRUE(WaitFor([&] { return Cell(1, RackModel::TimeCode) != timeCode; }))
      << "the time code runs in the row";

  w->Rack()->OpenMachine(1);
  ASSERT_EQ(w->Rack()->Panels().count(1), 1u);
  VmPanelView* panel = w->Rack()->Panels().at(1)->Panel();
  EXPECT_TRUE(panel->isVisible());
  EXPECT_EQ(panel->window()->windowTitle(), "vtr2 - Bonsai 24P");
  EXPECT_EQ(panel->personality->text(), "ideal");
  EXPECT_TRUE(panel->personality->isVisibleTo(panel));
  w->Rack()->OpenMachine(2);
  EXPECT_EQ(w->Rack()->Panels().at(2)->Panel()->personality->text(), "broadcast-vtr");
  EXPECT_TRUE(panel->vplay->Lit());
  panel->vstop->OnClick(panel->vstop);
  Settle();
  ASSERT_TRUE(WaitFor([&] { return Cell(1, RackModel::Transport) == "stop"; }));
  const std::vector<uint8_t> status = editor.Request(Framed({0x61, 0x20, 0x0F}));
  ASSERT_EQ(status.size(), 18u);
  EXPECT_EQ(status[3] & 0x01, 0) << "the panel's stop reached the machine";
  EXPECT_TRUE(panel->vstop->Lit());
  EXPECT_EQ(errors.size(), 1u);
}
