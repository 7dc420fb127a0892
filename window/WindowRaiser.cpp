#include "WindowRaiser.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>

namespace {

constexpr char kRequest[] = "raise\n";
constexpr char kAnswer[] = "raised\n";
// Both lines are short: a peer that sends more without a line end is no instance of ours.
constexpr qint64 kMaxLine = 64;

// Only this user's processes may ask or answer, whatever the folder allows.
bool PeerIsThisUser(qintptr fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return ::getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
         peer.uid == ::getuid();
}

// $XDG_RUNTIME_DIR is the user's own; else a folder of the user's in the shared temporary folder,
// made 0700. Empty when that name is taken by anyone else, or open to others.
QString PrivateFolder() {
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty()) return QString::fromLocal8Bit(runtime);
  const QByteArray folder =
      QString("%1/selkietest-%2").arg(QDir::tempPath()).arg(::getuid()).toLocal8Bit();
  ::mkdir(folder.constData(), 0700);
  struct stat info {};
  if (::lstat(folder.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
      info.st_uid != ::getuid() || (info.st_mode & 077) != 0) {
    return {};
  }
  return QString::fromLocal8Bit(folder);
}

}  // namespace

QString WindowRaiser::SocketPath() {
  const QString folder = PrivateFolder();
  return folder.isEmpty() ? QString() : folder + "/selkietest-raise.socket";
}

WindowRaiser::WindowRaiser(QWidget* window) : window_(window) {
  const QString path = SocketPath();
  if (path.isEmpty()) {
    problem_ = QString("the folder %1/selkietest-%2 is not this user's alone")
                   .arg(QDir::tempPath())
                   .arg(::getuid());
    return;
  }
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  // The caller holds the single-instance lock, so a socket already there is a dead instance's.
  QLocalServer::removeServer(path);
  if (!server_.listen(path)) {
    problem_ = path + ": " + server_.errorString();
    return;
  }
  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* peer = server_.nextPendingConnection()) {
      connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
      if (!PeerIsThisUser(peer->socketDescriptor())) {
        peer->abort();
        continue;
      }
      connect(peer, &QLocalSocket::readyRead, this, [this, peer] { Answer(peer); });
    }
  });
}

void WindowRaiser::Answer(QLocalSocket* peer) {
  if (!peer->canReadLine()) {
    if (peer->bytesAvailable() > kMaxLine) peer->abort();
    return;
  }
  if (peer->readLine(kMaxLine + 1) != kRequest) {
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

// One deadline for the whole exchange: a peer that answers slowly, byte by byte, or endlessly
// cannot hold a start.
bool WindowRaiser::AskRunningInstance(int timeoutMs) {
  const QString path = SocketPath();
  if (path.isEmpty()) return false;
  const QDeadlineTimer deadline(timeoutMs);
  QLocalSocket socket;
  socket.connectToServer(path);
  if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) return false;
  if (!PeerIsThisUser(socket.socketDescriptor())) return false;
  socket.write(kRequest);
  if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) return false;
  while (!socket.canReadLine()) {
    if (socket.bytesAvailable() > kMaxLine || deadline.hasExpired()) return false;
    if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) return false;
  }
  return socket.readLine(kMaxLine + 1) == kAnswer;
}
