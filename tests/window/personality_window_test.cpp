// The machine's personality in the window: --personality at start, Machine > "Personality..."
// and "Default personality", the name on the Virtual Machine panel, and a file that cannot be
// used (an error box; the machine keeps the personality it had).
#include <fstream>

#include "WindowFixture.h"

namespace {

class PersonalityWindowTest : public WindowTest {
 protected:
  QString File(const std::string& name, const std::string& text) {
    const auto path = dir.path() / name;
    std::ofstream(path) << text;
    return QString::fromStdString(path.string());
  }
  QString PanelName() const { return w->Panel2->personality->text(); }
};

}  // namespace

TEST_F(PersonalityWindowTest, MenuChoosesAFileOrTheDefaultAndThePanelShowsTheName) {
  personality = "disk-recorder";
  Start(true);
  EXPECT_EQ(PanelName(), "disk-recorder");
  EXPECT_EQ(w->Menu->VmMachine1->title(), "Mac&hine");
  EXPECT_EQ(w->Menu->Personality1->text(), "Personality...");
  EXPECT_EQ(w->Menu->DefaultPersonality1->text(), "Default personality");

  w->Menu->Personality1->trigger();  // Cancel
  Settle();
  EXPECT_EQ(PanelName(), "disk-recorder");

  personalityChoice = File("bad.toml", "name = \"bad\"\n[status]\nbytes = 99\n");
  w->Menu->Personality1->trigger();
  Settle();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(errors.front().contains("bad.toml:3: status.bytes")) << errors.front().toStdString();
  EXPECT_EQ(PanelName(), "disk-recorder");

  personalityChoice = File("deck.toml", "name = \"slow deck\"\n[timing]\nreply_delay_ms = 3\n");
  w->Menu->Personality1->trigger();
  Settle();
  EXPECT_EQ(PanelName(), "slow deck");

  w->Menu->DefaultPersonality1->trigger();
  Settle();
  EXPECT_EQ(PanelName(), "ideal");
  EXPECT_EQ(errors.size(), 1u);
}

TEST_F(PersonalityWindowTest, AStartPersonalityThatCannotBeUsedIsAnErrorBoxAndThePlainMachine) {
  personality = File("broken.toml", "[timing]\nreply_delay = 3\n").toStdString();
  Start(true);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(errors.front().contains("broken.toml:2: timing.reply_delay: unknown key"))
      << errors.front().toStdString();
  EXPECT_EQ(PanelName(), "ideal");
}
