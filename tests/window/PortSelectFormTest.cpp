#include <gtest/gtest.h>
#include <unistd.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>

#include "OwnerLoop.h"
#include "PortSelectForm.h"
#include "PortWatch.h"
#include "QtTestApp.h"
#include "SerialPort.h"

namespace {

const std::vector<SerialSelectEntry> kEntries = {
    {3, "/dev/ttyS2", "COM3 (/dev/ttyS2)"},
    {251, "virtual cable A", "COM251 (virtual cable A)"},
};

class PortSelectFormTest : public ::testing::Test {
 protected:
  // Runs the form modally; `user` acts on it; a form left open is cancelled after a while.
  int Run(TPortSelectForm& form, const std::function<void()>& user) {
    QObject showing;
    QTimer::singleShot(0, &showing, [&] {
      (void)QTest::qWaitForWindowExposed(&form);
      user();
    });
    QTimer::singleShot(kStuckMs, &showing, [&] { form.reject(); });
    return form.Run();
  }
};

TEST_F(PortSelectFormTest, ShowsItsTwoLinesAndPreselectsTheFirstPort) {
  TPortSelectForm form(kEntries);
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Select Port"));
  EXPECT_EQ(form.Label1->text(), QStringLiteral("The configured serial port is not valid."));
  EXPECT_EQ(form.Label2->text(), QStringLiteral("Please choose another port."));
  ASSERT_EQ(form.PortList->count(), 2);
  EXPECT_EQ(form.PortList->currentText(), QStringLiteral("COM3 (/dev/ttyS2)"));
  EXPECT_EQ(form.SelectedNumber(), 3);
  EXPECT_TRUE(form.OKBtn->isDefault());
  EXPECT_TRUE(form.NoPortText->isHidden());
}

TEST_F(PortSelectFormTest, OkAnswersTheChosenNumber) {
  TPortSelectForm form(kEntries);
  EXPECT_EQ(Run(form,
                [&] {
                  form.PortList->setCurrentIndex(1);
                  QTest::mouseClick(form.OKBtn, Qt::LeftButton);
                }),
            251);
}

TEST_F(PortSelectFormTest, EnterAcceptsTheFirstPort) {
  TPortSelectForm form(kEntries);
  EXPECT_EQ(Run(form, [&] { QTest::keyClick(&form, Qt::Key_Return); }), 3);
}

TEST_F(PortSelectFormTest, CancelAndEscapeAnswerCancelled) {
  TPortSelectForm first(kEntries);
  EXPECT_EQ(Run(first, [&] { QTest::mouseClick(first.CancelBtn, Qt::LeftButton); }),
            kPromptCancelled);
  TPortSelectForm second(kEntries);
  EXPECT_EQ(Run(second, [&] { QTest::keyClick(&second, Qt::Key_Escape); }), kPromptCancelled);
}

TEST_F(PortSelectFormTest, EmptyListSaysSoAndOkAnswersNoEntry) {
  TPortSelectForm form({});
  EXPECT_FALSE(form.NoPortText->isHidden());
  EXPECT_TRUE(form.PortList->isHidden());
  EXPECT_EQ(form.NoPortText->text(), QStringLiteral("No serial port was found."));
  EXPECT_EQ(Run(form, [&] { QTest::mouseClick(form.OKBtn, Qt::LeftButton); }), kPromptNoEntry);
}

}  // namespace

namespace {

bool Lists(const TPortSelectForm& form, const QString& start) {
  for (int i = 0; i < form.PortList->count(); ++i)
    if (form.PortList->itemText(i).startsWith(start)) return true;
  return false;
}

}  // namespace

TEST_F(PortSelectFormTest, ListRefreshesWhenAPtyLinkAppearsWhileOpen) {
  const std::string link = "/tmp/selkie-" + std::to_string(getpid()) + "-prompt";
  setenv("SELKIE_COM310", link.c_str(), 1);
  setenv("SELKIE_COM311", ("pty:" + link).c_str(), 1);
  TPortSelectForm form(SerialSelect::ListPorts());
  form.FollowChanges(std::make_shared<PortWatch>(), &SerialSelect::ListPorts);
  const QString entry = QString::fromStdString("COM310 (" + link + ")");
  EXPECT_FALSE(Lists(form, entry));
  form.PortList->setCurrentIndex(1);
  const QString chosen = form.PortList->currentText();
  {
    TSerialPort port(std::make_shared<OwnerLoop>());
    port.SetComNumber(311);
    port.SetOpen(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Lists(form, entry); }, 3000));
    EXPECT_EQ(form.PortList->currentText(), chosen);  // the selection stays where it was
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return !Lists(form, entry); }, 3000));  // and goes again
  unsetenv("SELKIE_COM310");
  unsetenv("SELKIE_COM311");
}
