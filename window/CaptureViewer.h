// CaptureViewer: a capture file (CaptureFile.h) in a window whose title names the file: the
// monitor's table with its filters, search and "Save As...", the reply-time plots, and
// "Replay to Port B", which plays the editor's side of the capture to the machine on a port, as
// `--replay` does, on a thread of its own, and marks each request whose reply differs (the
// "Replay" column shows what came back).
#pragma once

#include <QWidget>
#include <memory>
#include <thread>

#include "MonitorModel.h"

class MonitorPane;
class QLabel;
class QLineEdit;
class QPushButton;
class ReplayRunner;
class ReplyTimeView;

class CaptureViewer : public QWidget {
 public:
  // Larger than the live monitor's cap: a capture is read whole once.
  static constexpr int kMaxRows = 2000000;

  // Reads the capture; throws CaptureError with a message for the user.
  explicit CaptureViewer(const QString& path, QWidget* parent = nullptr);
  ~CaptureViewer() override;

  // Shows a viewer of `path`, or a message box saying why it cannot; the viewer deletes itself
  // when closed.
  static CaptureViewer* Open(const QString& path, QWidget* parent = nullptr);

  // Plays the capture to `port` (COMn, a device path or pty:PATH). False with a message in
  // replayStatus when it cannot start.
  bool StartReplay(const QString& port);
  bool Replaying() const { return thread_.joinable() && !finished_; }
  void ShowReplyTimes();
  ReplyTimeView* Plots() const { return plots_; }  // null until first shown

  const MonitorModel& Model() const { return model_; }
  const QString& Path() const { return path_; }

  MonitorPane* pane;
  QPushButton* replyTimes;
  QLineEdit* replayPort;
  QPushButton* replay;
  QLabel* replayStatus;

 private:
  QWidget* BuildReplayBar();
  void StopReplay();
  void Replayed(std::size_t record, const QString& bytes, bool matches, std::size_t done);
  void ReplayFinished(const QString& summary);

  QString path_;
  MonitorModel model_;
  ReplyTimeView* plots_ = nullptr;
  std::unique_ptr<ReplayRunner> runner_;
  std::thread thread_;
  bool finished_ = true;
};
