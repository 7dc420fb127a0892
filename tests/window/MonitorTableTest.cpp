// The comms monitor's table: one row per message, its filters, search, pause, "Save As...", the
// cap and its notice, the colours of trouble and the reply times of both ports.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <fstream>
#include <set>

#include "MonitorExport.h"
#include "MonitorPane.h"
#include "QtTestApp.h"
#include "TempDir.h"
#include "vcommsu.h"

namespace {

CaptureRecord Record(int atUs, char port, Direction direction, std::vector<uint8_t> bytes,
                     FrameKind kind = FrameKind::Message, std::string text = {}) {
  CaptureRecord r;
  r.time = Micros(atUs);
  r.lastByte = Micros(atUs + 300);
  r.port = std::string(1, port);
  r.direction = direction;
  r.kind = kind;
  r.bytes = std::move(bytes);
  r.text = std::move(text);
  return r;
}

// A morning's traffic: port A answered (one late), port B asked and answered, then trouble.
std::vector<CaptureRecord> Traffic() {
  return {
      Record(1000, 'A', Direction::Rx, {0x61, 0x0C, 0x01, 0x6E}, FrameKind::Message, "SENSE"),
      Record(1800, 'A', Direction::Tx, {0x74, 0x04, 0, 0, 0, 1, 0x79}),
      Record(5000, 'B', Direction::Tx, {0x20, 0x01, 0x21}, FrameKind::Message, "PLAY"),
      Record(7000, 'B', Direction::Rx, {0x10, 0x01, 0x11}),
      Record(9000, 'A', Direction::Rx, {0x20, 0x00, 0x20}, FrameKind::Message, "STOP"),
      Record(20000, 'A', Direction::Tx, {0x10, 0x01, 0x11}),  // 10.7 ms: late
      Record(30000, 'A', Direction::Rx, {0x20, 0x01, 0x22}, FrameKind::BadChecksum),
      Record(31000, 'A', Direction::Tx, {0x11, 0x12, 0x04, 0x27}, FrameKind::Message, "NAK"),
      Record(40000, 'B', Direction::Rx, {0x05, 0xFF}, FrameKind::Debris, "debris"),
  };
}

class MonitorTableTest : public ::testing::Test {
 protected:
  MonitorTableTest() { comms.SetDecode(true); }

  std::vector<int> ShownTimes() {
    std::vector<int> times;
    const QAbstractItemModel* shown = comms.m1->model();
    for (int i = 0; i < shown->rowCount(); ++i) {
      const QModelIndex source = comms.pane->Filter()->mapToSource(shown->index(i, 0));
      times.push_back(static_cast<int>(comms.Model().Row(source.row()).us));
    }
    return times;
  }

  Micros now_{0};
  Tcommsf comms{nullptr, Tcommsf::kMaxLines, [this] { return now_; }};
};

TEST_F(MonitorTableTest, DesignedLineAndRecordOfOneMessageShareARowWhicheverComesFirst) {
  comms.kclearClick();
  comms.SetShowComs(true);
  comms.AddLine("Rx:61 0C 01 6E ");  // the designed line first
  comms.AddRecords({Traffic()[0]});
  comms.AddRecords({Traffic()[1]});  // the record first
  comms.AddLine("  Tx 74 04 00 00 00 01 79 ");
  comms.AddLine("20 01 21 ");  // the transport command line is a row of its own, as designed
  const MonitorModel& model = comms.Model();
  ASSERT_EQ(model.rowCount(), 3);
  EXPECT_EQ(model.Row(0).designed, "Rx:61 0C 01 6E ");
  EXPECT_EQ(model.Row(0).decoded, "SENSE");
  EXPECT_EQ(model.Row(0).us, 1000) << "the record's time, not the arrival of the line";
  EXPECT_EQ(model.Row(1).designed, "  Tx 74 04 00 00 00 01 79 ");
  EXPECT_EQ(model.Row(1).replyUs, 500);
  EXPECT_TRUE(model.Row(2).command);
  EXPECT_EQ(model.index(2, MonitorModel::DirectionColumn).data().toString(), "Cmd");
  EXPECT_EQ(model.index(1, MonitorModel::BytesColumn).data().toString(), "74 04 00 00 00 01 79");
  EXPECT_EQ(model.index(1, MonitorModel::ReplyColumn).data().toString(), "0.500 ms");
}

TEST_F(MonitorTableTest, OneClockForBothPortsCountedFromClear) {
  now_ = Micros(3000);
  comms.kclearClick();
  comms.AddRecords({Traffic()[3], Traffic()[2]});  // one port after the other, out of order
  const MonitorModel& model = comms.Model();
  ASSERT_EQ(model.rowCount(), 2);
  EXPECT_EQ(model.index(0, MonitorModel::TimeColumn).data().toString(), "0.002000");
  EXPECT_EQ(model.index(1, MonitorModel::TimeColumn).data().toString(), "0.004000");
  EXPECT_EQ(model.Row(1).replyUs, 7000 - 5300) << "the machine's reply on port B";
  comms.SetShowComs(true);
  now_ = Micros(10000);
  comms.AddLine("Rx:20 01 21 ");
  EXPECT_EQ(model.Row(2).us, 7000) << "a designed line is timed on the same clock";
}

TEST_F(MonitorTableTest, FiltersShowTheirRowsOnly) {
  comms.kclearClick();
  comms.AddRecords(Traffic());
  MonitorPane& pane = *comms.pane;
  struct Case {
    const char* name;
    std::function<void()> set;
    std::vector<int> times;
  };
  const std::vector<Case> cases = {
      {"nothing", [] {}, {1000, 1800, 5000, 7000, 9000, 20000, 30000, 31000, 40000}},
      {"port B", [&] { pane.portBox->setCurrentIndex(2); }, {5000, 7000, 40000}},
      {"port B tx", [&] { pane.directionBox->setCurrentIndex(2); }, {5000}},
      {"rx only",
       [&] {
         pane.portBox->setCurrentIndex(0);
         pane.directionBox->setCurrentIndex(1);
       },
       {1000, 7000, 9000, 30000, 40000}},
      {"transport rx",
       [&] { pane.groupBox->setCurrentIndex(pane.groupBox->findData(0x2)); },
       {9000, 30000}},
      {"all errors",
       [&] {
         pane.groupBox->setCurrentIndex(0);
         pane.directionBox->setCurrentIndex(0);
         pane.errorsOnly->setChecked(true);
       },
       {20000, 30000, 31000, 40000}},
  };
  for (const Case& c : cases) {
    c.set();
    EXPECT_EQ(ShownTimes(), c.times) << c.name;
  }
}

TEST_F(MonitorTableTest, SearchSelectsEachMatchInTurnAndSaysWhenNoneIs) {
  comms.kclearClick();
  comms.AddRecords(Traffic());
  MonitorPane& pane = *comms.pane;
  pane.search->setText("10 01 11");
  std::vector<int> found;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(pane.FindNext());
    found.push_back(comms.m1->currentIndex().row());
  }
  EXPECT_EQ(found, (std::vector<int>{3, 5, 3})) << "wraps round to the first match";
  EXPECT_FALSE(pane.follow->isChecked()) << "a found row is not scrolled away";
  pane.search->setText("stop");
  ASSERT_TRUE(pane.FindNext());
  EXPECT_EQ(comms.m1->currentIndex().row(), 4) << "case-insensitive, in the decoded text";
  pane.search->setText("77 77");
  EXPECT_FALSE(pane.FindNext());
  EXPECT_TRUE(pane.notice->text().contains("77 77"));
}

TEST_F(MonitorTableTest, PauseHoldsTheTableStillAndLosesNothing) {
  comms.kclearClick();
  const std::vector<CaptureRecord> traffic = Traffic();
  comms.AddRecords({traffic[0]});
  comms.pane->pause->click();
  comms.AddRecords({traffic.begin() + 1, traffic.end()});
  EXPECT_EQ(comms.Model().rowCount(), 1);
  comms.SetShowComs(true);
  comms.AddLine("Rx:61 0C 01 6E ");  // the designed line of a message that came while paused
  comms.AddRecords({Record(50000, 'A', Direction::Rx, {0x61, 0x0C, 0x01, 0x6E})});
  comms.pane->pause->click();
  EXPECT_EQ(comms.Model().rowCount(), static_cast<int>(traffic.size()) + 1)
      << "every row kept, and a message still once";
  EXPECT_EQ(comms.Model().Row(1).replyUs, 500) << "reply times survive the pause";
}

TEST_F(MonitorTableTest, SaveAsWritesTheShownRowsAsACaptureOrAsText) {
  TempDir dir;
  comms.SetShowComs(true);
  comms.AddRecords(Traffic());
  comms.AddLine("20 00 20 ");  // a command line: no traffic of its own
  comms.pane->portBox->setCurrentIndex(1);
  const QString capture = QString::fromStdString((dir.path() / "a.cap").string());
  ASSERT_EQ(FormatOfPath(capture), ExportFormat::Capture);
  ASSERT_EQ(SaveShownRows(*comms.pane->Filter(), capture, ExportFormat::Capture), "");
  const std::vector<CaptureRecord> back = CaptureReader::ReadFile(capture.toStdString());
  std::vector<CaptureRecord> portA;
  for (const CaptureRecord& r : Traffic())
    if (r.port == "A") portA.push_back(r);
  ASSERT_EQ(back.size(), portA.size());
  for (std::size_t i = 0; i < back.size(); ++i) {
    EXPECT_EQ(back[i].time, portA[i].time) << i;
    EXPECT_EQ(back[i].direction, portA[i].direction) << i;
    EXPECT_EQ(back[i].kind, portA[i].kind) << i;
    EXPECT_EQ(back[i].bytes, portA[i].bytes) << i;
    EXPECT_EQ(back[i].text, portA[i].text) << i;
  }

  const QString text = QString::fromStdString((dir.path() / "a.txt").string());
  ASSERT_EQ(FormatOfPath(text), ExportFormat::Text);
  ASSERT_EQ(SaveShownRows(*comms.pane->Filter(), text, ExportFormat::Text), "");
  std::ifstream in(text.toStdString());
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first, "         0.001000 A Rx 61 0C 01 6E  SENSE");
  EXPECT_EQ(SaveShownRows(*comms.pane->Filter(), QString::fromStdString(dir.path().string()),
                          ExportFormat::Text)
                .isEmpty(),
            false)
      << "a folder is no file: a message, not a crash";
}

TEST_F(MonitorTableTest, ColoursMarkTroubleAndStayReadableInADarkTheme) {
  const QPalette saved = QApplication::palette();
  for (const bool dark : {false, true}) {
    QPalette palette = saved;
    palette.setColor(QPalette::Base, dark ? QColor(30, 30, 30) : QColor(255, 255, 255));
    palette.setColor(QPalette::Text, dark ? QColor(230, 230, 230) : QColor(0, 0, 0));
    QApplication::setPalette(palette);
    comms.kclearClick();
    comms.AddRecords(Traffic());
    const MonitorModel& model = comms.Model();
    const std::vector<std::pair<int, RowSeverity>> expected = {{0, RowSeverity::Normal},
                                                               {5, RowSeverity::LateReply},
                                                               {6, RowSeverity::BadChecksum},
                                                               {7, RowSeverity::Nak},
                                                               {8, RowSeverity::Debris}};
    std::set<QRgb> seen;
    for (const auto& [row, severity] : expected) {
      const QModelIndex index = model.index(row, MonitorModel::BytesColumn);
      EXPECT_EQ(index.data(MonitorModel::SeverityRole).toInt(), static_cast<int>(severity)) << row;
      const QVariant background = index.data(Qt::BackgroundRole);
      if (severity == RowSeverity::Normal) {
        EXPECT_FALSE(background.isValid()) << "ordinary rows keep the theme's base";
        continue;
      }
      const QColor colour = background.value<QBrush>().color();
      seen.insert(colour.rgb());
      const double contrast =
          std::abs(colour.lightnessF() - palette.color(QPalette::Text).lightnessF());
      EXPECT_GT(contrast, 0.45) << "row " << row << (dark ? " dark" : " light");
    }
    EXPECT_EQ(seen.size(), 4u) << "each kind of trouble has a colour of its own";
  }
  QApplication::setPalette(saved);
}

}  // namespace

TEST(MonitorCapTest, OldRowsGoInBatchesAndTheLabelCountsThem) {
  Tcommsf capped(nullptr, 640);
  capped.kclearClick();
  capped.SetShowComs(true);
  for (int i = 0; i < 650; ++i) capped.AddLine(QStringLiteral("note %1").arg(i));
  EXPECT_EQ(capped.Model().rowCount(), 650) << "ten over the cap wait for a batch";
  EXPECT_TRUE(capped.pane->notice->isHidden());
  capped.AddLine("note 650");
  EXPECT_EQ(capped.Model().rowCount(), 640);
  EXPECT_EQ(capped.Model().Row(0).designed, "note 11");
  EXPECT_FALSE(capped.pane->notice->isHidden());
  EXPECT_EQ(capped.pane->notice->text(), "(11 older lines removed; the log keeps the last 640)");
  capped.kclearClick();
  EXPECT_TRUE(capped.pane->notice->isHidden()) << "Clear starts the count again";
}
