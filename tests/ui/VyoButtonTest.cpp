#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QWindow>
#include <functional>
#include <string>
#include <vector>

#include "QtTestApp.h"
#include "VyoButton.h"

namespace {

const QColor kRed(0xFF, 0, 0);
const QColor kBlue(0, 0, 0xFF);
const QColor kGreen(0, 0xC0, 0);
const QColor kYellow(0xFF, 0xFF, 0);

// Counts paint events of one widget.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

class VyoButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.resize(200, 100);
    button = new TVyoButton(&host);
    button->move(10, 10);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    button->OnClick = [this](TVyoButton*) { events.push_back("click"); };
    button->OnRightClick = [this](TVyoButton*) { events.push_back("right"); };
    button->OnUpdTimer = [this](TVyoButton*, bool down) { events.push_back(down ? "down" : "up"); };
  }

  // Paint events caused by one change, after pending ones have been handled.
  template <typename Change>
  int PaintsFor(Change change) {
    QCoreApplication::processEvents();
    PaintCounter counter;
    button->installEventFilter(&counter);
    change();
    QCoreApplication::processEvents();
    button->removeEventFilter(&counter);
    return counter.paints;
  }

  QWidget host;
  TVyoButton* button = nullptr;
  std::vector<std::string> events;
};

TEST_F(VyoButtonTest, NewButtonHasTheDesignedDefaults) {
  TVyoButton fresh;
  EXPECT_EQ(fresh.size(), QSize(80, 20));
  EXPECT_TRUE(fresh.TabStop());
  EXPECT_EQ(fresh.CornerStyle(), zqcRound);
  EXPECT_EQ(fresh.CornerRadius(), 2);
  EXPECT_EQ(fresh.RingWidth(), 1);
  EXPECT_FALSE(fresh.Lit());
  EXPECT_EQ(fresh.LitState(), 0);
  EXPECT_EQ(fresh.Colors().Color(TZQColors::Fill_Lit), QColor(0xC0, 0xC0, 0xC0));
  EXPECT_EQ(fresh.Colors().Color(TZQColors::Text_Dim2), QColor(0, 0, 0));
  EXPECT_EQ(fresh.Colors().Color(TZQColors::Ring_Disabled), QColor(0x80, 0x80, 0x80));
}

TEST_F(VyoButtonTest, LitStateZeroKeepsLitSoLitTrueIsNoChange) {
  button->SetLitState(2);
  EXPECT_TRUE(button->Lit());
  button->SetLitState(0);
  EXPECT_TRUE(button->Lit());
  EXPECT_EQ(PaintsFor([&] { button->SetLit(true); }), 0);
  EXPECT_EQ(button->LitState(), 0);

  button->SetLit(false);
  EXPECT_EQ(PaintsFor([&] { button->SetLit(true); }), 1);
  EXPECT_EQ(button->LitState(), 3);
  button->SetLit(false);
  EXPECT_EQ(button->LitState(), 0);
}

TEST_F(VyoButtonTest, OutOfRangeLevelAndRingWidthAreIgnored) {
  button->SetLitState(1);
  button->SetLitState(4);
  button->SetLitState(-1);
  EXPECT_EQ(button->LitState(), 1);
  EXPECT_EQ(PaintsFor([&] { button->SetLitState(1); }), 0);
  button->SetRingWidth(3);
  button->SetRingWidth(4);
  button->SetRingWidth(-1);
  EXPECT_EQ(button->RingWidth(), 3);
}

TEST_F(VyoButtonTest, CornerRadiusIsStoredDoubledAndShapesTheFace) {
  button->SetCornerRadius(5);
  EXPECT_EQ(button->CornerRadius(), 5);
  button->Colors().SetColor(TZQColors::Ring_Off, kBlue);
  button->SetCornerStyle(zqcSquare);
  EXPECT_EQ(PixelAt(Painted(*button), 0, 0), kBlue);
  button->SetCornerStyle(zqcRound);
  EXPECT_NE(PixelAt(Painted(*button), 0, 0), kBlue);
  EXPECT_EQ(PixelAt(Painted(*button), 0, 10), kBlue);
}

TEST_F(VyoButtonTest, FaceAndRingTakeTheColoursOfTheLevel) {
  TZQColors colors;
  colors.SetColor(TZQColors::Fill_Dim1, kYellow);
  colors.SetColor(TZQColors::Ring_Dim1, kGreen);
  colors.SetColor(TZQColors::Fill_Lit, kRed);
  colors.SetColor(TZQColors::Ring_Lit, kBlue);
  button->SetColors(colors);

  button->SetLitState(1);
  QImage image = Painted(*button);
  EXPECT_EQ(PixelAt(image, 40, 10), kYellow);
  EXPECT_EQ(PixelAt(image, 0, 10), kGreen);

  button->SetLitState(3);
  image = Painted(*button);
  EXPECT_EQ(PixelAt(image, 40, 10), kRed);
  EXPECT_EQ(PixelAt(image, 0, 10), kBlue);
  EXPECT_EQ(PixelAt(image, 1, 10), kRed);
}

TEST_F(VyoButtonTest, RingWidensByTwoWhileHeld) {
  button->Colors().SetColor(TZQColors::Fill_Off, kYellow);
  button->Colors().SetColor(TZQColors::Ring_Off, kBlue);
  QTest::mousePress(button, Qt::LeftButton, {}, QPoint(40, 10));
  ASSERT_TRUE(button->Timedout());
  QImage image = Painted(*button);
  EXPECT_EQ(PixelAt(image, 2, 10), kBlue);
  EXPECT_EQ(PixelAt(image, 3, 10), kYellow);
  QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(40, 10));
  image = Painted(*button);
  EXPECT_EQ(PixelAt(image, 0, 10), kBlue);
  EXPECT_EQ(PixelAt(image, 1, 10), kYellow);
}

TEST_F(VyoButtonTest, RingWidthZeroShowsNoOutlineEvenWhileHeld) {
  button->Colors().SetColor(TZQColors::Fill_Off, kYellow);
  button->Colors().SetColor(TZQColors::Ring_Off, kBlue);
  button->SetCornerStyle(zqcSquare);
  button->SetRingWidth(0);
  EXPECT_EQ(PixelAt(Painted(*button), 0, 10), kYellow);
  QTest::mousePress(button, Qt::LeftButton, {}, QPoint(40, 10));
  const QImage held = Painted(*button);
  EXPECT_EQ(PixelAt(held, 0, 10), kYellow);
  EXPECT_EQ(PixelAt(held, 1, 10), kYellow);
  EXPECT_EQ(PixelAt(held, 0, 0), kYellow);
}

TEST_F(VyoButtonTest, LeftClickReportsDownClickUpInOrder) {
  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(40, 10));
  EXPECT_EQ(events, (std::vector<std::string>{"down", "click", "up"}));
  EXPECT_FALSE(button->Timedout());
}

TEST_F(VyoButtonTest, RightClickReportsOnRightClickOnly) {
  QTest::mouseClick(button, Qt::RightButton, {}, QPoint(40, 10));
  EXPECT_EQ(events, (std::vector<std::string>{"down", "right", "up"}));
}

// Both buttons down together: each press reports "down"; the first release ends the press with
// OnRightClick, then OnClick, then "up", whichever button comes up first; the second fires nothing.
TEST_F(VyoButtonTest, LeftAndRightChordReportsRightThenClickOnTheFirstRelease) {
  const std::vector<std::string> chord{"down", "down", "right", "click", "up"};
  struct Order {
    Qt::MouseButton firstDown, secondDown, firstUp, secondUp;
  };
  const Order orders[] = {
      {Qt::LeftButton, Qt::RightButton, Qt::LeftButton, Qt::RightButton},
      {Qt::LeftButton, Qt::RightButton, Qt::RightButton, Qt::LeftButton},
      {Qt::RightButton, Qt::LeftButton, Qt::LeftButton, Qt::RightButton},
      {Qt::RightButton, Qt::LeftButton, Qt::RightButton, Qt::LeftButton},
  };
  for (const Order& order : orders) {
    SCOPED_TRACE(std::to_string(order.firstDown) + " down first, " + std::to_string(order.firstUp) +
                 " up first");
    events.clear();
    QTest::mousePress(button, order.firstDown, {}, QPoint(40, 10));
    QTest::mousePress(button, order.secondDown, {}, QPoint(40, 10));
    QTest::mouseRelease(button, order.firstUp, {}, QPoint(40, 10));
    EXPECT_FALSE(button->Timedout());
    QTest::mouseRelease(button, order.secondUp, {}, QPoint(40, 10));
    EXPECT_EQ(events, chord);
  }
}

// Each setter repaints only when the stored value changes (CornerRadius compared undoubled);
// CornerStyle repaints always.
TEST_F(VyoButtonTest, SettersRepaintOnlyOnChange) {
  struct Row {
    const char* change;
    std::function<void(TVyoButton&)> apply;
    int paints;
  };
  const Row rows[] = {
      {"CornerRadius 2, the default", [](TVyoButton& b) { b.SetCornerRadius(2); }, 0},
      {"CornerRadius 5", [](TVyoButton& b) { b.SetCornerRadius(5); }, 1},
      {"CornerRadius 5 again", [](TVyoButton& b) { b.SetCornerRadius(5); }, 0},
      {"CornerRadius 0", [](TVyoButton& b) { b.SetCornerRadius(0); }, 1},
      {"CornerRadius 0 again", [](TVyoButton& b) { b.SetCornerRadius(0); }, 0},
      {"RingWidth 1, the default", [](TVyoButton& b) { b.SetRingWidth(1); }, 0},
      {"RingWidth 4, out of range", [](TVyoButton& b) { b.SetRingWidth(4); }, 0},
      {"RingWidth 2", [](TVyoButton& b) { b.SetRingWidth(2); }, 1},
      {"Clear false, as it is", [](TVyoButton& b) { b.SetClear(false); }, 0},
      {"Caption empty, as it is", [](TVyoButton& b) { b.SetCaption(QString()); }, 0},
      {"Caption PLAY", [](TVyoButton& b) { b.SetCaption(QStringLiteral("PLAY")); }, 1},
      {"CornerStyle round, as it is", [](TVyoButton& b) { b.SetCornerStyle(zqcRound); }, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.change);
    EXPECT_EQ(PaintsFor([&] { row.apply(*button); }), row.paints);
  }
  EXPECT_EQ(button->CornerRadius(), 0);
}

TEST_F(VyoButtonTest, MouseDownReportsWhichButtonBeforeTheHeldLogic) {
  button->OnMouseDown = [this](TVyoButton* sender, Qt::MouseButton which) {
    EXPECT_EQ(sender, button);
    EXPECT_FALSE(sender->Timedout());
    events.push_back("mousedown " + std::to_string(static_cast<int>(which)));
  };
  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(40, 10));
  QTest::mouseClick(button, Qt::RightButton, {}, QPoint(40, 10));
  QTest::mouseClick(button, Qt::MiddleButton, {}, QPoint(40, 10));
  EXPECT_EQ(events, (std::vector<std::string>{"mousedown 1", "down", "click", "up",  //
                                              "mousedown 2", "down", "right", "up",  //
                                              "mousedown 4", "down", "up"}));
}

// Deleting the button deletes its handlers too; the running handler must still reach its end
// (the sanitizer build catches a handler whose captures died with it).
TEST_F(VyoButtonTest, HandlersMayDeleteTheirButton) {
  button->OnMouseDown = [this](TVyoButton* sender, Qt::MouseButton) {
    delete sender;
    events.push_back("mousedown, deleted");
  };
  QPointer<TVyoButton> watched(button);
  QTest::mousePress(button, Qt::LeftButton, {}, QPoint(40, 10));
  EXPECT_TRUE(watched.isNull());

  auto* second = new TVyoButton(&host);
  second->show();
  second->OnClick = [this](TVyoButton* sender) {
    delete sender;
    events.push_back("click, deleted");
  };
  second->OnUpdTimer = [this](TVyoButton*, bool down) { events.push_back(down ? "down" : "up"); };
  watched = second;
  QTest::mouseClick(second, Qt::LeftButton, {}, QPoint(40, 10));
  EXPECT_TRUE(watched.isNull());
  EXPECT_EQ(events, (std::vector<std::string>{"mousedown, deleted", "down", "click, deleted"}));
}

// As when the handler runs a modal window that receives the release: the button must not stay
// held, and the press produces no OnUpdTimer and no click.
TEST_F(VyoButtonTest, PressEndedInsideTheMouseDownHandlerLeavesTheButtonUp) {
  QWindow* window = host.windowHandle();
  ASSERT_NE(window, nullptr);
  const QPoint inButton = button->mapTo(&host, QPoint(40, 10));
  button->OnMouseDown = [&](TVyoButton*, Qt::MouseButton) {
    events.push_back("mousedown");
    QTest::mouseRelease(window, Qt::LeftButton, {}, inButton);
  };
  QTest::mousePress(window, Qt::LeftButton, {}, inButton);
  EXPECT_FALSE(button->Timedout());
  EXPECT_EQ(events, (std::vector<std::string>{"mousedown"}));

  button->OnMouseDown = nullptr;
  QTest::mouseClick(window, Qt::LeftButton, {}, inButton, 300);
  EXPECT_EQ(events, (std::vector<std::string>{"mousedown", "down", "click", "up"}));
}

TEST_F(VyoButtonTest, TimedoutWhileHeldGivesExactlyOneRightClickAndNoClick) {
  QTest::mousePress(button, Qt::LeftButton, {}, QPoint(40, 10));
  button->SetTimedout(true);
  EXPECT_FALSE(button->Timedout());
  button->SetTimedout(true);
  QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(40, 10));
  EXPECT_EQ(events, (std::vector<std::string>{"down", "right"}));
}

TEST_F(VyoButtonTest, TimedoutWhenNotHeldDoesNothing) {
  button->SetTimedout(false);
  button->SetTimedout(true);
  EXPECT_TRUE(events.empty());
}

TEST_F(VyoButtonTest, EnterFiresOnClickAndOtherKeysAreSwallowed) {
  button->setFocus();
  QTest::keyClick(button, Qt::Key_Return);
  QTest::keyClick(button, Qt::Key_Enter);
  QTest::keyClick(button, Qt::Key_Space);
  QTest::keyClick(button, Qt::Key_A);
  EXPECT_EQ(events, (std::vector<std::string>{"click", "click"}));
}

TEST_F(VyoButtonTest, DisabledButtonUsesDisabledColoursAndKeepsItsLastTextColour) {
  button->resize(80, 30);
  button->SetCaption(QStringLiteral("WWWWWW"));
  QFont bold = button->font();
  bold.setBold(true);
  bold.setPixelSize(18);
  button->setFont(bold);
  button->Colors().SetColor(TZQColors::Text_Lit, kRed);
  button->Colors().SetColor(TZQColors::Fill_Disabled, kYellow);
  button->Colors().SetColor(TZQColors::Ring_Disabled, kGreen);
  button->SetLitState(3);
  button->setEnabled(false);
  button->SetLitState(0);  // Text_Off is black: a disabled button must not take it

  const QImage image = Painted(*button);
  EXPECT_EQ(PixelAt(image, 0, 15), kGreen);
  EXPECT_EQ(PixelAt(image, 5, 3), kYellow);
  int red = 0;
  int dark = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.red() > 200 && c.green() < 60 && c.blue() < 60) ++red;
      if (c.red() < 60 && c.green() < 60 && c.blue() < 60) ++dark;
    }
  }
  EXPECT_GT(red, 20);
  EXPECT_EQ(dark, 0);
}

TEST_F(VyoButtonTest, DisablingWhileHeldEndsThePressWithoutAClick) {
  QTest::mousePress(button, Qt::LeftButton, {}, QPoint(40, 10));
  button->setEnabled(false);
  EXPECT_FALSE(button->Timedout());
  button->SetTimedout(true);
  EXPECT_EQ(events, (std::vector<std::string>{"down", "up"}));
}

TEST_F(VyoButtonTest, ClearButtonShowsOnlyTheParentBackground) {
  QPalette palette = host.palette();
  palette.setColor(QPalette::Window, kGreen);
  host.setPalette(palette);
  button->SetCaption(QStringLiteral("X"));
  button->SetClear(true);
  const QImage image = Painted(*button);
  for (const QPoint p : {QPoint(0, 0), QPoint(40, 10), QPoint(79, 19), QPoint(0, 10)}) {
    EXPECT_EQ(image.pixelColor(p), kGreen) << p.x() << "," << p.y();
  }
}

TEST_F(VyoButtonTest, FocusMarkIsDrawnOnlyWithFocus) {
  button->resize(80, 30);
  button->Colors().SetColor(TZQColors::Ring_Off, kBlue);
  button->Colors().SetColor(TZQColors::Fill_Off, kYellow);
  auto markPixels = [&] {
    const QImage image = Painted(*button);
    int count = 0;
    for (int y = 6; y < 24; ++y) count += image.pixelColor(2, y) == kBlue ? 1 : 0;
    return count;
  };
  host.activateWindow();
  button->setFocus();
  ASSERT_TRUE(button->hasFocus());
  EXPECT_GT(markPixels(), 3);
  button->clearFocus();
  EXPECT_EQ(markPixels(), 0);
}

// The mark is drawn with the face's pen: in the fill colour when the button has no ring.
TEST_F(VyoButtonTest, FocusMarkOfARinglessButtonTakesTheFillColour) {
  button->resize(80, 30);
  button->Colors().SetColor(TZQColors::Ring_Off, kBlue);
  button->Colors().SetColor(TZQColors::Fill_Off, kYellow);
  button->SetRingWidth(0);
  host.activateWindow();
  button->setFocus();
  ASSERT_TRUE(button->hasFocus());
  const QImage image = Painted(*button);
  EXPECT_EQ(PixelAt(image, 2, 15), kYellow);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      ASSERT_NE(image.pixelColor(x, y), kBlue) << x << "," << y;
    }
  }
}

// The box holding caption pixels (red text on a yellow face).
QRect CaptionBox(const QImage& image) {
  QRect box;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.red() > 200 && c.green() < 100 && c.blue() < 100) box |= QRect(x, y, 1, 1);
    }
  }
  return box;
}

// Solid blocks in a large font overflow the button every way, so the clip shows in full.
TEST_F(VyoButtonTest, CaptionIsClippedFourPixelsInWithTabStopAndTwoWithout) {
  button->SetCaption(QString(12, QChar(0x2588)));
  QFont large = button->font();
  large.setPixelSize(30);
  button->setFont(large);
  button->Colors().SetColor(TZQColors::Text_Off, kRed);
  button->Colors().SetColor(TZQColors::Fill_Off, kYellow);
  EXPECT_EQ(CaptionBox(Painted(*button)), QRect(QPoint(4, 4), QPoint(75, 15)));
  button->SetTabStop(false);
  EXPECT_EQ(CaptionBox(Painted(*button)), QRect(QPoint(2, 2), QPoint(77, 17)));
}

// A press does not move the focus, so clicking a key leaves the caret in a field; Tab reaches a
// button with a tab stop and never one without.
TEST_F(VyoButtonTest, ClickLeavesTheFocusWhereItWasAndTabReachesOnlyTabStops) {
  auto* field = new QLineEdit(&host);
  field->move(10, 50);
  auto* lamp = new TVyoButton(&host);
  lamp->move(100, 10);
  lamp->SetTabStop(false);
  QWidget::setTabOrder(field, lamp);
  QWidget::setTabOrder(lamp, button);
  field->show();
  lamp->show();
  host.activateWindow();
  field->setFocus();
  ASSERT_TRUE(field->hasFocus());

  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(40, 10));
  QTest::mouseClick(lamp, Qt::LeftButton, {}, QPoint(40, 10));
  EXPECT_TRUE(field->hasFocus());
  EXPECT_EQ(events, (std::vector<std::string>{"down", "click", "up"}));

  QTest::keyClick(field, Qt::Key_Tab);
  EXPECT_TRUE(button->hasFocus());
}

TEST(ZQColorsTest, ChangeFiresOnlyForADifferentColourAtAValidIndex) {
  TZQColors colors;
  int changes = 0;
  colors.OnChange = [&] { ++changes; };
  colors.SetColor(TZQColors::Fill_Off, QColor(0xC0, 0xC0, 0xC0));
  colors.SetColor(TZQColors::Count, kRed);
  colors.SetColor(-1, kRed);
  EXPECT_EQ(changes, 0);
  EXPECT_FALSE(colors.Color(TZQColors::Count).isValid());
  colors.SetColor(TZQColors::Ring_Lit, kRed);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(colors.Color(TZQColors::Ring_Lit), kRed);
}

TEST(ZQColorsTest, AssignCopiesAllFourteenAndNotifiesOnce) {
  TZQColors source;
  for (int i = 0; i < TZQColors::Count; ++i) source.SetColor(i, QColor(i, 2 * i, 3 * i));
  TZQColors target;
  int changes = 0;
  target.OnChange = [&] { ++changes; };
  target.Assign(source);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(target == source);
  target.Assign(source);
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(static_cast<bool>(TZQColors(target).OnChange));
}

}  // namespace
