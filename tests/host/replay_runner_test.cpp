// A replay that cannot be done says so and fails: a pty: port nobody opens, a port that is not
// there, a port that is no terminal. One exit status for all of them, the port named once.
#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <sstream>

#include "CaptureFile.h"
#include "HeadlessPrinter.h"
#include "ReplayRunner.h"
#include "SonyBytes.h"
#include "TempDir.h"

namespace {

std::string OneExchangeCapture(const TempDir& dir) {
  const std::string path = (dir.path() / "one.cap").string();
  std::ofstream(path) << kCaptureVersionLine << "\n0.000000 A rx msg 20 00 20 | STOP\n";
  return path;
}

ProgramOptions ReplayTo(const std::string& capture, const std::string& port) {
  ProgramOptions options;
  options.replay = capture;
  options.portB = port;
  return options;
}

// RunReplay's exit status, with what it printed on stderr.
int RunReplayCapturing(const ProgramOptions& options, std::string& errors) {
  std::ostringstream captured;
  std::streambuf* old = std::cerr.rdbuf(captured.rdbuf());
  const int status = RunReplay(options);
  std::cerr.rdbuf(old);
  errors = captured.str();
  return status;
}

TEST(ReplayRunner, APtyPortNobodyOpensPlaysNothingAndFails) {
  TempDir dir;
  const std::string port = "pty:" + (dir.path() / "machine").string();
  std::ostringstream out;
  ReplayRunner runner(ReplayTo(OneExchangeCapture(dir), port), out, std::chrono::milliseconds(200));
  try {
    runner.Start();
    runner.Run();
    ADD_FAILURE() << "reported as played: " << out.str();
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()),
              "nothing opened " + port + " within 0.2 s; no request was played");
  }
  EXPECT_EQ(out.str().find("exchanges"), std::string::npos) << out.str();
}

TEST(ReplayRunner, APortThatCannotBeUsedIsNamedOnceWithTheSystemsReason) {
  TempDir dir;
  const std::string capture = OneExchangeCapture(dir);
  const std::pair<std::string, std::string> cases[] = {
      {"/dev/selkie-no-such-port",
       "selkietest: cannot open /dev/selkie-no-such-port: ie_BadId - Specified comport doesn't "
       "exist (No such file or directory)\n"},
      {"/dev/null", "selkietest: cannot open /dev/null: Inappropriate ioctl for device\n"}};
  for (const auto& [port, message] : cases) {
    std::string errors;
    EXPECT_EQ(RunReplayCapturing(ReplayTo(capture, port), errors), 1) << port;
    EXPECT_EQ(errors, message);
    // A headless run fails the same way, with the same words.
    ProgramOptions headless;
    headless.headless = true;
    headless.portA = port;
    std::ostringstream out;
    HeadlessPrinter printer(headless, out, out);
    try {
      printer.Start();
      ADD_FAILURE() << port;
    } catch (const std::exception& e) {
      EXPECT_EQ("selkietest: " + std::string(e.what()) + "\n", message);
    }
  }
}

}  // namespace
