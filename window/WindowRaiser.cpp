#include "WindowRaiser.h"

#include <unistd.h>

#include <QLocalSocket>

namespace {

constexpr char kRequest[] = "raise\n";
constexpr char kAnswer[] = "raised\n";

}  // namespace

QString WindowRaiser::SocketPath() {
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty()) return QString::fromLocal8Bit(runtime) + "/selkietest-raise.socket";
  return QString("/tmp/selkietest-raise-%1.socket").arg(::getuid());
}

WindowRaiser::WindowRaiser(QWidget* window) : window_(window) {
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  // The caller holds the single-instance lock, so a socket already there is a dead instance's.
  QLocalServer::removeServer(SocketPath());
  server_.listen(SocketPath());
  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* peer = server_.nextPendingConnection()) {
      connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
      connect(peer, &QLocalSocket::readyRead, this, [this, peer] { Answer(peer); });
    }
  });
}

void WindowRaiser::Answer(QLocalSocket* peer) {
  if (!peer->canReadLine()) return;
  if (peer->readLine() != kRequest) {
    peer->disconnectFromServer();
    return;
  }
  if (window_) {
    window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->show();
    window_->raise();
    window_->activateWindow();
  }
  peer->write(kAnswer);
  peer->flush();
}

bool WindowRaiser::AskRunningInstance(int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(SocketPath());
  if (!socket.waitForConnected(timeoutMs)) return false;
  socket.write(kRequest);
  if (!socket.waitForBytesWritten(timeoutMs)) return false;
  while (!socket.canReadLine())
    if (!socket.waitForReadyRead(timeoutMs)) return false;
  return socket.readLine() == kAnswer;
}
