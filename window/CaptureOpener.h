// CaptureOpener: the ways a capture file reaches a viewer from the main window: File >
// "Open Capture...", File > "Recent Captures" (the last eight, kept in a file of their own) and a
// file dropped on the window.
#pragma once

#include <QObject>
#include <QStringList>

struct MainMenu;
class CaptureViewer;
class QMimeData;
class QWidget;

class CaptureOpener : public QObject {
 public:
  static constexpr int kRecent = 8;

  // `recentFile` keeps the recent list, one path a line; empty: the user's config folder.
  CaptureOpener(QWidget* window, MainMenu& menu, QString recentFile = {});

  // Opens a viewer of `path` (a message box when it cannot) and puts it first in the recent list.
  CaptureViewer* Open(const QString& path);
  const QStringList& Recent() const { return recent_; }
  // What a drop on the window does: one local file opens; anything else is refused (false).
  bool Dropped(const QMimeData* data);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void AskAndOpen();
  void Remember(const QString& path);
  void FillRecentMenu();

  QWidget* window_;
  MainMenu& menu_;
  QString recentFile_;
  QStringList recent_;
};
