// The headless program end to end: a test acting as an editor drives the virtual machine through
// the pseudo-terminal of `selkietest --headless --port-a pty:...`; a run with both ports on the
// virtual cable prints the controlled machine's state; SIGTERM ends a run with status 0.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "ProgramOptions.h"
#include "PtyEditor.h"
#include "SonyBytes.h"
#include "TempDir.h"

namespace {

const std::string kProgram = SELKIE_PROGRAM;

// The program as a child process with stdout and stderr in files.
class Program {
 public:
  Program(std::vector<std::string> args, const std::filesystem::path& dir)
      : out_(dir / "out.txt"), err_(dir / "err.txt") {
    args.insert(args.begin(), kProgram);
    pid_ = fork();
    if (pid_ == 0) {
      const std::string outPath = out_.string();
      const std::string errPath = (dir / "err.txt").string();
      (void)!freopen(outPath.c_str(), "w", stdout);
      (void)!freopen(errPath.c_str(), "w", stderr);
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(kProgram.c_str(), argv.data());
      _exit(127);
    }
  }
  ~Program() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  // Sends `signal` and returns the exit status, or -1 when the program did not exit normally.
  int Stop(int signal) {
    kill(pid_, signal);
    int status = 0;
    waitpid(pid_, &status, 0);
    exited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    exited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Output() const { return Read(out_); }
  std::string Errors() const { return Read(err_); }

 private:
  pid_t pid_ = -1;
  bool exited_ = false;
  std::filesystem::path out_;
  std::filesystem::path err_;

  static std::string Read(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
};

}  // namespace

TEST(HeadlessTest, EditorGetsTheExactRepliesOverThePty) {
  TempDir dir;
  const std::string link = (dir.path() / "vm").string();
  Program program({"--headless", "--port-a", "pty:" + link, "--log"}, dir.path());
  PtyEditor editor(link);
  ASSERT_TRUE(editor.IsOpen());

  EXPECT_EQ(editor.Request(Framed({0x00, 0x11})), Framed({0x12, 0x11, 0xF1, 0x1D}))
      << "device type: DA88 in EBU";
  EXPECT_EQ(editor.Request(Framed({0x20, 0x01})), Framed({0x10, 0x01})) << "PLAY acknowledged";
  const std::vector<uint8_t> status = editor.Request(Framed({0x61, 0x20, 0x0F}));
  ASSERT_EQ(status.size(), 18u);
  EXPECT_EQ(status[0], 0x7F);
  EXPECT_EQ(status[3], 0x81) << "S1: playing";
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const std::vector<uint8_t> time = editor.Request(Framed({0x61, 0x0C, 0x01}));
  ASSERT_EQ(time.size(), 7u);
  EXPECT_EQ(time[0], 0x74);
  EXPECT_EQ(time[1], 0x04);
  EXPECT_GE(time[2], 0x03) << "the frame tick has moved the time code";
  EXPECT_EQ(editor.Request(Framed({0x20, 0x00})), Framed({0x10, 0x01})) << "STOP acknowledged";
  EXPECT_EQ(editor.Request(Framed({0x24, 0x31, 0x00, 0x00, 0x01, 0x00})), Framed({0x10, 0x01}))
      << "CUE UP WITH DATA 00:01:00:00";
  EXPECT_EQ(editor.Request(Framed({0x61, 0x0C, 0x01})),
            Framed({0x74, 0x04, 0x00, 0x00, 0x01, 0x00}))
      << "a cued machine stands at the cue point";
  EXPECT_TRUE(editor.Request({0x20, 0x00, 0x99}, 200).empty()) << "a bad checksum gets no reply";

  EXPECT_EQ(program.Stop(SIGTERM), 0);
  const std::string log = program.Output();
  EXPECT_NE(log.find("Rx:20 01 21 \n  Tx 10 01 11 \n"), std::string::npos) << log;
  EXPECT_EQ(program.Errors().find("COM60001"), std::string::npos)
      << "notes name the port as the user gave it: " << program.Errors();
  EXPECT_NE(program.Errors().find("pty:" + link), std::string::npos) << program.Errors();
}

TEST(HeadlessTest, MachineAndStandardOptionsChangeTheIdentity) {
  TempDir dir;
  const std::string link = (dir.path() / "vm").string();
  Program program({"--headless", "--port-a", "pty:" + link, "--machine", "11", "--standard", "1"},
                  dir.path());
  PtyEditor editor(link);
  ASSERT_TRUE(editor.IsOpen());
  EXPECT_EQ(editor.Request(Framed({0x00, 0x11})), Framed({0x14, 0x11, 0xF0, 0x1A, 0x00, 0xC1}))
      << "MMR-8 answers in the four-byte form";
  EXPECT_EQ(program.Stop(SIGINT), 0);
}

TEST(HeadlessTest, ControllerOnTheCablePrintsTheVirtualMachinesState) {
  TempDir dir;
  Program program({"--headless", "--port-a", "COM251", "--port-b", "COM252"}, dir.path());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (program.Output().find("DA-88") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(program.Stop(SIGTERM), 0);
  EXPECT_NE(program.Output().find("B 00:00:00:00 DA-88 PAL"), std::string::npos)
      << program.Output();
}

TEST(HeadlessTest, SettingsAreReadAndWrittenOnlyWhenNamed) {
  TempDir dir;
  const std::string link = (dir.path() / "vm").string();
  const std::filesystem::path defaultIni =
      std::filesystem::path(SELKIE_BINARY_DIR) / "app" / "selkietest.ini";
  const auto stamp = [&] {
    std::error_code ec;
    return std::filesystem::last_write_time(defaultIni, ec);
  };
  const auto before = stamp();
  {
    Program program({"--headless", "--port-a", "pty:" + link, "--standard", "2"}, dir.path());
    PtyEditor editor(link);
    ASSERT_TRUE(editor.IsOpen());
    EXPECT_EQ(program.Stop(SIGTERM), 0);
  }
  EXPECT_EQ(stamp(), before) << "the program's own settings file is not touched";
  const std::filesystem::path settings = dir.path() / "s.ini";
  Program program(
      {"--headless", "--port-a", "pty:" + link, "--settings", settings.string(), "--standard", "3"},
      dir.path());
  PtyEditor editor(link);
  ASSERT_TRUE(editor.IsOpen());
  EXPECT_EQ(program.Stop(SIGTERM), 0);
  std::ifstream in(settings, std::ios::binary);
  std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
  ASSERT_EQ(bytes.size(), 32u);
  EXPECT_EQ(bytes[0], 3);
}

TEST(HeadlessTest, APortThatCannotBeOpenedEndsTheRunWithItsMessage) {
  TempDir dir;
  const std::string device = (dir.path() / "no-such-device").string();
  Program program({"--headless", "--port-a", device}, dir.path());
  EXPECT_EQ(program.Wait(), 1);
  EXPECT_EQ(program.Errors(),
            "selkietest: cannot open " + device +
                ": ie_BadId - Specified comport doesn't exist (No such file or directory)\n")
      << "the port's own reason, in the user's words, not the fallback prompt's, with the "
         "system's";
}

TEST(HeadlessTest, VersionPrintsOneLineAndOpensNothing) {
  TempDir dir;
  Program program({"--version"}, dir.path());
  EXPECT_EQ(program.Wait(), 0);
  EXPECT_EQ(program.Output(), VersionText());
  EXPECT_EQ(program.Errors(), "");
}
