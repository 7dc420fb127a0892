#include "CaptureOpener.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QSaveFile>
#include <QStandardPaths>
#include <QWidget>

#include "CaptureViewer.h"
#include "MainMenu.h"

namespace {

QString DroppedFile(const QMimeData* data) {
  if (data == nullptr || data->urls().size() != 1 || !data->urls().front().isLocalFile()) return {};
  return data->urls().front().toLocalFile();
}

}  // namespace

CaptureOpener::CaptureOpener(QWidget* window, MainMenu& menu, QString recentFile)
    : QObject(window), window_(window), menu_(menu), recentFile_(std::move(recentFile)) {
  if (recentFile_.isEmpty()) {
    recentFile_ = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                  QStringLiteral("/selkietest/recent-captures");
  }
  QFile file(recentFile_);
  if (file.open(QIODevice::ReadOnly)) {
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n')))
      if (!line.isEmpty() && recent_.size() < kRecent) recent_ << line;
  }
  FillRecentMenu();
  connect(menu_.OpenCapture1, &QAction::triggered, this, [this] { AskAndOpen(); });
  window_->setAcceptDrops(true);
  window_->installEventFilter(this);
}

void CaptureOpener::AskAndOpen() {
  const QString path =
      QFileDialog::getOpenFileName(window_, QStringLiteral("Open Capture"), QString(),
                                   QStringLiteral("Capture files (*.cap *.txt);;All files (*)"));
  if (!path.isEmpty()) Open(path);
}

CaptureViewer* CaptureOpener::Open(const QString& path) {
  CaptureViewer* viewer = CaptureViewer::Open(path, window_);
  if (viewer) Remember(QFileInfo(path).absoluteFilePath());
  return viewer;
}

void CaptureOpener::Remember(const QString& path) {
  recent_.removeAll(path);
  recent_.prepend(path);
  while (recent_.size() > kRecent) recent_.removeLast();
  FillRecentMenu();
  QDir().mkpath(QFileInfo(recentFile_).absolutePath());
  // A list that cannot be kept costs only the next run's menu.
  QSaveFile file(recentFile_);
  if (file.open(QIODevice::WriteOnly)) {
    file.write(recent_.join(QLatin1Char('\n')).toUtf8());
    file.commit();
  }
}

void CaptureOpener::FillRecentMenu() {
  menu_.RecentCaptures1->clear();
  for (const QString& path : recent_) {
    QAction* item = menu_.RecentCaptures1->addAction(QFileInfo(path).fileName());
    item->setToolTip(path);
    connect(item, &QAction::triggered, this, [this, path] { Open(path); });
  }
  menu_.RecentCaptures1->setEnabled(!recent_.isEmpty());
}

bool CaptureOpener::Dropped(const QMimeData* data) {
  const QString path = DroppedFile(data);
  if (path.isEmpty()) return false;
  Open(path);
  return true;
}

bool CaptureOpener::eventFilter(QObject* watched, QEvent* event) {
  if (watched != window_) return false;
  if (event->type() == QEvent::DragEnter) {
    auto* drag = static_cast<QDragEnterEvent*>(event);
    if (DroppedFile(drag->mimeData()).isEmpty()) return false;
    drag->acceptProposedAction();
    return true;
  }
  if (event->type() == QEvent::Drop) {
    auto* drop = static_cast<QDropEvent*>(event);
    if (!Dropped(drop->mimeData())) return false;
    drop->acceptProposedAction();
    return true;
  }
  return false;
}
