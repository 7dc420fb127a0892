// Starting the window program where there may be no display: a clear message naming the ways
// out and a plain exit status, or a window when the toolkit is told which platform to use.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "TempDir.h"

namespace {

const std::string kProgram = SELKIE_PROGRAM;

struct Environment {
  std::vector<std::string> unset = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
  std::vector<std::pair<std::string, std::string>> set;
};

// Starts the program with `args` in `env`, its stderr in `errPath`, the single-instance lock in
// `runtimeDir`.
pid_t Spawn(std::vector<std::string> args, const Environment& env, const std::string& errPath,
            const std::string& runtimeDir) {
  args.insert(args.begin(), kProgram);
  const pid_t pid = fork();
  if (pid == 0) {
    for (const std::string& name : env.unset) unsetenv(name.c_str());
    for (const auto& [name, value] : env.set) setenv(name.c_str(), value.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
    (void)!freopen(errPath.c_str(), "w", stderr);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(kProgram.c_str(), argv.data());
    _exit(127);
  }
  return pid;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

TEST(WindowStartTest, WithoutADisplayTheMessageNamesHeadlessAndOffscreen) {
  Environment nothing;
  Environment unreachable;
  unreachable.set = {{"DISPLAY", ":97"}, {"QT_QPA_PLATFORM", "xcb"}};
  for (const Environment* env : {&nothing, &unreachable}) {
    TempDir dir;
    const std::filesystem::path settings = dir.path() / "s.ini";
    const pid_t pid = Spawn({"--settings", settings.string()}, *env, (dir.path() / "err").string(),
                            dir.path().string());
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal, not an exit";
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string err = ReadFile(dir.path() / "err");
    EXPECT_NE(err.find("--headless"), std::string::npos) << err;
    EXPECT_NE(err.find("QT_QPA_PLATFORM=offscreen"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(settings));
  }
}

TEST(WindowStartTest, ThePlatformOptionOpensTheWindowWithoutADisplayVariable) {
  TempDir dir;
  const std::filesystem::path settings = dir.path() / "s.ini";
  const pid_t pid = Spawn({"-platform", "offscreen", "--settings", settings.string()}, {},
                          (dir.path() / "err").string(), dir.path().string());
  bool shown = false;
  for (int waited = 0; waited < 10000 && !shown; waited += 50) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    shown = std::filesystem::exists(settings);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  EXPECT_TRUE(shown) << "the window writes its settings when shown; stderr: "
                     << ReadFile(dir.path() / "err");
}

TEST(WindowStartTest, TermIntAndHupCloseTheWindowLikeItsCloseBox) {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    TempDir dir;
    const std::filesystem::path settings = dir.path() / "s.ini";
    const std::filesystem::path link = dir.path() / "vm";
    {
      std::ofstream file(settings, std::ios::binary);
      char record[32] = {};
      record[4] = static_cast<char>(240);  // port A on COM240 (mapped to a pty below)
      record[24] = 1;                      // the Virtual Machine view
      file.write(record, sizeof record);
    }
    Environment env;
    env.set = {{"QT_QPA_PLATFORM", "offscreen"}, {"SELKIE_COM240", "pty:" + link.string()}};
    const pid_t pid = Spawn({"--settings", settings.string()}, env, (dir.path() / "err").string(),
                            dir.path().string());
    for (int waited = 0; waited < 10000 && !std::filesystem::is_symlink(link); waited += 20)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(std::filesystem::is_symlink(link)) << ReadFile(dir.path() / "err");
    kill(pid, signal);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << signal << " killed the program";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(link)) << "port A was closed, its link removed";
  }
}

TEST(WindowStartTest, AStopSignalEndsTheProgramWhileThePortPromptIsOpen) {
  TempDir dir;
  const std::filesystem::path settings = dir.path() / "s.ini";
  {
    std::ofstream file(settings, std::ios::binary);
    char record[32] = {};
    record[4] = static_cast<char>(240);  // port A on COM240, which names no device
    record[24] = 1;                      // the Virtual Machine view
    file.write(record, sizeof record);
  }
  Environment env;
  env.set = {{"QT_QPA_PLATFORM", "offscreen"},
             {"SELKIE_COM240", (dir.path() / "no-such-device").string()}};
  const pid_t pid = Spawn({"--settings", settings.string()}, env, (dir.path() / "err").string(),
                          dir.path().string());
  // The failed port opens "Select Port"; nothing outside the program shows when, so give it time.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  kill(pid, SIGTERM);
  int status = 0;
  pid_t ended = 0;
  for (int waited = 0; waited < 5000 && ended == 0; waited += 20) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ended = waitpid(pid, &status, WNOHANG);
  }
  if (ended == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  ASSERT_EQ(ended, pid) << "still running 5 s after SIGTERM; stderr: "
                        << ReadFile(dir.path() / "err");
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
