// The capture viewer and the reply-time plots: a capture opens in a window named after its file
// (from File > "Open Capture...", "Recent Captures" and a drop), its reply times are plotted with
// their figures, and "Replay to Port B" marks the exchanges whose reply differs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QMainWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScatterSeries>
#include <QTableView>
#include <QTest>
#include <QUrl>
#include <atomic>
#include <fstream>
#include <thread>

#include "CaptureOpener.h"
#include "CaptureViewer.h"
#include "MainMenu.h"
#include "MonitorPane.h"
#include "QtTestApp.h"
#include "ReplyTimeView.h"
#include "TempDir.h"

namespace {

// Port A answered twice (0.228 ms, then 10.860 ms: late); port B's machine once (1.428 ms). A
// capture keeps first bytes only: a request ends 286 us a byte after its first.
constexpr const char* kCapture =
    "# selkietest capture 1\n"
    "0.001000 A rx msg 20 01 21 | PLAY\n"
    "0.001800 A tx msg 10 01 11 | ACK\n"
    "0.005000 B tx msg 20 00 20 | STOP\n"
    "0.007000 B rx msg 10 01 11 | ACK\n"
    "0.009000 A rx msg 61 0C 01 6E | CURRENT TIME SENSE LTC\n"
    "0.020718 A tx msg 74 04 00 00 00 01 79 | LTC TIME DATA\n";

QString Write(const TempDir& dir, const std::string& name, const std::string& text) {
  const std::filesystem::path path = dir.path() / name;
  std::ofstream(path) << text;
  return QString::fromStdString(path.string());
}

// A machine on a pseudo-terminal that acknowledges whatever it is sent.
class AckingMachine {
 public:
  AckingMachine() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    ::grantpt(master_);
    ::unlockpt(master_);
    device_ = ::ptsname(master_);
    // Raw before the replay opens it, so no request is echoed back as a reply.
    slave_ = ::open(device_.c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    ::tcgetattr(slave_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave_, TCSANOW, &t);
    thread_ = std::thread([this] { Serve(); });
  }
  ~AckingMachine() {
    stop_ = true;
    thread_.join();
    ::close(slave_);
    ::close(master_);
  }
  const std::string& Device() const { return device_; }

 private:
  void Serve() {
    while (!stop_) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      uint8_t buffer[64];
      if (::read(master_, buffer, sizeof buffer) <= 0) continue;
      const uint8_t ack[] = {0x10, 0x01, 0x11};
      (void)!::write(master_, ack, sizeof ack);
    }
  }

  int master_ = -1;
  int slave_ = -1;
  std::string device_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST(CaptureViewerTest, OpensACaptureNamedInItsTitleAndRefusesABrokenOne) {
  TempDir dir;
  CaptureViewer viewer(Write(dir, "morning.cap", kCapture));
  EXPECT_EQ(viewer.windowTitle(), "morning.cap - Capture");
  ASSERT_EQ(viewer.Model().rowCount(), 6);
  EXPECT_EQ(viewer.Model().index(5, MonitorModel::ReplyColumn).data().toString(), "10.860 ms");
  viewer.pane->errorsOnly->setChecked(true);
  EXPECT_EQ(viewer.pane->table->model()->rowCount(), 1) << "the late reply";
  try {
    CaptureViewer broken(Write(dir, "broken.cap", "# selkietest capture 1\n0.1 A rx msg 20\n"));
    ADD_FAILURE() << "a broken capture opened";
  } catch (const CaptureError& e) {
    EXPECT_NE(std::string(e.what()).find("line 2"), std::string::npos) << e.what();
  }
}

TEST(CaptureViewerTest, ReplyTimesArePlottedWithTheirFiguresAndTheNineMillisecondLine) {
  TempDir dir;
  CaptureViewer viewer(Write(dir, "morning.cap", kCapture));
  viewer.ShowReplyTimes();
  ReplyTimeView* plots = viewer.Plots();
  ASSERT_NE(plots, nullptr);
  EXPECT_EQ(plots->windowTitle(), "morning.cap - Reply Times");
  EXPECT_TRUE(plots->stats[0]->text().contains("n 2  min 0.228 ms"))
      << plots->stats[0]->text().toStdString();
  EXPECT_TRUE(plots->stats[0]->text().contains("max 10.860 ms"));
  EXPECT_TRUE(plots->stats[1]->text().contains("n 1  min 1.428 ms"))
      << plots->stats[1]->text().toStdString();
  for (int port = 0; port < 2; ++port) {
    double total = 0;
    for (const QPointF& point : plots->histogram[port]->points()) total += point.y();
    EXPECT_EQ(total / 2, port == 0 ? 2 : 1) << "each reply counted once (two points a step)";
    EXPECT_EQ(plots->timeline[port]->count(), port == 0 ? 2 : 1);
  }
  const std::vector<std::pair<double, int>> bins = {
      {0.0, 0}, {0.0012, 0}, {0.004, 6}, {0.228, 23}, {9.0, 39}, {10.86, 40}, {5000.0, 49}};
  for (const auto& [ms, bin] : bins) EXPECT_EQ(ReplyTimeView::BinOf(ms), bin) << ms;
  EXPECT_EQ(plots->histogramLimit->at(0).x(), 9.0);
  EXPECT_EQ(plots->timelineLimit->at(0).y(), 9.0);
}

TEST(CaptureViewerTest, ReplayToPortBMarksEachExchangeWhoseReplyDiffers) {
  TempDir dir;
  CaptureViewer viewer(Write(dir, "morning.cap", kCapture));
  EXPECT_FALSE(viewer.StartReplay(""));
  EXPECT_FALSE(viewer.replayStatus->text().isEmpty());
  AckingMachine machine;
  ASSERT_TRUE(viewer.StartReplay(QString::fromStdString(machine.Device())));
  EXPECT_FALSE(viewer.replay->isEnabled()) << "one replay at a time";
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return !viewer.Replaying() && viewer.replay->isEnabled(); }, kStuckMs));
  const MonitorModel& model = viewer.Model();
  EXPECT_EQ(model.Row(0).replayMatches, true) << "PLAY was acknowledged, as captured";
  EXPECT_EQ(model.index(0, MonitorModel::ReplayColumn).data().toString(), "same");
  EXPECT_EQ(model.Row(4).replayMatches, false) << "the time sense got an ACK this time";
  EXPECT_EQ(model.index(4, MonitorModel::ReplayColumn).data().toString(), "10 01 11");
  EXPECT_EQ(model.index(4, 0).data(MonitorModel::SeverityRole).toInt(),
            static_cast<int>(RowSeverity::ReplayDiffers));
  EXPECT_TRUE(model.index(4, 0).data(Qt::BackgroundRole).isValid());
  EXPECT_FALSE(model.Row(2).replayMatches.has_value()) << "port B is not the editor's side";
  EXPECT_TRUE(viewer.replayStatus->text().contains("2 exchanges, 1 differ"))
      << viewer.replayStatus->text().toStdString();
}

// A rack's capture: its machines join the port filter, and a replay plays the one shown.
TEST(CaptureViewerTest, ARacksMachinesAreFilteredAndReplayedByName) {
  TempDir dir;
  CaptureViewer viewer(Write(dir, "rack.cap",
                             "# selkietest capture 2\n"
                             "0.001000 vtr1 rx msg 20 01 21 | PLAY\n"
                             "0.001800 vtr1 tx msg 10 01 11 | ACK\n"
                             "0.002000 deck-b rx msg 61 0C 01 6E | CURRENT TIME SENSE LTC\n"
                             "0.002900 deck-b tx msg 74 04 00 00 00 01 79 | LTC TIME DATA\n"
                             "0.003000 deck-b rx msg 20 00 20 | STOP\n"
                             "0.003500 deck-b tx msg 10 01 11 | ACK\n"));
  QComboBox* ports = viewer.pane->portBox;
  ASSERT_EQ(ports->count(), 5);
  EXPECT_EQ(ports->itemText(4), "Machine deck-b");
  EXPECT_GE(viewer.pane->table->columnWidth(MonitorModel::PortColumn),
            viewer.pane->table->fontMetrics().horizontalAdvance("deck-b"))
      << "a machine's name is shown whole";
  EXPECT_EQ(viewer.Model().index(2, MonitorModel::PortColumn).data().toString(), "deck-b");
  EXPECT_FALSE(viewer.Model().Row(3).replyUs == std::nullopt) << "a machine's replies are timed";

  AckingMachine machine;
  EXPECT_FALSE(viewer.StartReplay(QString::fromStdString(machine.Device())));
  EXPECT_TRUE(viewer.replayStatus->text().contains("choose one"))
      << viewer.replayStatus->text().toStdString();
  ports->setCurrentIndex(4);
  EXPECT_EQ(viewer.pane->table->model()->rowCount(), 4) << "deck-b's rows alone";
  ASSERT_TRUE(viewer.StartReplay(QString::fromStdString(machine.Device())));
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return !viewer.Replaying() && viewer.replay->isEnabled(); }, kStuckMs));
  EXPECT_EQ(viewer.Model().Row(2).replayMatches, false) << "the time sense got an ACK";
  EXPECT_EQ(viewer.Model().Row(4).replayMatches, true);
  EXPECT_FALSE(viewer.Model().Row(0).replayMatches.has_value()) << "vtr1 was not played";
}

TEST(CaptureViewerTest, FileMenuRecentCapturesAndADropOpenTheViewer) {
  TempDir dir;
  const QString capture = Write(dir, "morning.cap", kCapture);
  const QString recent = QString::fromStdString((dir.path() / "recent").string());
  QMainWindow window;
  MainMenu menu(window.menuBar());
  EXPECT_EQ(window.menuBar()->actions().front()->text(), "&File");
  {
    CaptureOpener opener(&window, menu, recent);
    EXPECT_FALSE(menu.RecentCaptures1->isEnabled());
    CaptureViewer* viewer = opener.Open(capture);
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->windowTitle(), "morning.cap - Capture");
    viewer->close();  // deletes itself
  }
  CaptureOpener again(&window, menu, recent);
  ASSERT_EQ(menu.RecentCaptures1->actions().size(), 1) << "kept for the next run";
  EXPECT_EQ(menu.RecentCaptures1->actions().front()->text(), "morning.cap");
  EXPECT_EQ(again.Recent(), QStringList{capture});
  menu.RecentCaptures1->actions().front()->trigger();
  const auto shownViewers = [] {
    std::vector<CaptureViewer*> shown;
    for (QWidget* top : QApplication::topLevelWidgets())
      if (auto* v = dynamic_cast<CaptureViewer*>(top); v && v->isVisible()) shown.push_back(v);
    return shown;
  };
  ASSERT_EQ(shownViewers().size(), 1u) << "the recent item opens its capture";
  shownViewers().front()->close();

  EXPECT_TRUE(window.acceptDrops());
  QMimeData data;
  data.setText("not a file");
  EXPECT_FALSE(again.Dropped(&data));
  data.setUrls({QUrl::fromLocalFile(capture)});
  EXPECT_TRUE(again.Dropped(&data));
  CaptureViewer* dropped = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets())
    if (auto* v = dynamic_cast<CaptureViewer*>(top); v && v->isVisible()) dropped = v;
  ASSERT_NE(dropped, nullptr);
  EXPECT_EQ(dropped->Path(), capture);
  dropped->close();
}

}  // namespace
