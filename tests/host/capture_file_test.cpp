// The capture file as the recorder writes it: only regular files, never through another user's
// link, a fresh line after a cut-off session, and a write that fails stops the capture with one
// message.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "CaptureFile.h"
#include "HeadlessPrinter.h"
#include "PtyEditor.h"
#include "SonyBytes.h"
#include "TempDir.h"
#include "TrafficRecorder.h"

namespace {

std::string Contents(const std::filesystem::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string StartError(const std::string& path) {
  TrafficRecorder recorder;
  try {
    recorder.StartCapture(path, Micros(0));
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "(started)";
}

TEST(CaptureFile, OnlyARegularFileIsCapturedTo) {
  TempDir dir;
  const std::string fifo = (dir.path() / "fifo").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // A FIFO with no reader held the host for good before.
  for (const std::string& path : {fifo, std::string("/dev/full"), dir.path().string()}) {
    EXPECT_EQ(StartError(path), "Cannot capture to " + path + ": it is not a regular file");
  }
}

TEST(CaptureFile, AnotherUsersLinkIsRefusedTheUsersOwnIsFollowed) {
  TempDir dir;
  const std::filesystem::path target = dir.path() / "mine.txt";
  const std::filesystem::path own = dir.path() / "own-link";
  std::filesystem::create_symlink(target, own);
  {
    TrafficRecorder recorder;
    recorder.StartCapture(own.string(), Micros(0));
  }
  EXPECT_EQ(Contents(target), std::string(kCaptureVersionLine) + "\n");
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give a link to another user";
  const std::filesystem::path planted = dir.path() / "planted";
  std::filesystem::create_symlink(dir.path() / "victim.txt", planted);
  ASSERT_EQ(lchown(planted.c_str(), 65534, 65534), 0);
  EXPECT_EQ(StartError(planted.string()),
            "Cannot capture to " + planted.string() + ": it is a link owned by another user");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "victim.txt"));
}

TEST(CaptureFile, ASessionAppendedAfterACutStartsOnAFreshLineAndReadsBack) {
  TempDir dir;
  const std::filesystem::path path = dir.path() / "cut.txt";
  std::ofstream(path) << kCaptureVersionLine << "\n0.000000 A rx msg 20 01 21 | PLAY\n0.0001";
  TrafficRecorder recorder;
  recorder.StartCapture(path.string(), Micros(0));
  recorder.Received('A', Framed({0x20, 0x00}), Micros(5));
  recorder.StopCapture();
  std::vector<std::string> warnings;
  const std::vector<CaptureRecord> records = CaptureReader::ReadFile(path.string(), &warnings);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].bytes, Framed({0x20, 0x00}));
  EXPECT_EQ(warnings.size(), 1u);
  EXPECT_NE(Contents(path).find("0.0001\n# selkietest capture 1\n"), std::string::npos);
}

// A file limit stands for a full disk: the run goes on, the capture stops, one message says why,
// and the file ends on whole lines of the capture.
TEST(CaptureFile, AWriteThatFailsStopsTheCaptureWithOneMessage) {
  TempDir dir;
  const std::filesystem::path path = dir.path() / "full.txt";
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    TrafficRecorder recorder;
    recorder.StartCapture(path.string(), Micros(0));
    int failures = 0;
    std::string message;
    for (int i = 0; i < 400; ++i) {
      recorder.Received('A', Framed({0x61, 0x0C, 0x01}), Micros(i * 1000));
      recorder.Flush(Micros(i * 1000));
      if (std::optional<std::string> failure = recorder.TakeCaptureFailure()) {
        ++failures;
        message = *failure;
      }
    }
    const bool said = message == "Capture to " + path.string() + " stopped: File too large";
    _exit(failures == 1 && said && !recorder.Capturing() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::vector<std::string> warnings;
  EXPECT_GT(CaptureReader::ReadFile(path.string(), &warnings).size(), 10u);
  EXPECT_LE(std::filesystem::file_size(path), 4096u);
}

}  // namespace

namespace {

// Under a file limit that stands for a full disk, a headless run of `options` whose editor on
// `link` keeps asking: whether it said once on stderr that the capture stopped, and failed.
bool FullDiskSaidOnce(const ProgramOptions& options, const std::string& link) {
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{8192, 8192};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::ostringstream out;
    std::atomic<bool> stop{false};
    HeadlessPrinter printer(options, out, out);
    printer.Start();
    std::thread run([&] { printer.Run(stop); });
    {
      PtyEditor editor(link);
      for (int i = 0; i < 300 && editor.IsOpen(); ++i) editor.Request(Framed({0x61, 0x0C, 0x01}));
    }
    stop = true;
    run.join();
    const std::string said =
        "selkietest: Capture to " + *options.capture + " stopped: File too large\n";
    const std::string text = out.str();
    const bool once = text.find(said) != std::string::npos && text.find(said) == text.rfind(said);
    _exit(once && printer.ReportedErrors() ? 0 : 1);
  }
  int status = 0;
  return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// End to end: a headless run whose capture file stops taking lines says so once on stderr and
// ends with status 1 (it went on silently with status 0 before); a rack's machines too, whose
// lines go to the same file.
TEST(CaptureFile, AHeadlessRunWhoseCaptureFailsReportsItAndFails) {
  TempDir dir;
  ProgramOptions options;
  options.headless = true;
  options.portA = "pty:" + (dir.path() / "editor").string();
  options.capture = (dir.path() / "full.txt").string();
  EXPECT_TRUE(FullDiskSaidOnce(options, (dir.path() / "editor").string())) << "port A";
  options.rack = "2";
  options.portA = "pty:" + (dir.path() / "vtr{n}").string();
  options.capture = (dir.path() / "rack.txt").string();
  EXPECT_TRUE(FullDiskSaidOnce(options, (dir.path() / "vtr2").string())) << "a rack's machine";
}

}  // namespace
