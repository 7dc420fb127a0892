// Link health in the window: "No reply" with the controller's time code and lamps greyed after
// three unanswered polls, recovery on the next reply, the counts in the panels and the status
// bar, and dark line lamps once the ports are closed.
#include <QGraphicsEffect>

#include "OwnerLoop.h"
#include "PortMap.h"
#include "WindowFixture.h"

namespace {

// A machine on the far end of the virtual cable that answers one time-code request.
void AnswerOnce(const std::vector<uint8_t>& reply) {
  auto loop = std::make_shared<OwnerLoop>();
  TSerialPort far(loop);
  far.SetComNumber(PortMap::kCableA);
  far.SetOpen(true);
  far.WriteString(reply);
  far.SetOpen(false);
  loop->Pump();
}

}  // namespace

TEST_F(WindowTest, SilentMachineShowsNoReplyGreyedAndComesBackOnAReply) {
  record.ShowMachineControl = 1;
  record.PortBNumber = PortMap::kCableB;  // nothing on the other end
  writeSettings = true;
  Start();
  ASSERT_TRUE(w->Shown().portB.open);
  ControlPanelView& panel = *w->Panel1;
  EXPECT_FALSE(panel.noreply->isVisible()) << "no verdict before three polls";
  ASSERT_TRUE(WaitFor([&] { return panel.noreply->isVisible(); }, 5000));
  EXPECT_TRUE(panel.Greyed());
  EXPECT_EQ(panel.bpoz->text(), "__:__:__:__") << "greyed, not blanked";
  EXPECT_EQ(panel.name->text(), "Name");
  EXPECT_TRUE(panel.kcued->graphicsEffect()->isEnabled());
  EXPECT_GE(w->Shown().linkB.timeouts, 3u);
  EXPECT_TRUE(w->LinkPanels[1]->text().startsWith("B No reply 0/"))
      << w->LinkPanels[1]->text().toStdString();
  EXPECT_TRUE(panel.linkb->text().contains("last reply none")) << panel.linkb->text().toStdString();

  AnswerOnce({0x74, 0x04, 0x15, 0x00, 0x00, 0x01, 0x8E});  // 01:00:00:15
  ASSERT_TRUE(WaitFor([&] { return !panel.noreply->isVisible(); }));
  EXPECT_FALSE(panel.Greyed());
  EXPECT_FALSE(panel.kcued->graphicsEffect()->isEnabled());
  EXPECT_EQ(panel.bpoz->text(), "01:00:00:15");
  EXPECT_EQ(w->Shown().linkB.replies, 1u);
  EXPECT_TRUE(w->LinkPanels[1]->text().startsWith("B 1/"))
      << w->LinkPanels[1]->text().toStdString();
}

TEST_F(WindowTest, DemoCountsBothLinksAndClosedPortsShowDarkLinesAndAGreyPanel) {
  Start(/*demo=*/true);
  ASSERT_TRUE(WaitFor([&] { return w->Shown().linkB.replies >= 3 && w->DSRA->Lit(); }));
  EXPECT_TRUE(w->dsrb->Lit());
  EXPECT_GE(w->Shown().linkA.requests, 3u) << "port B's polls are port A's requests";
  EXPECT_EQ(w->Shown().linkA.timeouts, 0u);
  EXPECT_FALSE(w->Panel1->Greyed());
  EXPECT_TRUE(w->Panel2->linka->text().startsWith("Port A  req "))
      << w->Panel2->linka->text().toStdString();
  EXPECT_FALSE(w->Panel2->linka->text().contains("last reply none"));

  w->close1Click();
  Settle();
  for (TVyoButton* lamp : {w->DSRA, w->dsrb, w->dcda, w->dcdb, w->ria, w->rib})
    EXPECT_FALSE(lamp->Lit()) << lamp->objectName().toStdString();
  EXPECT_FALSE(w->Shown().lines.dsrA) << "the host reads the closed lines, not only the window";
  EXPECT_TRUE(w->Panel1->Greyed()) << "a closed port B shows its last values greyed";
  EXPECT_FALSE(w->Panel1->noreply->isVisible()) << "closed is not silent";
}
