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
  // The histogram's bins: 0.25 ms wide up to 12 ms; later replies fall in the last.
  static constexpr double kBinMs = 0.25;
  static constexpr int kBins = 48;
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
