// The desktop side of the program: the About box and the versions it shows, the icon, and a
// second start bringing the running window to the front through the local socket.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <filesystem>
#include <fstream>
#include <future>

#include "AboutBox.h"
#include "ProgramIcon.h"
#include "SingleInstance.h"
#include "TempDir.h"
#include "WindowRaiser.h"
#include "ZQTimeCodeDll.h"

namespace {

template <typename Pred>
bool WaitFor(Pred done, int ms = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

// Runs the asking side on a thread of its own while this thread serves the socket.
bool AskWhileServing(int timeoutMs = 3000) {
  auto answer = std::async(std::launch::async,
                           [timeoutMs] { return WindowRaiser::AskRunningInstance(timeoutMs); });
  WaitFor([&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
  return answer.get();
}

// The real program on the offscreen platform, killed at the end of the scope.
class RunningProgram {
 public:
  explicit RunningProgram(const std::filesystem::path& settings) {
    pid_ = fork();
    if (pid_ == 0) {
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
      const std::string program = SELKIE_PROGRAM;
      execl(program.c_str(), program.c_str(), "--settings", settings.c_str(), nullptr);
      _exit(127);
    }
  }
  ~RunningProgram() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

 private:
  pid_t pid_ = -1;
};

}  // namespace

TEST(AboutBoxTest, ShowsTheProgramTheLibrariesAndQt) {
  AboutBox box;
  EXPECT_EQ(box.windowTitle(), "About Selkie Test");
  const QString text = box.text();
  EXPECT_TRUE(text.contains(QRegularExpression("^Selkie Test \\d+\\.\\d+\\.\\d+\n")))
      << text.toStdString();
  for (const char* library : {"VyoTCode", "VyoServer", "VyoModel"})
    EXPECT_TRUE(text.contains(QRegularExpression(QString("\n%1 \\d+\\.\\d+\\.\\d+").arg(library))))
        << library;
  EXPECT_TRUE(text.contains(QString("Qt ") + qVersion()));
}

TEST(AboutBoxTest, ReadsTheVersionOfTheLoadedLibraryFile) {
  ASSERT_EQ(frmspersec(0), 25) << "the time-code library is loaded";
  const std::string file = std::filesystem::path(VYOTCODE_FILE).filename();  // libVyoTCode.so.x.y.z
  EXPECT_EQ(LoadedLibraryVersion("VyoTCode"), file.substr(std::string("libVyoTCode.so.").size()));
  EXPECT_EQ(LoadedLibraryVersion("VyoNoSuchLibrary"), std::nullopt);
}

TEST(ProgramIconTest, HoldsEveryDrawnSize) {
  const QIcon icon = ProgramIcon();
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
    EXPECT_EQ(icon.pixmap(size).width(), size);
  }
}

class WindowRaiserTest : public testing::Test {
 protected:
  TempDir dir;
  ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path().string()};
};

TEST_F(WindowRaiserTest, ASecondStartBringsTheHiddenWindowBack) {
  QWidget window;
  window.setWindowState(Qt::WindowMinimized);
  WindowRaiser raiser(&window);
  ASSERT_TRUE(raiser.Listening());
  EXPECT_TRUE(WindowRaiser::SocketPath().startsWith(QString::fromStdString(dir.path().string())));
  EXPECT_TRUE(AskWhileServing());
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(window.isMinimized());
}

TEST_F(WindowRaiserTest, NobodyToAskIsAnAnswer) { EXPECT_FALSE(AskWhileServing(500)); }

TEST_F(WindowRaiserTest, TheRunningInstanceTakesOverADeadInstancesSocket) {
  std::ofstream(WindowRaiser::SocketPath().toStdString()) << "left behind";
  QWidget window;
  WindowRaiser raiser(&window);
  ASSERT_TRUE(raiser.Listening());
  EXPECT_TRUE(AskWhileServing());
  EXPECT_TRUE(window.isVisible());
}

// A server at the socket that answers a byte at a time, or floods, holds a start no longer than
// the one deadline of the exchange (a trickling server held one for 20 s before).
TEST_F(WindowRaiserTest, ASlowOrFloodingServerCannotHoldAStart) {
  for (const bool flood : {false, true}) {
    QLocalServer server;
    QLocalServer::removeServer(WindowRaiser::SocketPath());
    ASSERT_TRUE(server.listen(WindowRaiser::SocketPath()));
    auto asked = std::async(std::launch::async, [] {
      QElapsedTimer timer;
      timer.start();
      const bool raised = WindowRaiser::AskRunningInstance(600);
      return std::make_pair(raised, timer.elapsed());
    });
    ASSERT_TRUE(WaitFor([&] { return server.hasPendingConnections(); }));
    QLocalSocket* peer = server.nextPendingConnection();
    QElapsedTimer serving;
    serving.start();
    while (asked.wait_for(std::chrono::seconds(0)) != std::future_status::ready &&
           serving.elapsed() < 5000) {
      peer->write(flood ? QByteArray(65536, 'r') : QByteArray("r"));
      peer->flush();
      QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    const auto [raised, elapsed] = asked.get();
    EXPECT_FALSE(raised) << flood;
    EXPECT_LT(elapsed, 2000) << flood;
  }
}

// Without $XDG_RUNTIME_DIR the socket lives in a folder of the user's alone; a folder of that
// name that is open to others is not used.
TEST(WindowRaiserFolder, WithoutARuntimeFolderTheSocketIsInAPrivateOne) {
  TempDir dir;
  ScopedEnv noRuntime{"XDG_RUNTIME_DIR", ""};
  ScopedEnv temp{"TMPDIR", dir.path().string()};
  const std::filesystem::path folder = dir.path() / ("selkietest-" + std::to_string(getuid()));
  EXPECT_EQ(WindowRaiser::SocketPath().toStdString(),
            (folder / "selkietest-raise.socket").string());
  struct stat info {};
  ASSERT_EQ(lstat(folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  ASSERT_EQ(chmod(folder.c_str(), 0777), 0);  // planted, or opened up: not ours alone
  EXPECT_TRUE(WindowRaiser::SocketPath().isEmpty());
  QWidget window;
  WindowRaiser raiser(&window);
  EXPECT_FALSE(raiser.Listening());
  EXPECT_FALSE(raiser.Problem().isEmpty());
  EXPECT_FALSE(WindowRaiser::AskRunningInstance(200));
}

TEST_F(WindowRaiserTest, AnyOtherRequestIsTurnedAway) {
  QWidget window;
  WindowRaiser raiser(&window);
  auto reply = std::async(std::launch::async, [] {
    QLocalSocket socket;
    socket.connectToServer(WindowRaiser::SocketPath());
    if (!socket.waitForConnected(3000)) return QByteArray("no connection");
    socket.write("show me everything\n");
    socket.waitForBytesWritten(3000);
    socket.waitForReadyRead(3000);
    return socket.readAll();
  });
  WaitFor([&] { return reply.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
  EXPECT_EQ(reply.get(), QByteArray());
  EXPECT_FALSE(window.isVisible());
}

TEST_F(WindowRaiserTest, TheRunningProgramAnswersALaterStart) {
  RunningProgram first(dir.path() / "selkietest.ini");
  ASSERT_TRUE(WaitFor(
      [] { return std::filesystem::exists(WindowRaiser::SocketPath().toStdString()); }, 10000));
  EXPECT_TRUE(AskWhileServing());
}

TEST_F(WindowRaiserTest, ALaterStartAsksTheRunningOne) {
  SingleInstance lock;  // this test plays the running instance
  ASSERT_TRUE(lock.Acquire());
  QWidget window;
  WindowRaiser raiser(&window);
  RunningProgram second(dir.path() / "selkietest.ini");
  EXPECT_TRUE(WaitFor([&] { return window.isVisible(); }, 10000));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "selkietest.ini"))
      << "the later start stops at its already-running box";
}
