#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <vector>

#include "DecodedMonitor.h"
#include "QtTestApp.h"
#include "SonyBytes.h"
#include "vcommsu.h"

namespace {

// Port A as the receive handling leaves it: `received` extracted into Rx, `reply` framed into Tx.
SonyPort PortAfter(const Bytes& received, const Bytes& reply) {
  SonyPort port;
  EXPECT_TRUE(ReceiveBytes(port, received));
  EXPECT_TRUE(ExtractMessage(port));
  for (std::size_t i = 0; i < reply.size(); ++i) port.Tx[i] = reply[i];
  FrameTx(port);
  return port;
}

class CommsMonitorTest : public ::testing::Test {
 protected:
  QStringList Lines() const { return comms.Text().split(QLatin1Char('\n')); }

  // The three calls of one message, as the owner of port A makes them.
  void Exchange(const SonyPort& port) {
    comms.MessageReceived(port);
    comms.TransportHandled(port);
    comms.ReplySent(port);
  }

  void ShowWindow() {
    comms.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&comms));
  }

  Micros now_{5000000};
  std::function<Micros()> Clock = [this] { return now_; };
  Tcommsf comms{nullptr, Tcommsf::kMaxLines, Clock};
  const SonyPort play = PortAfter({0x20, 0x01, 0x21}, {0x10, 0x01});
  const SonyPort timeSense =
      PortAfter({0x61, 0x0C, 0x01, 0x6E}, {0x74, 0x04, 0x00, 0x00, 0x00, 0x01});
};

TEST_F(CommsMonitorTest, StartsHiddenWithTheDesignedLineAndBoxUnchecked) {
  EXPECT_EQ(comms.windowTitle(), QStringLiteral("Comms"));
  EXPECT_FALSE(comms.IsShown());
  EXPECT_FALSE(comms.ShowComs());
  EXPECT_EQ(comms.kshow->text(), QStringLiteral("Shoiw Coms"));
  EXPECT_EQ(Lines(), QStringList{QStringLiteral("m1")});
}

TEST_F(CommsMonitorTest, CheckedAndVisibleTransportCommandGivesThreeLines) {
  ShowWindow();
  QTest::mouseClick(comms.kshow, Qt::LeftButton, {}, QPoint(5, comms.kshow->height() / 2));
  ASSERT_TRUE(comms.ShowComs());
  Exchange(play);
  EXPECT_EQ(Lines(), (QStringList{QStringLiteral("m1"), QStringLiteral("Rx:20 01 21 "),
                                  QStringLiteral("20 01 21 "), QStringLiteral("  Tx 10 01 11 ")}));
}

TEST_F(CommsMonitorTest, UncheckedAndVisibleLogsOnlyTransportCommandsOnce) {
  ShowWindow();
  Exchange(timeSense);
  Exchange(play);
  EXPECT_EQ(Lines(), (QStringList{QStringLiteral("m1"), QStringLiteral("20 01 21 ")}));
}

TEST_F(CommsMonitorTest, CheckedAndHiddenLogsReceivedAndSentButNoCommandLine) {
  comms.SetShowComs(true);
  Exchange(play);
  Exchange(timeSense);
  EXPECT_EQ(Lines(),
            (QStringList{QStringLiteral("m1"), QStringLiteral("Rx:20 01 21 "),
                         QStringLiteral("  Tx 10 01 11 "), QStringLiteral("Rx:61 0C 01 6E "),
                         QStringLiteral("  Tx 74 04 00 00 00 01 79 ")}));
}

TEST_F(CommsMonitorTest, LongestMessageGivesAFullCommandLine) {
  Bytes message{0x2F, 0x10};
  for (int i = 0; i < 15; ++i) message.push_back(static_cast<uint8_t>(i));
  message = WithChecksum(message);
  const uint8_t sum = message.back();
  const SonyPort port = PortAfter(message, {0x10, 0x01});
  comms.AddCommandLine(port);
  const QString line = Lines().last();
  EXPECT_EQ(line.size(), 18 * 3);
  EXPECT_TRUE(line.startsWith(QStringLiteral("2F 10 00 01 ")));
  EXPECT_TRUE(line.endsWith(QString::fromStdString(HexByte(sum)) + QLatin1Char(' ')));
}

TEST_F(CommsMonitorTest, ClearRemovesEveryLineIncludingTheDesignedOne) {
  ShowWindow();
  comms.AddLine(QStringLiteral("one"));
  QTest::mouseClick(comms.kclear, Qt::LeftButton);
  EXPECT_TRUE(comms.Text().isEmpty());
  comms.AddLine(QStringLiteral("after"));
  EXPECT_EQ(Lines(), QStringList{QStringLiteral("after")});
}

TEST_F(CommsMonitorTest, CloseBoxHidesAndLinesKeepComing) {
  ShowWindow();
  comms.SetShowComs(true);
  comms.close();
  EXPECT_FALSE(comms.IsShown());
  Exchange(play);
  EXPECT_EQ(Lines().size(), 3);
  comms.ToggleShown();
  EXPECT_TRUE(comms.IsShown());
  comms.ToggleShown();
  EXPECT_FALSE(comms.IsShown());
}

TEST_F(CommsMonitorTest, DecodeBoxShowsDecodedRecordsOnlyWhileChecked) {
  ShowWindow();
  EXPECT_EQ(comms.kdecode->text(), QStringLiteral("Decode"));
  EXPECT_FALSE(comms.DecodeChecked());
  for (const QWidget* other :
       {static_cast<QWidget*>(comms.kshow), static_cast<QWidget*>(comms.kclear),
        static_cast<QWidget*>(comms.m1)}) {
    EXPECT_FALSE(comms.kdecode->geometry().intersects(other->geometry()));
  }
  const Micros origin = Clock();
  CaptureRecord request{origin + Micros(1000),
                        "A",
                        Direction::Rx,
                        FrameKind::Message,
                        {0x61, 0x0C, 0x01, 0x6E},
                        "CURRENT TIME SENSE LTC",
                        origin + Micros(1200)};
  CaptureRecord reply{origin + Micros(1500),
                      "A",
                      Direction::Tx,
                      FrameKind::Message,
                      {0x74, 0x04, 0x00, 0x00, 0x00, 0x01, 0x79},
                      "LTC TIME DATA 01:00:00:00",
                      origin + Micros(1500)};

  comms.AddRecords({request});  // unchecked: the designed view stays as it is
  EXPECT_EQ(Lines(), QStringList{QStringLiteral("m1")});

  QTest::mouseClick(comms.kdecode, Qt::LeftButton, {}, QPoint(5, comms.kdecode->height() / 2));
  ASSERT_TRUE(comms.DecodeChecked());
  EXPECT_FALSE(comms.ShowComs());
  comms.AddRecords({request, reply});
  Exchange(timeSense);  // the designed lines keep their own rule: "Shoiw Coms" is unchecked
  EXPECT_EQ(
      Lines(),
      (QStringList{QStringLiteral("m1"),
                   QStringLiteral("         0.001000 A Rx 61 0C 01 6E  CURRENT TIME SENSE LTC"),
                   QStringLiteral("         0.001500 A Tx 74 04 00 00 00 01 79  LTC TIME DATA "
                                  "01:00:00:00  reply 0.300 ms")}));

  comms.SetDecode(false);
  comms.AddRecords({request});
  EXPECT_EQ(Lines().size(), 3);
}

}  // namespace

TEST(CommsMonitorCapTest, DroppedLinesAreCountedInTheFirstLine) {
  Tcommsf capped(nullptr, 5);
  capped.kclearClick();
  for (int i = 1; i <= 5; ++i) capped.AddLine(QString::number(i));
  EXPECT_EQ(capped.Text(), "1\n2\n3\n4\n5") << "nothing dropped: no notice";
  for (int i = 6; i <= 12; ++i) capped.AddLine(QString::number(i));
  const QStringList lines = capped.Text().split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 6);
  EXPECT_EQ(lines[0], "(7 older lines removed; the log keeps the last 5)");
  EXPECT_EQ(lines.mid(1), (QStringList{"8", "9", "10", "11", "12"}));
  capped.kclearClick();
  capped.AddLine("a");
  EXPECT_EQ(capped.Text(), "a") << "Clear starts the count again";
}
