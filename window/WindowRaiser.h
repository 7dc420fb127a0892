// Brings the running window to the front when the program is started a second time. The running
// instance listens on a local socket in a folder of the user's alone ($XDG_RUNTIME_DIR, else
// selkietest-<uid> in the temporary folder, 0700); a later start connects to it and asks, besides
// showing its "already running" box. Both sides check that the other is the same user.
#pragma once

#include <QLocalServer>
#include <QPointer>
#include <QString>
#include <QWidget>

class WindowRaiser : public QObject {
 public:
  // Listens for requests and brings `window` to the front for each one. Only the instance that
  // holds the single-instance lock may listen: it takes over a socket left by a dead instance.
  explicit WindowRaiser(QWidget* window);

  bool Listening() const { return server_.isListening(); }
  // Why it does not listen, for the user.
  const QString& Problem() const { return problem_; }

  // Asks the running instance to bring its window to the front; true when it answered.
  static bool AskRunningInstance(int timeoutMs = 1000);

  // The socket's path for the current environment; empty when no private folder can be had.
  static QString SocketPath();

 private:
  void Answer(class QLocalSocket* peer);

  QPointer<QWidget> window_;
  QLocalServer server_;
  QString problem_;
};
