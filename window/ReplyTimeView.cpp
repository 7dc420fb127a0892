#include "ReplyTimeView.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QScatterSeries>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "MonitorModel.h"
#include "ReplayScript.h"

namespace {

constexpr double kLimitMs = static_cast<double>(kLateReplyUs) / 1000.0;
const char* const kPortNames[2] = {"Port A (this program's replies)",
                                   "Port B (the machine's replies)"};

QChart* NewChart(const QString& title) {
  auto* chart = new QChart;
  chart->setTitle(title);
  chart->legend()->setAlignment(Qt::AlignBottom);
  // The theme's own colours, so a dark desktop gets a dark chart.
  chart->setBackgroundVisible(false);
  chart->setTitleBrush(QApplication::palette().color(QPalette::WindowText));
  chart->legend()->setLabelColor(QApplication::palette().color(QPalette::WindowText));
  return chart;
}

QValueAxis* Axis(QChart* chart, Qt::Alignment side, const QString& title, double max) {
  auto* axis = new QValueAxis;
  axis->setTitleText(title);
  axis->setRange(0, max);
  axis->setLabelsColor(QApplication::palette().color(QPalette::WindowText));
  axis->setTitleBrush(QApplication::palette().color(QPalette::WindowText));
  chart->addAxis(axis, side);
  return axis;
}

void Attach(QChart* chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y) {
  chart->addSeries(series);
  series->attachAxis(x);
  series->attachAxis(y);
}

QLineSeries* LimitLine(const QString& name) {
  auto* line = new QLineSeries;
  line->setName(name);
  QPen pen(QColor(220, 30, 30));
  pen.setStyle(Qt::DashLine);
  pen.setWidth(2);
  line->setPen(pen);
  return line;
}

// The histogram as steps, so two ports overlay without hiding each other.
QList<QPointF> Steps(const std::array<int, ReplyTimeView::kBins>& counts) {
  QList<QPointF> points;
  for (int bin = 0; bin < ReplyTimeView::kBins; ++bin) {
    points << QPointF(ReplyTimeView::BinEdgeMs(bin), counts[bin])
           << QPointF(ReplyTimeView::BinEdgeMs(bin + 1), counts[bin]);
  }
  return points;
}

}  // namespace

double ReplyTimeView::BinEdgeMs(int edge) {
  return kFirstEdgeMs * std::pow(10.0, static_cast<double>(edge) / kBinsPerDecade);
}

int ReplyTimeView::BinOf(double ms) {
  if (ms <= kFirstEdgeMs) return 0;
  const int bin = static_cast<int>(std::floor(std::log10(ms / kFirstEdgeMs) * kBinsPerDecade));
  return std::clamp(bin, 0, kBins - 1);
}

ReplyTimeView::ReplyTimeView(const MonitorModel* model, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(model), timer_(new QTimer(this)) {
  setWindowTitle(QStringLiteral("Reply Times"));
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(760, 620);
  auto* layout = new QVBoxLayout(this);
  for (int port = 0; port < 2; ++port) {
    stats[port] = new QLabel(this);
    stats[port]->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(stats[port]);
  }
  layout->addWidget(BuildHistogram(), 1);
  layout->addWidget(BuildTimeline(), 1);
  timer_->setInterval(500);
  connect(timer_, &QTimer::timeout, this, [this] { Refresh(); });
  Refresh();
}

QWidget* ReplyTimeView::BuildHistogram() {
  QChart* chart = NewChart(QStringLiteral("Reply time histogram"));
  auto* x = new QLogValueAxis;
  x->setBase(10);
  x->setRange(BinEdgeMs(0), BinEdgeMs(kBins));
  x->setLabelFormat(QStringLiteral("%g"));
  x->setTitleText(QStringLiteral("reply (ms, logarithmic)"));
  x->setLabelsColor(QApplication::palette().color(QPalette::WindowText));
  x->setTitleBrush(QApplication::palette().color(QPalette::WindowText));
  chart->addAxis(x, Qt::AlignBottom);
  histogramY_ = Axis(chart, Qt::AlignLeft, QStringLiteral("replies"), 1);
  histogramY_->setLabelFormat(QStringLiteral("%.0f"));
  for (int port = 0; port < 2; ++port) {
    histogram[port] = new QLineSeries;
    histogram[port]->setName(QString::fromLatin1(kPortNames[port]));
    Attach(chart, histogram[port], x, histogramY_);
  }
  histogramLimit = LimitLine(QStringLiteral("9 ms"));
  Attach(chart, histogramLimit, x, histogramY_);
  auto* view = new QChartView(chart, this);
  view->setRenderHint(QPainter::Antialiasing);
  return view;
}

QWidget* ReplyTimeView::BuildTimeline() {
  QChart* chart = NewChart(QStringLiteral("Reply time line"));
  timelineX_ = Axis(chart, Qt::AlignBottom, QStringLiteral("time (s)"), 1);
  timelineY_ = Axis(chart, Qt::AlignLeft, QStringLiteral("reply (ms)"), kLimitMs * 1.2);
  for (int port = 0; port < 2; ++port) {
    timeline[port] = new QScatterSeries;
    timeline[port]->setName(QString::fromLatin1(kPortNames[port]));
    timeline[port]->setMarkerSize(5);
    timeline[port]->setBorderColor(Qt::transparent);
    Attach(chart, timeline[port], timelineX_, timelineY_);
  }
  timelineLimit = LimitLine(QStringLiteral("9 ms"));
  Attach(chart, timelineLimit, timelineX_, timelineY_);
  auto* view = new QChartView(chart, this);
  view->setRenderHint(QPainter::Antialiasing);
  return view;
}

void ReplyTimeView::Refresh() {
  const std::deque<MonitorReply>& replies = model_->Replies();
  const qint64 lastUs = replies.empty() ? -1 : replies.back().us;
  if (replies.size() == drawnCount_ && lastUs == drawnLastUs_) return;
  drawnCount_ = replies.size();
  drawnLastUs_ = lastUs;

  std::array<std::vector<Micros>, 2> times;
  std::array<std::array<int, kBins>, 2> counts{};
  std::array<QList<QPointF>, 2> points;
  double longestMs = kLimitMs * 1.2;
  double lastS = 1;
  for (const MonitorReply& sample : replies) {
    const int port = sample.port == u"B" ? 1 : 0;
    const double ms = static_cast<double>(sample.replyUs) / 1000.0;
    times[port].push_back(Micros(sample.replyUs));
    ++counts[port][BinOf(ms)];
    points[port] << QPointF(static_cast<double>(sample.us) / 1e6, ms);
    longestMs = std::max(longestMs, ms * 1.05);
    lastS = std::max(lastS, static_cast<double>(sample.us) / 1e6);
  }
  int tallest = 1;
  for (int port = 0; port < 2; ++port) {
    stats[port]->setText(QString::fromLatin1(kPortNames[port]) + QStringLiteral(":  ") +
                         QString::fromStdString(ReplyTimeSummary(times[port])));
    histogram[port]->replace(Steps(counts[port]));
    tallest = std::max(tallest, *std::max_element(counts[port].begin(), counts[port].end()));
    if (points[port].size() > kMaxPoints) points[port].remove(0, points[port].size() - kMaxPoints);
    timeline[port]->replace(points[port]);
  }
  histogramY_->setRange(0, tallest * 1.1);
  histogramLimit->replace({QPointF(kLimitMs, 0), QPointF(kLimitMs, tallest * 1.1)});
  timelineX_->setRange(0, lastS);
  timelineY_->setRange(0, longestMs);
  timelineLimit->replace({QPointF(0, kLimitMs), QPointF(lastS, kLimitMs)});
}

void ReplyTimeView::showEvent(QShowEvent* event) {
  Refresh();
  timer_->start();
  QWidget::showEvent(event);
}

void ReplyTimeView::hideEvent(QHideEvent* event) {
  timer_->stop();
  QWidget::hideEvent(event);
}
