// A second start while the program runs shows only the "already running" box: no window, no
// port, no settings file. Run as a real program on the offscreen platform.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "SingleInstance.h"
#include "TempDir.h"

namespace {

pid_t StartWindow(const std::filesystem::path& settings) {
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string program = SELKIE_PROGRAM;
    execl(program.c_str(), program.c_str(), "--settings", settings.c_str(), nullptr);
    _exit(127);
  }
  return pid;
}

bool AppearsWithin(const std::filesystem::path& path, int ms) {
  for (int waited = 0; waited < ms; waited += 50) {
    if (std::filesystem::exists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return std::filesystem::exists(path);
}

void Stop(pid_t pid) {
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

}  // namespace

TEST(SecondInstanceTest, OnlyTheFirstInstanceStarts) {
  TempDir dir;
  ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().string());
  const auto settings = dir.path() / "selkietest.ini";

  SingleInstance running;  // this test plays the first instance
  ASSERT_TRUE(running.Acquire());
  const pid_t second = StartWindow(settings);
  EXPECT_FALSE(AppearsWithin(settings, 2000)) << "the second instance wrote settings";
  int status = 0;
  EXPECT_EQ(waitpid(second, &status, WNOHANG), 0) << "it waits on its message box";
  Stop(second);
}

TEST(SecondInstanceTest, AFreeLockLetsTheWindowStart) {
  TempDir dir;
  ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().string());
  const auto settings = dir.path() / "selkietest.ini";
  const pid_t first = StartWindow(settings);
  EXPECT_TRUE(AppearsWithin(settings, 10000)) << "the window writes its settings when shown";
  SingleInstance another;
  EXPECT_FALSE(another.Acquire()) << "the running window holds the lock";
  Stop(first);
  SingleInstance afterwards;
  EXPECT_TRUE(afterwards.Acquire());
}
