#include <gtest/gtest.h>

#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <functional>

#include "QtTestApp.h"
#include "ZQDialog.h"
#include "ZQPictures.h"

namespace {

class ZQDialogTest : public ::testing::Test {
 protected:
  // Runs the string entry; `user` acts on the shown dialog. A stuck dialog is closed after a while
  // so that a failing test cannot hang; the guard ends with this showing.
  QString Entry(QWidget* owner, uint8_t mode, const QString& defaultText,
                const std::function<void()>& user) {
    QObject showing;
    QTimer::singleShot(0, &showing, [&] {
      (void)QTest::qWaitForWindowExposed(&dialog);
      user();
    });
    QTimer::singleShot(kStuckMs, &showing, [&] { dialog.done(TZQDlg::mrNone); });
    QString result = QStringLiteral("untouched");
    dialog.StringEntry(owner, mode, result, defaultText, QStringLiteral("Enter the new ID"),
                       QStringLiteral("Device ID"));
    return result;
  }

  TZQDlg dialog;
};

TEST_F(ZQDialogTest, CancelReturnsTheDefaultTextExactly) {
  const QString result = Entry(nullptr, 0, QStringLiteral(" 0x1F2 "), [&] {
    dialog.STR_Edit->selectAll();
    QTest::keyClicks(dialog.STR_Edit, "999");
    QTest::mouseClick(dialog.STR_Cancel, Qt::LeftButton, {}, QPoint(10, 10));
  });
  EXPECT_EQ(result, QStringLiteral(" 0x1F2 "));
  EXPECT_EQ(dialog.result(), TZQDlg::mrCancel);
}

TEST_F(ZQDialogTest, ClosingWithoutAButtonAlsoReturnsTheDefault) {
  const QString result = Entry(nullptr, 0, QStringLiteral("17"), [&] {
    QTest::keyClicks(dialog.STR_Edit, "5");
    QTest::keyClick(dialog.STR_Edit, Qt::Key_Escape);
  });
  EXPECT_EQ(result, QStringLiteral("17"));
}

TEST_F(ZQDialogTest, OkButtonReturnsTheTypedText) {
  const QString result = Entry(nullptr, 0, QStringLiteral("17"), [&] {
    dialog.STR_Edit->selectAll();
    QTest::keyClicks(dialog.STR_Edit, "4711");
    QTest::mouseClick(dialog.STR_OK, Qt::LeftButton, {}, QPoint(10, 10));
  });
  EXPECT_EQ(result, QStringLiteral("4711"));
  EXPECT_EQ(dialog.result(), TZQDlg::mrOK);
}

TEST_F(ZQDialogTest, EnterInTheEditClosesWithOkAndNeverReachesTheEdit) {
  int returnPressed = 0;
  QObject::connect(dialog.STR_Edit, &QLineEdit::returnPressed, [&] { ++returnPressed; });
  bool editHadFocus = false;
  const QString result = Entry(nullptr, 0, QStringLiteral("1"), [&] {
    editHadFocus = dialog.STR_Edit->hasFocus();
    dialog.STR_Edit->selectAll();
    QTest::keyClicks(dialog.STR_Edit, "42");
    QTest::keyClick(dialog.STR_Edit, Qt::Key_Return);
  });
  EXPECT_TRUE(editHadFocus);
  EXPECT_EQ(result, QStringLiteral("42"));
  EXPECT_EQ(dialog.result(), TZQDlg::mrOK);
  EXPECT_EQ(returnPressed, 0);
}

TEST_F(ZQDialogTest, ModeTwoMasksWithStarsAndShowsTheLock) {
  dialog.PrepareStringEntry(2, QStringLiteral("abc"), QStringLiteral("Password"),
                            QStringLiteral("C"));
  EXPECT_EQ(dialog.STR_Edit->displayText(), QStringLiteral("***"));
  EXPECT_EQ(dialog.STR_Image->pixmap().toImage(), ZQPicture(QStringLiteral("DT_LOCK")).toImage());
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("C"));

  dialog.PrepareStringEntry(1, QStringLiteral("abc"), QStringLiteral("Name"), QStringLiteral("C"));
  EXPECT_EQ(dialog.STR_Edit->displayText(), QStringLiteral("abc"));
  EXPECT_EQ(dialog.STR_Image->pixmap().toImage(),
            ZQPicture(QStringLiteral("DT_DEFAULT")).toImage());
}

TEST_F(ZQDialogTest, EditSitsBelowThePromptAndThePageFitsIt) {
  dialog.PrepareStringEntry(0, QString(), QStringLiteral("One line"), QStringLiteral("C"));
  const int shortHeight = dialog.Pages->height();
  EXPECT_EQ(dialog.STR_Edit->y(), dialog.STR_Text->height() + 13);
  EXPECT_EQ(dialog.Pages->height(), dialog.STR_Edit->y() + dialog.STR_Edit->height() + 42);

  dialog.PrepareStringEntry(0, QString(),
                            QStringLiteral("A prompt long enough to need several "
                                           "lines in a dialog of this width, so the "
                                           "edit must move down to stay clear of it"),
                            QStringLiteral("C"));
  EXPECT_EQ(dialog.STR_Edit->y(), dialog.STR_Text->height() + 13);
  EXPECT_GT(dialog.Pages->height(), shortHeight);
  EXPECT_EQ(dialog.height(), dialog.Pages->height());
  EXPECT_GE(dialog.STR_OK->y(), dialog.STR_Edit->y() + dialog.STR_Edit->height());
  EXPECT_LE(dialog.STR_OK->y() + dialog.STR_OK->height(), dialog.Pages->height());
}

TEST_F(ZQDialogTest, PlacedCentredOverTheOwner) {
  QWidget owner;
  owner.setGeometry(101, 57, 601, 403);
  owner.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
  QPoint shownAt;
  Entry(&owner, 0, QString(), [&] {
    shownAt = dialog.pos();
    dialog.done(TZQDlg::mrCancel);
  });
  const QRect frame = owner.frameGeometry();
  EXPECT_EQ(shownAt.x(), frame.left() + (frame.width() - dialog.width()) / 2);
  EXPECT_EQ(shownAt.y(), frame.top() + (frame.height() - dialog.height()) / 2);
}

TEST_F(ZQDialogTest, WithoutOwnerCentredOnTheMouseEvenOffScreen) {
  QCursor::setPos(10, 20);
  ASSERT_EQ(QCursor::pos(), QPoint(10, 20));
  QPoint shownAt;
  Entry(nullptr, 0, QString(), [&] {
    shownAt = dialog.pos();
    dialog.done(TZQDlg::mrCancel);
  });
  EXPECT_EQ(shownAt, QPoint(10 - dialog.width() / 2, 20 - dialog.height() / 2));
  EXPECT_LT(shownAt.x(), 0);
}

TEST_F(ZQDialogTest, PagesFocusTheirButtonAndRetryReturnsToTheEntryPage) {
  dialog.SelectPage(TZQDlg::P_Standard);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  EXPECT_TRUE(dialog.STD_OK->hasFocus());
  dialog.SelectPage(TZQDlg::P_QUERY);
  EXPECT_TRUE(dialog.QRY_OK->hasFocus());
  dialog.SelectPage(7);
  EXPECT_EQ(dialog.Pages->currentIndex(), TZQDlg::P_QUERY);
  dialog.SelectPage(TZQDlg::P_PassFail);
  QTest::mouseClick(dialog.PF_Retry, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(dialog.Pages->currentIndex(), TZQDlg::P_STRINGENTRY);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_TRUE(dialog.STR_Edit->hasFocus());
  QTest::mouseClick(dialog.STR_OK, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), TZQDlg::mrOK);
}

TEST(ZQPicturesTest, ThreeDistinctPicturesAndNothingElse) {
  const QImage info = ZQPicture(QStringLiteral("DT_DEFAULT")).toImage();
  const QImage lock = ZQPicture(QStringLiteral("DT_LOCK")).toImage();
  const QImage noEntry = ZQPicture(QStringLiteral("DT_NOENTRY")).toImage();
  EXPECT_EQ(info.size(), QSize(kZQPictureSize, kZQPictureSize));
  EXPECT_NE(info, lock);
  EXPECT_NE(lock, noEntry);
  EXPECT_NE(info, noEntry);
  EXPECT_TRUE(ZQPicture(QStringLiteral("DT_OTHER")).isNull());
}

}  // namespace
