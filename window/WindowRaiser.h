// Brings the running window to the front when the program is started a second time. The running
// instance listens on a local socket of the user's ($XDG_RUNTIME_DIR, else /tmp with the user id
// in the name); a later start connects to it and asks, besides showing its "already running" box.
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

  // Asks the running instance to bring its window to the front; true when it answered.
  static bool AskRunningInstance(int timeoutMs = 1000);

  // The socket's path for the current environment.
  static QString SocketPath();

 private:
  void Answer(class QLocalSocket* peer);

  QPointer<QWidget> window_;
  QLocalServer server_;
};
