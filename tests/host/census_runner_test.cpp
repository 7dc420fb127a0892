// The one-shot runs end to end: a census and a send against a headless selkietest behind a pty,
// the port probe finding a machine on a mapped pty and on the far end of the virtual cable, and
// the editor census of a scripted editor over the cable.
#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <thread>

#include "CensusRunner.h"
#include "ChildProgram.h"
#include "LineExchange.h"
#include "MiniJson.h"
#include "NullModemCable.h"
#include "PortProbe.h"
#include "PtyEditor.h"
#include "ReplyShaper.h"
#include "SonyBytes.h"
#include "TempDir.h"
#include "VirtualMachine.h"

namespace {

using namespace std::chrono_literals;

const std::string kProgram = SELKIE_PROGRAM;

// A headless selkietest whose virtual machine listens at dir/name; returns once the link exists.
struct MachineChild {
  MachineChild(const TempDir& dir, const std::string& name, std::vector<std::string> extra = {})
      : link((dir.path() / name).string()),
        child(kProgram, Args(link, std::move(extra)), dir.path() / (name + ".out")) {
    PtyEditor wait(link);  // opens once the machine has made the link
  }
  static std::vector<std::string> Args(const std::string& link, std::vector<std::string> extra) {
    std::vector<std::string> args = {"--headless", "--port-a", "pty:" + link, "--tick", "40"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }
  std::string link;
  ChildProgram child;
};

int RunProgram(const TempDir& dir, std::vector<std::string> args, std::string& output) {
  ChildProgram run(kProgram, std::move(args), dir.path() / "run.out");
  const int status = run.Wait();
  output = run.Output() + run.Errors();
  return status;
}

// The virtual machine on end A of the cable, answering on a thread of its own.
class CableMachine {
 public:
  CableMachine() : end_(0) {
    vm_.RestoreSettings(VmSettings{0, 0, 0, false});
    vm_.FormShow();
    thread_ = std::thread([this] { Serve(); });
  }
  ~CableMachine() {
    stop_ = true;
    thread_.join();
  }

 private:
  void Serve() {
    while (!stop_) {
      pollfd p{end_.Fd(), POLLIN, 0};
      if (::poll(&p, 1, 10) <= 0) continue;
      uint8_t buffer[64];
      const ssize_t n = end_.Read(buffer, sizeof buffer);
      if (n <= 0) continue;
      const Bytes reply =
          vm_.DataAvailable(std::span(buffer, static_cast<std::size_t>(n)), VmEventContext{})
              .ReplyBytes();
      if (!reply.empty()) end_.Write(reply.data(), reply.size());
    }
  }

  NullModemCableEnd end_;
  VirtualMachine vm_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST(CensusProgram, DefaultMachineAnswersEverythingAndTheJsonReportAgreesWithTheExit) {
  TempDir dir;
  MachineChild machine(dir, "vm");
  const std::string report = (dir.path() / "census.json").string();
  std::string output;
  const int status = RunProgram(
      dir, {"--census", "--port-b", machine.link, "--seconds", "1", "--report", report}, output);
  std::ifstream in(report);
  const JsonValue json = MiniJson::Parse(std::string(std::istreambuf_iterator<char>(in), {}));
  EXPECT_EQ(json["device_type"].text, "F1 1D");
  EXPECT_EQ(json["timeouts"].number, 0);
  EXPECT_EQ(json["checksum_errors"].number, 0);
  EXPECT_GE(json["polls"].number, 20);
  EXPECT_FALSE(json["transport"]["on"].boolean);
  for (const JsonValue& command : json["commands"].items) {
    EXPECT_TRUE(command["reply"].text == "data" || command["reply"].text == "ack")
        << command["request"].text;
  }
  // The machine behind the pty is a whole program on a shared computer: a reply may now and
  // then start late, and then the verdict must say so. Nothing else may fail.
  const auto& faults = json["faults"].items;
  EXPECT_EQ(json["conforms"].boolean, faults.empty());
  EXPECT_EQ(status, faults.empty() ? 0 : 1) << output;
  for (const JsonValue& fault : faults)
    EXPECT_NE(fault.text.find("later than 9 ms"), std::string::npos) << fault.text;
  EXPECT_EQ(output, "census: DA-88 PAL (F1 1D): " +
                        std::string(faults.empty() ? "conforms" : "does not conform") +
                        "\nreport: " + report + "\n");
}

TEST(CensusProgram, PersonalityDelayAndDropsShowInTheReport) {
  TempDir dir;
  const auto personality = dir.path() / "deck.toml";
  std::ofstream(personality) << "name = \"slow-lossy\"\n[timing]\nreply_delay_ms = 3\n"
                                "[faults]\ndrop_every = 10\n";
  MachineChild machine(dir, "vm", {"--personality", personality.string()});
  const std::string report = (dir.path() / "census.json").string();
  std::string output;
  EXPECT_EQ(
      RunProgram(dir, {"--census", "--port-b", machine.link, "--seconds", "1", "--report", report},
                 output),
      1)
      << output;
  std::ifstream in(report);
  const JsonValue json = MiniJson::Parse(std::string(std::istreambuf_iterator<char>(in), {}));
  int unanswered = 0;
  for (const JsonValue& command : json["commands"].items)
    unanswered += command["reply"].text == "none";
  // Every 10th request of the run goes unanswered: in the probe a "none", in the polls a timeout.
  const int requests = static_cast<int>(json["commands"].items.size() + json["polls"].number);
  EXPECT_EQ(unanswered + json["timeouts"].number, requests / 10);
  EXPECT_GT(json["timeouts"].number, 0);
  EXPECT_GE(json["reply_ms"]["median"].number, 3.0);
  EXPECT_LT(json["reply_ms"]["median"].number, 4.5);
  EXPECT_FALSE(json["conforms"].boolean);
}

TEST(SendProgram, FramesTheMessageAndComparesTheReply) {
  TempDir dir;
  MachineChild machine(dir, "vm");
  std::string output;
  EXPECT_EQ(
      RunProgram(dir, {"--send", "20 01", "--port-b", machine.link, "--expect", "10 01"}, output),
      0);
  EXPECT_TRUE(output.starts_with("sent  20 01 21  PLAY\nreply 10 01 11  ACK  in ")) << output;
  EXPECT_TRUE(output.ends_with(" ms\nas expected\n")) << output;
  // The expected reply may carry its checksum; a different one is exit status 1.
  EXPECT_EQ(
      RunProgram(dir, {"--send", "2000", "--port-b", machine.link, "--expect", "10 01 11"}, output),
      0)
      << output;
  EXPECT_EQ(
      RunProgram(dir, {"--send", "00 11", "--port-b", machine.link, "--expect", "10 01"}, output),
      1);
  EXPECT_NE(output.find("DEVICE TYPE DA-88 PAL (F1 1D)"), std::string::npos) << output;
  EXPECT_NE(output.find("expected 10 01\n"), std::string::npos) << output;
  // A port that is not there is bad use too, named.
  EXPECT_EQ(RunProgram(dir, {"--send", "20 01", "--port-b", "/nonexistent/tty"}, output), 2);
  EXPECT_NE(output.find("/nonexistent/tty"), std::string::npos) << output;
  // A count that CMD-1 does not announce is bad use.
  EXPECT_EQ(RunProgram(dir, {"--send", "20 01 40", "--port-b", machine.link}, output), 2);
  EXPECT_NE(output.find("CMD-1 20 announces 0 data bytes but 1 follow"), std::string::npos);
}

TEST(ProbePorts, FindsTheMachineOnAMappedPtyAndOnTheFarEndOfTheCable) {
  TempDir dir;
  MachineChild machine(dir, "vm");
  ScopedEnv mapped("SELKIE_COM77", "pty:" + machine.link);
  CableMachine cable;
  std::map<int, PortAnswer> found;
  for (const PortAnswer& answer : ProbePorts()) found[answer.number] = answer;
  ASSERT_TRUE(found.count(77) && found.count(251) && found.count(252));
  EXPECT_EQ(found[77].Line().substr(0, found[77].Line().find(" in ")),
            "COM77 (" + machine.link + "): DA-88 PAL (F1 1D)");
  EXPECT_EQ(found[252].state, PortAnswer::State::Answered);
  EXPECT_EQ(found[252].deviceName, "DA-88 PAL");
  EXPECT_EQ(found[251].Line(), "COM251 (virtual cable end A): in use");
  // The program prints the same for the mapped pty.
  std::string output;
  EXPECT_EQ(RunProgram(dir, {"--probe-ports"}, output), 0);
  EXPECT_NE(output.find("COM77 (" + machine.link + "): DA-88 PAL (F1 1D) in "), std::string::npos)
      << output;
}

TEST(EditorCensusRun, ScriptedEditorOverTheCableIsCountedExactly) {
  EditorCensusResult result;
  std::thread census([&result] {
    LineExchange line(std::make_unique<NullModemCableEnd>(0));
    VirtualMachine vm;
    vm.FormShow();
    ReplyShaper shaper;
    shaper.Attach(vm);
    result = RunEditorCensusOn(line, vm, shaper, 1500ms);
  });
  {
    NullModemCableEnd editor(1);
    auto send = [&editor](const Bytes& bytes) { editor.Write(bytes.data(), bytes.size()); };
    std::this_thread::sleep_for(100ms);  // the census is listening
    for (int i = 0; i < 8; ++i) {
      send(Framed({0x61, 0x0C, 0x01}));
      std::this_thread::sleep_for(40ms);
    }
    send(Concat({Framed({0x61, 0x20, 0x0F}), Framed({0x20, 0x01})}));  // one before its reply
    std::this_thread::sleep_for(40ms);
    send({0x61, 0x20});  // a pause inside a message
    std::this_thread::sleep_for(15ms);
    send({0x0F, 0x90});
    std::this_thread::sleep_for(40ms);
    send({0x61, 0x0C, 0x01, 0x00});  // a bad checksum
    std::this_thread::sleep_for(40ms);
    send({0x05, 0x05});  // bytes that start nothing
    std::this_thread::sleep_for(40ms);
    census.join();
  }
  EXPECT_EQ(result.messages, 11);
  ASSERT_EQ(result.commands.size(), 3u);
  EXPECT_EQ(result.commands[0].name, "CURRENT TIME SENSE");
  EXPECT_EQ(result.commands[0].count, 8);
  EXPECT_EQ(result.commands[1].count, 2);
  EXPECT_EQ(result.overlapped, 1);
  EXPECT_EQ(result.gaps, 1);
  EXPECT_GT(result.longestGapMs, 10.0);
  EXPECT_EQ(result.checksumErrors, 1);
  EXPECT_EQ(result.debrisBytes, 2);
  EXPECT_NEAR(result.pollInterval.median, 40.0, 10.0);
}

}  // namespace

// A run whose port nobody opened has done nothing: it says so and never reports success.
TEST(OneShotRuns, NothingOnTheOtherEndIsNoSuccess) {
  TempDir dir;
  const auto port = [&](const char* name) { return "pty:" + (dir.path() / name).string(); };
  ChildProgram send(kProgram, {"--send", "61 0C 01", "--port-b", port("send")},
                    dir.path() / "send.out");
  ChildProgram census(kProgram, {"--census", "--port-b", port("census"), "--seconds", "1"},
                      dir.path() / "census.out");
  ChildProgram editor(kProgram, {"--census-editor", "--port-a", port("editor"), "--seconds", "1"},
                      dir.path() / "editor.out");
  EXPECT_EQ(editor.Wait(), 1) << editor.Output();
  EXPECT_NE(editor.Output().find("no message from the editor"), std::string::npos)
      << editor.Output();
  EXPECT_NE(send.Wait(), 0);
  EXPECT_NE(send.Errors().find("nothing was sent"), std::string::npos) << send.Errors();
  EXPECT_EQ(send.Output().find("sent "), std::string::npos) << send.Output();
  EXPECT_NE(census.Wait(), 0);
  EXPECT_NE(census.Errors().find("no request was sent"), std::string::npos) << census.Errors();
}
