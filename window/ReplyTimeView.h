// ReplyTimeView ("Reply Times"): port A's reply times (this program answering an editor) and the
// machine's reply times on port B, from a MonitorModel: a histogram and a time line of each, the
// 9 ms line an editor waits for, and min/median/p99/max per port. It follows the model on a timer
// while shown, so new replies appear without a row's work waiting for the charts.
#pragma once

#include <QWidget>
#include <array>

class MonitorModel;
class QChart;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QTimer;
class QValueAxis;

class ReplyTimeView : public QWidget {
 public:
  // The histogram's bins: ten a decade from 1 us to 100 ms, so a reply of microseconds and one
  // of milliseconds are both told apart; the first and last bins take what lies beyond.
  static constexpr double kFirstEdgeMs = 0.001;
  static constexpr int kBinsPerDecade = 10;
  static constexpr int kBins = 5 * kBinsPerDecade;
  static double BinEdgeMs(int edge);
  static int BinOf(double ms);
  // The time line shows at most this many of the latest replies per port.
  static constexpr int kMaxPoints = 20000;

  explicit ReplyTimeView(const MonitorModel* model, QWidget* parent = nullptr);

  // Redraws from the model now.
  void Refresh();

  std::array<QLabel*, 2> stats{};  // port A, port B: "n 38  min 0.210 ms  median ..."
  std::array<QLineSeries*, 2> histogram{};
  std::array<QScatterSeries*, 2> timeline{};
  QLineSeries* histogramLimit;  // the 9 ms line
  QLineSeries* timelineLimit;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QWidget* BuildHistogram();
  QWidget* BuildTimeline();

  const MonitorModel* model_;
  QTimer* timer_;
  QValueAxis* histogramY_;
  QValueAxis* timelineX_;
  QValueAxis* timelineY_;
  std::size_t drawnCount_ = static_cast<std::size_t>(-1);
  qint64 drawnLastUs_ = -1;
};
