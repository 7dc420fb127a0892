#include "CaptureViewer.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <sstream>

#include "CaptureSide.h"
#include "MonitorPane.h"
#include "ReplayRunner.h"
#include "ReplyTimeView.h"
#include "sonyname.h"

namespace {

// The rack machines of a capture, in the order they first appear.
QStringList MachinesOf(const std::vector<CaptureRecord>& records) {
  QStringList names;
  for (const std::string& port : CapturePorts(records))
    if (port != "A" && port != "B") names << QString::fromStdString(port);
  return names;
}

}  // namespace

CaptureViewer::CaptureViewer(const QString& path, QWidget* parent)
    : QWidget(parent, Qt::Window), path_(path), model_(kMaxRows, [] { return Micros(0); }) {
  const std::vector<CaptureRecord> records = CaptureReader::ReadFile(path.toStdString());
  model_.LoadCapture(records);
  setWindowTitle(QStringLiteral("%1 - Capture").arg(QFileInfo(path).fileName()));
  setWindowFilePath(path);
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(1000, 600);

  pane = new MonitorPane(&model_, this);
  pane->pause->setVisible(false);  // a file does not move
  pane->follow->setChecked(false);
  pane->OfferMachines(MachinesOf(records));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pane, 1);
  layout->addWidget(BuildReplayBar());
}

CaptureViewer::~CaptureViewer() { StopReplay(); }

QWidget* CaptureViewer::BuildReplayBar() {
  auto* bar = new QWidget(this);
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(0, 0, 0, 0);
  replyTimes = new QPushButton(QStringLiteral("Reply Times..."), bar);
  replayPort = new QLineEdit(bar);
  replayPort->setPlaceholderText(QStringLiteral("COMn, /dev/ttyUSB0 or pty:PATH"));
  replayPort->setToolTip(QStringLiteral("The port of the machine to play the capture to"));
  replay = new QPushButton(QStringLiteral("Replay to Port B"), bar);
  replayStatus = new QLabel(bar);
  row->addWidget(replyTimes);
  row->addStretch(1);
  row->addWidget(new QLabel(QStringLiteral("Port B:"), bar));
  row->addWidget(replayPort, 1);
  row->addWidget(replay);
  auto* box = new QWidget(this);
  auto* column = new QVBoxLayout(box);
  column->setContentsMargins(0, 0, 0, 0);
  column->addWidget(bar);
  column->addWidget(replayStatus);
  connect(replyTimes, &QPushButton::clicked, this, [this] { ShowReplyTimes(); });
  connect(replay, &QPushButton::clicked, this, [this] { StartReplay(replayPort->text()); });
  connect(replayPort, &QLineEdit::returnPressed, this, [this] { StartReplay(replayPort->text()); });
  return box;
}

CaptureViewer* CaptureViewer::Open(const QString& path, QWidget* parent) {
  try {
    auto* viewer = new CaptureViewer(path);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->show();
    return viewer;
  } catch (const std::exception& e) {
    QMessageBox::warning(
        parent, QStringLiteral("Open Capture"),
        QStringLiteral("Cannot open %1: %2").arg(path, QString::fromUtf8(e.what())));
    return nullptr;
  }
}

void CaptureViewer::ShowReplyTimes() {
  if (!plots_) {
    plots_ = new ReplyTimeView(&model_, this);
    plots_->setWindowTitle(QStringLiteral("%1 - Reply Times").arg(QFileInfo(path_).fileName()));
  }
  plots_->show();
  plots_->raise();
}

bool CaptureViewer::StartReplay(const QString& port) {
  if (Replaying()) return false;
  StopReplay();
  ProgramOptions options;
  options.replay = path_.toStdString();
  options.portB = port.trimmed().toStdString();
  // A rack's capture plays the machine the filter shows.
  const QString chosen = pane->ChosenPort();
  if (!chosen.isEmpty() && chosen != u"A" && chosen != u"B") options.from = chosen.toStdString();
  auto output = std::make_shared<std::ostringstream>();
  auto runner = std::make_unique<ReplayRunner>(options, *output);
  try {
    if (options.portB->empty()) throw std::runtime_error("name the machine's port first");
    runner->Start();
  } catch (const std::exception& e) {
    replayStatus->setText(QStringLiteral("Replay: ") + QString::fromUtf8(e.what()));
    return false;
  }
  model_.ClearReplayed();
  pane->table->setColumnHidden(MonitorModel::ReplayColumn, false);
  replay->setEnabled(false);
  replayStatus->setText(QStringLiteral("Replaying %1 exchanges...").arg(runner->Exchanges()));
  // Posted with this window as context: a post that comes after the window went is dropped.
  auto done = std::make_shared<std::size_t>(0);
  runner->onExchange = [this, done](const ReplayRunner::Outcome& outcome) {
    const QString bytes = outcome.reply
                              ? QString::fromStdString(HexBytes(outcome.reply->bytes)).trimmed()
                              : QStringLiteral("no reply");
    const std::size_t record = outcome.exchange->record;
    const bool matches = outcome.matches;
    const std::size_t count = ++*done;
    QMetaObject::invokeMethod(
        this, [=, this] { Replayed(record, bytes, matches, count); }, Qt::QueuedConnection);
  };
  runner_ = std::move(runner);
  finished_ = false;
  thread_ = std::thread([this, output] {
    try {
      runner_->Run();
    } catch (const std::exception& e) {
      *output << "replay stopped: " << e.what() << "\n";
    }
    const QString summary = QString::fromStdString(output->str()).trimmed();
    QMetaObject::invokeMethod(
        this, [this, summary] { ReplayFinished(summary); }, Qt::QueuedConnection);
  });
  return true;
}

void CaptureViewer::Replayed(std::size_t record, const QString& bytes, bool matches,
                             std::size_t done) {
  model_.SetReplayed(static_cast<int>(record), matches ? QStringLiteral("same") : bytes, matches);
  replayStatus->setText(QStringLiteral("Replaying: %1 of %2").arg(done).arg(runner_->Exchanges()));
}

void CaptureViewer::ReplayFinished(const QString& summary) {
  StopReplay();
  // The differences are in the table; the summary's last two lines give the count and the times.
  const QStringList lines = summary.split(QLatin1Char('\n'));
  replayStatus->setText(
      lines.mid(std::max<qsizetype>(0, lines.size() - 2)).join(QStringLiteral("   ")));
  replay->setEnabled(true);
}

void CaptureViewer::StopReplay() {
  if (runner_) runner_->stop = true;
  if (thread_.joinable()) thread_.join();
  runner_.reset();
  finished_ = true;
}
