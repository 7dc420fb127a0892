// Replay end to end: a session with a fresh virtual machine (a headless selkietest behind a pty) is
// captured, then played with `selkietest --replay` to another fresh machine (no difference) and to
// one with another identity (exactly the device-type exchanges differ).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "CaptureFile.h"
#include "PtyEditor.h"
#include "SonyBytes.h"
#include "TempDir.h"
#include "sonyname.h"

namespace {

const std::string kProgram = SELKIE_PROGRAM;

// selkietest as a child process, its standard output in a file; killed at the end of the scope.
class Child {
 public:
  Child(std::vector<std::string> args, const std::filesystem::path& output) : output_(output) {
    args.insert(args.begin(), kProgram);
    pid_ = fork();
    if (pid_ == 0) {
      (void)!freopen(output.c_str(), "w", stdout);
      (void)!freopen("/dev/null", "w", stderr);
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(kProgram.c_str(), argv.data());
      _exit(127);
    }
  }
  ~Child() {
    if (running_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    running_ = false;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Output() const {
    std::ifstream in(output_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  pid_t pid_ = -1;
  bool running_ = true;
  std::filesystem::path output_;
};

Child Machine(const TempDir& dir, const std::string& name, int identity) {
  return Child({"--headless", "--port-a", "pty:" + (dir.path() / name).string(), "--machine",
                std::to_string(identity)},
               dir.path() / (name + ".out"));
}

// An editor's session, captured as port A of the machine sees it.
void CaptureSession(const std::string& device, const std::filesystem::path& file) {
  const std::vector<Bytes> requests = {Framed({0x00, 0x11}),
                                       Framed({0x61, 0x20, 0x0F}),
                                       Framed({0x24, 0x31, 0x00, 0x00, 0x10, 0x01}),
                                       Framed({0x61, 0x0C, 0x01}),
                                       Framed({0x20, 0x01}),
                                       Framed({0x61, 0x0C, 0x01}),
                                       Framed({0x61, 0x20, 0x04}),
                                       Framed({0x40, 0x10}),
                                       Framed({0x80, 0x01}),
                                       Framed({0x61, 0x30, 0x0D}),
                                       Framed({0x00, 0x11}),
                                       Framed({0x20, 0x00})};
  PtyEditor editor(device);
  ASSERT_TRUE(editor.IsOpen());
  std::ofstream out(file);
  CaptureWriter writer(out);
  Micros at{0};
  for (const Bytes& request : requests) {
    writer.Write("A", Direction::Rx, Frame{request, FrameKind::Message, at, at});
    const Bytes reply = editor.Request(request, 2000);
    ASSERT_FALSE(reply.empty());
    at += Micros(1000);
    writer.Write("A", Direction::Tx, Frame{reply, FrameKind::Message, at, at});
    at += Micros(40000);
  }
}

int Replay(const TempDir& dir, const std::string& name, const std::filesystem::path& capture,
           std::string& output, bool exact = false) {
  std::vector<std::string> args = {"--replay", capture.string(), "--port-b",
                                   (dir.path() / name).string()};
  if (exact) args.push_back("--exact");
  Child replay(args, dir.path() / (name + ".replay"));
  const int status = replay.Wait();
  output = replay.Output();
  return status;
}

TEST(ReplayTest, FreshMachineAnswersLikeTheCapture) {
  TempDir dir;
  const auto capture = dir.path() / "session.cap";
  {
    Child first = Machine(dir, "first", 0);
    CaptureSession((dir.path() / "first").string(), capture);
  }
  Child second = Machine(dir, "second", 0);
  PtyEditor wait((dir.path() / "second").string());  // the link exists once the machine runs
  std::string output;
  EXPECT_EQ(Replay(dir, "second", capture, output), 0) << output;
  EXPECT_NE(output.find("replay: 12 exchanges, 0 differ"), std::string::npos) << output;
  EXPECT_NE(output.find("reply time: n 12  min "), std::string::npos) << output;
}

TEST(ReplayTest, AnotherIdentityDiffersInTheDeviceTypeExchangesOnly) {
  TempDir dir;
  const auto capture = dir.path() / "session.cap";
  {
    Child first = Machine(dir, "first", 0);
    CaptureSession((dir.path() / "first").string(), capture);
  }
  Child other = Machine(dir, "other", 5);  // Pro-Tools
  PtyEditor wait((dir.path() / "other").string());
  std::string output;
  EXPECT_EQ(Replay(dir, "other", capture, output), 1) << output;
  EXPECT_NE(output.find("replay: 12 exchanges, 2 differ"), std::string::npos) << output;
  EXPECT_NE(output.find(
                "#1 DEVICE TYPE REQUEST\n  captured 12 11 F1 1D 31 DEVICE TYPE DA-88 PAL (F1 1D)\n"
                "  replied  12 11 D1 E1 D5 DEVICE TYPE Pro-Tools PAL (D1 E1)\n"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("#11 DEVICE TYPE REQUEST"), std::string::npos) << output;
}

TEST(ReplayTest, ExactComparisonSeesTheMovingTimeCode) {
  TempDir dir;
  const auto capture = dir.path() / "session.cap";
  {
    Child first = Machine(dir, "first", 0);
    CaptureSession((dir.path() / "first").string(), capture);
  }
  // The captured time after PLAY is replaced by one the machine cannot have reached.
  std::vector<CaptureRecord> records = CaptureReader::ReadFile(capture.string());
  records[11].bytes = Framed({0x74, 0x04, 0x00, 0x00, 0x00, 0x23});
  {
    std::ofstream out(capture);
    out << kCaptureVersionLine << "\n";
    for (const CaptureRecord& r : records) out << FormatCaptureLine(r) << "\n";
  }
  Child second = Machine(dir, "second", 0);
  PtyEditor wait((dir.path() / "second").string());
  std::string output;
  EXPECT_EQ(Replay(dir, "second", capture, output), 0) << output;
  EXPECT_EQ(Replay(dir, "second", capture, output, true), 1) << output;
  EXPECT_NE(output.find("#6 CURRENT TIME SENSE LTC\n  captured 74 04 00 00 00 23"),
            std::string::npos)
      << output;
}

TEST(ReplayTest, ACommandLineOrFileThatCannotWork) {
  TempDir dir;
  std::string output;
  const auto notCapture = dir.path() / "not.cap";
  std::ofstream(notCapture) << "hello\n";
  EXPECT_EQ(Replay(dir, "nothing-here", notCapture, output), 1);  // a file that cannot be used
  Child noPort({"--replay", notCapture.string()}, dir.path() / "noport.out");
  EXPECT_EQ(noPort.Wait(), 2);
}

}  // namespace
