#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <functional>

#include "KeypadF.h"
#include "QtTestApp.h"

namespace {

class KeypadWindowTest : public ::testing::Test {
 protected:
  // Shows the keypad modally; `user` acts on it. A keypad left open is aborted after a while so a
  // failing test cannot hang; the guard belongs to this showing only, so a slow machine cannot let
  // it close a later one.
  int Show(const std::function<void()>& user) {
    QObject showing;
    QTimer::singleShot(0, &showing, [&] {
      (void)QTest::qWaitForWindowExposed(&keypad);
      user();
    });
    QTimer::singleShot(kStuckMs, &showing, [&] { keypad.done(-1); });
    return keypad.ShowModal();
  }

  void Click(TVyoButton* key) { QTest::mouseClick(key, Qt::LeftButton, {}, QPoint(5, 5)); }
  void Digit(int digit) { Click(keypad.k[static_cast<std::size_t>(digit)]); }
  QString Shown() const { return keypad.Entry->displayText(); }
  // Types 12:00:00:00 from a reset (the caret then stands at 3) and presses OK.
  int AcceptTwelveHours() {
    return Show([&] {
      Click(keypad.KReset);
      Digit(1);
      Digit(2);
      Click(keypad.kok);
    });
  }

  TKeypadF keypad;
};

TEST_F(KeypadWindowTest, TypingOneTwoFromResetGivesTwelveHoursWithTheCaretPastTheSeparator) {
  QString text;
  int caret = -1;
  bool stillOpen = false;
  Show([&] {
    Click(keypad.KReset);
    Digit(1);
    Digit(2);
    text = Shown();
    caret = keypad.Entry->cursorPosition();
    stillOpen = keypad.isVisible();
    Click(keypad.BitBtn1);
  });
  EXPECT_EQ(text, QStringLiteral("12:00:00:00"));
  EXPECT_EQ(caret, 3);
  EXPECT_EQ(keypad.Logic().CursorPos(), 3);
  EXPECT_TRUE(stillOpen);
}

TEST_F(KeypadWindowTest, TwentyFourHoursIsRefusedWithTheCaretOnTheHoursUnit) {
  int caret = -1;
  bool stillOpen = false;
  const int result = Show([&] {
    Click(keypad.KReset);
    Digit(2);
    Digit(4);
    Click(keypad.kok);
    caret = keypad.Entry->cursorPosition();
    stillOpen = keypad.isVisible();
    Digit(3);  // mends the refused digit where the caret stands
    Click(keypad.kok);
  });
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(caret, 1);
  EXPECT_EQ(result, KeypadU::kModalOk);
  EXPECT_EQ(keypad.EntryText(), QStringLiteral("23:00:00:00"));
}

TEST_F(KeypadWindowTest, AbortThenShowStartsFromTheLastAcceptedValue) {
  ASSERT_EQ(AcceptTwelveHours(), KeypadU::kModalOk);
  EXPECT_EQ(Show([&] {
              Digit(5);
              Digit(5);
              Click(keypad.BitBtn1);
            }),
            KeypadU::kModalAbort);
  QString shownAtStart;
  Show([&] {
    shownAtStart = Shown();
    Click(keypad.BitBtn1);
  });
  EXPECT_EQ(shownAtStart, QStringLiteral("12:00:00:00"));
}

TEST_F(KeypadWindowTest, TheCaretIsWhereItWasLeftWhenShownAgain) {
  Show([&] {
    Click(keypad.KReset);
    Digit(1);
    Digit(2);
    Click(keypad.BitBtn1);
  });
  int caretAtStart = -1;
  QString digitLandsAt;
  Show([&] {
    caretAtStart = keypad.Entry->cursorPosition();
    Digit(9);
    digitLandsAt = Shown();
    Click(keypad.BitBtn1);
  });
  EXPECT_EQ(caretAtStart, 3);
  EXPECT_EQ(digitLandsAt, QStringLiteral("00:90:00:00"));
}

// An accepted OK forgets the caret (the stored position is -1): the next show leaves the caret
// where the field puts it, at the start, and the next key press starts from there, not from where
// the caret stood before OK.
TEST_F(KeypadWindowTest, AfterAnAcceptedOkTheNextShowStartsFromTheFieldsCaret) {
  struct Row {
    const char* press;
    std::function<void()> act;
    QString text;
    int caret;
  };
  const Row rows[] = {
      {"digit 0", [this] { Digit(0); }, QStringLiteral("02:00:00:00"), 1},
      {">", [this] { Click(keypad.Kright); }, QStringLiteral("12:00:00:00"), 1},
      {"<", [this] { Click(keypad.kleft); }, QStringLiteral("12:00:00:00"), 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.press);
    ASSERT_EQ(AcceptTwelveHours(), KeypadU::kModalOk);
    EXPECT_EQ(keypad.Logic().CursorPos(), -1);
    int caretAtStart = -1;
    QString text;
    int caret = -1;
    Show([&] {
      caretAtStart = keypad.Entry->cursorPosition();
      row.act();
      text = Shown();
      caret = keypad.Entry->cursorPosition();
      Click(keypad.BitBtn1);
    });
    EXPECT_EQ(caretAtStart, 0);
    EXPECT_EQ(text, row.text);
    EXPECT_EQ(caret, row.caret);
  }
}

TEST_F(KeypadWindowTest, KeyboardTypingAndEnterAcceptWhatWasTyped) {
  const int result = Show([&] {
    Click(keypad.KReset);
    QTest::keyClicks(keypad.Entry, "0130");
    QTest::keyClick(keypad.Entry, Qt::Key_Return);
  });
  EXPECT_EQ(result, KeypadU::kModalOk);
  EXPECT_EQ(keypad.EntryText(), QStringLiteral("01:30:00:00"));
  EXPECT_EQ(keypad.Logic().Remembered(), "01:30:00:00");
}

TEST_F(KeypadWindowTest, DigitKeyWritesWhereTheUserLeftTheCaret) {
  QString text;
  Show([&] {
    Click(keypad.KReset);
    QTest::mouseClick(keypad.Entry, Qt::LeftButton);
    keypad.Entry->setCursorPosition(6);
    Digit(4);
    text = Shown();
    QTest::keyClick(keypad.Entry, Qt::Key_Escape);
  });
  EXPECT_EQ(text, QStringLiteral("00:00:40:00"));
}

TEST_F(KeypadWindowTest, PlusMinusNegateAndArrowsActOnTheEntry) {
  QString afterPlus;
  QString afterMinus;
  QString negated;
  int caretAfterLeft = -1;
  Show([&] {
    Click(keypad.KReset);
    Click(keypad.tcinc);
    afterPlus = Shown();
    Click(keypad.tcdec);
    Click(keypad.tcdec);
    afterMinus = Shown();
    Click(keypad.KReset);
    Digit(0);
    Digit(1);
    Click(keypad.knegate);
    negated = Shown();
    Click(keypad.KReset);
    Click(keypad.Kright);
    Click(keypad.Kright);
    Click(keypad.kleft);
    caretAfterLeft = keypad.Entry->cursorPosition();
    Click(keypad.BitBtn1);
  });
  EXPECT_EQ(afterPlus, QStringLiteral("00:00:00:01"));
  EXPECT_EQ(afterMinus, QStringLiteral("23:59:59:24"));
  EXPECT_EQ(negated, QStringLiteral("23:00:00:00"));
  EXPECT_EQ(caretAfterLeft, 1);
}

TEST_F(KeypadWindowTest, EscapeAndTheCloseBoxAbort) {
  EXPECT_EQ(Show([&] { QTest::keyClick(keypad.Entry, Qt::Key_Escape); }), KeypadU::kModalAbort);
  EXPECT_EQ(Show([&] { keypad.close(); }), KeypadU::kModalAbort);
}

TEST_F(KeypadWindowTest, OnlyOkTakesTheFocusSoKeysLeaveTheCaretInTheEntry) {
  EXPECT_TRUE(keypad.kok->TabStop());
  for (TVyoButton* key :
       {keypad.k[0], keypad.k[9], keypad.KReset, keypad.BitBtn1, keypad.knegate}) {
    EXPECT_FALSE(key->TabStop());
  }
  bool entryFocused = false;
  Show([&] {
    Digit(7);
    entryFocused = keypad.Entry->hasFocus();
    Click(keypad.BitBtn1);
  });
  EXPECT_TRUE(entryFocused);
}

// The field shows a cleared digit as "_" and the logic holds it as a space: mirroring the entry
// back into the field after a key must keep every digit in its place.
TEST_F(KeypadWindowTest, AClearedDigitStaysBlankWhenAKeyWritesElsewhere) {
  QString afterDelete, afterDigit;
  Show([&] {
    Click(keypad.KReset);
    keypad.Entry->setCursorPosition(1);
    QTest::keyClick(keypad.Entry, Qt::Key_Delete);
    afterDelete = Shown();
    keypad.Entry->setCursorPosition(6);
    Digit(7);
    afterDigit = Shown();
    Click(keypad.BitBtn1);
  });
  EXPECT_EQ(afterDelete, QStringLiteral("0_:00:00:00"));
  EXPECT_EQ(afterDigit, QStringLiteral("0_:00:70:00"));
  EXPECT_EQ(keypad.EntryText(), QStringLiteral("0 :00:70:00"));
}

TEST(KeypadPlacementTest, AtTheCursorButKeptOnTheDesktop) {
  const QSize window(200, 210);
  const QSize desktop(1024, 768);
  EXPECT_EQ(TKeypadF::PlaceAt({100, 100}, window, desktop), QPoint(100, 100));
  EXPECT_EQ(TKeypadF::PlaceAt({900, 700}, window, desktop), QPoint(824, 768 - 210 - 50));
  EXPECT_EQ(TKeypadF::PlaceAt({824, 558}, window, desktop), QPoint(824, 558));
}

}  // namespace
