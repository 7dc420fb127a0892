// The engine host seen from its front ends: port A keeps answering while the window shows a
// modal dialog (the port prompt, an error box, the keypad), and the window and the headless run
// give an editor the same bytes for the same script.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QTest>
#include <atomic>
#include <functional>
#include <sstream>
#include <thread>

#include "ExchangeScript.h"
#include "HeadlessPrinter.h"
#include "KeypadU.h"
#include "PortMap.h"
#include "WindowFixture.h"

namespace {

constexpr int kPortAPty = 241;
const std::vector<uint8_t> kTimeSense = Framed({0x61, 0x0C, 0x01});

// A headless run of the virtual machine on `link` (a pty: port) while `editor` runs on a thread of
// its own; returns when the editor is done.
void WithHeadlessMachine(const std::string& link, const std::function<void()>& editor) {
  ProgramOptions options;
  options.headless = true;
  options.portA = "pty:" + link;
  std::ostringstream sink;
  HeadlessPrinter printer(options, sink, sink);
  printer.Start();
  std::atomic<bool> stop{false};
  std::thread client([&] {
    editor();
    stop = true;
  });
  printer.Run(stop);
  client.join();
}

class EngineHostWindowTest : public WindowTest {
 protected:
  std::string link;

  void StartOnPty() {
    link = (dir.path() / "vm").string();
    ASSERT_TRUE(PortMap::Assign(kPortAPty, "pty:" + link));
    record.ShowVirtualMachine = record.ShowMachineControl = 1;
    record.PortANumber = kPortAPty;
    record.PortBNumber = PortMap::kCableB;
    writeSettings = true;
    Start();
    ASSERT_TRUE(w->Shown().portA.open);
  }

  void TearDown() override {
    WindowTest::TearDown();
    PortMap::Unassign(kPortAPty);
  }
};

}  // namespace

TEST_F(EngineHostWindowTest, PortAAnswersWhileAnErrorBoxIsOpen) {
  StartOnPty();
  PtyEditor editor(link);
  std::vector<uint8_t> reply;
  w->Desktop.showError = [&](const QString& message) {
    errors.push_back(message);
    reply = editor.Request(kTimeSense);  // the box is up; the GUI thread is here
  };
  QTest::mouseClick(w->Panel2->vlocal, Qt::LeftButton);  // any action, then an error of the host
  w->Host().Post([](HostCore& host) { host.EnterId(std::string("not a number")); });
  ASSERT_TRUE(WaitFor([&] { return !errors.empty(); }));
  EXPECT_EQ(reply.size(), 7u) << "port A answered with the box open";
}

TEST_F(EngineHostWindowTest, PortAAnswersWhileTheKeypadIsOpen) {
  StartOnPty();
  PtyEditor editor(link);
  std::vector<uint8_t> reply;
  w->Desktop.runKeypad = [&](const QString&) {
    reply = editor.Request(kTimeSense);
    return KeypadU::kModalAbort;
  };
  w->kgotoClick();
  EXPECT_EQ(reply.size(), 7u);
}

TEST_F(EngineHostWindowTest, PortAAnswersWhileThePortPromptIsOpen) {
  StartOnPty();
  PtyEditor editor(link);
  std::vector<std::vector<uint8_t>> replies;
  w->Desktop.promptPort = [&](const std::vector<SerialSelectEntry>&) {
    ++prompts;
    for (int i = 0; i < 3; ++i) replies.push_back(editor.Request(kTimeSense));
    return kPromptCancelled;
  };
  w->ComB1Click();  // always asks, and once more after a cancel; the host waits for each answer
  Settle();
  EXPECT_EQ(prompts, 2);
  ASSERT_EQ(replies.size(), 6u);
  for (const auto& reply : replies) EXPECT_EQ(reply.size(), 7u);
}

TEST_F(EngineHostWindowTest, ErrorsWhileABoxIsOpenAreAllShownInOrder) {
  Start();
  std::vector<QString> shown;
  w->Desktop.showError = [&](const QString& message) {
    shown.push_back(message);
    if (shown.size() == 1) {  // two more errors arrive while the first box is open
      w->Host().Post([](HostCore& host) { host.EnterId(std::string("x")); });
      w->Host().Post([](HostCore& host) { host.EnterId(std::string("y")); });
      Settle();
    }
  };
  w->Host().Post([](HostCore& host) { host.EnterId(std::string("w")); });
  ASSERT_TRUE(WaitFor([&] { return shown.size() == 3; })) << shown.size();
}

TEST_F(WindowTest, WindowAndHeadlessGiveTheSameBytesForOneScript) {
  const std::string headlessLink = (dir.path() / "headless").string();
  std::vector<std::vector<uint8_t>> headless;
  WithHeadlessMachine(headlessLink, [&] {
    PtyEditor pty(headlessLink);
    headless = RunExchangeScript(pty);
  });

  const std::string windowLink = (dir.path() / "window").string();
  ASSERT_TRUE(PortMap::Assign(kPortAPty, "pty:" + windowLink));
  record.ShowVirtualMachine = 1;
  record.PortANumber = kPortAPty;
  writeSettings = true;
  Start();
  PtyEditor pty(windowLink);
  const std::vector<std::vector<uint8_t>> window = RunExchangeScript(pty);
  PortMap::Unassign(kPortAPty);

  ASSERT_EQ(headless.size(), ExchangeScript().size());
  for (std::size_t i = 0; i < headless.size(); ++i) EXPECT_FALSE(headless[i].empty()) << i;
  EXPECT_EQ(window, headless);
}

TEST_F(WindowTest, ALostDeviceIsReportedNamingItsPortOnce) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const std::string device = ::ptsname(master);
  ASSERT_TRUE(PortMap::Assign(kPortAPty, device));
  record.ShowVirtualMachine = 1;
  record.PortANumber = kPortAPty;
  writeSettings = true;
  Start();
  ASSERT_TRUE(w->Shown().portA.open);
  ::close(master);  // the device goes away under the open port
  ASSERT_TRUE(WaitFor([&] { return !errors.empty(); }));
  PortMap::Unassign(kPortAPty);
  const std::string message = errors[0].toStdString();
  std::size_t named = 0;
  for (auto at = message.find(device); at != std::string::npos; at = message.find(device, at + 1))
    ++named;
  EXPECT_EQ(named, 1u) << message;
  EXPECT_EQ(message.find("COM"), std::string::npos) << message;
  EXPECT_FALSE(w->Shown().portA.open);
}

TEST(EngineHostTest, AHalfMessageLeftByAClientThatHungUpIsNotTheNextClientsProblem) {
  TempDir dir;
  const std::string link = (dir.path() / "vm").string();
  std::vector<std::vector<uint8_t>> replies;
  WithHeadlessMachine(link, [&] {
    {
      PtyEditor first(link);
      first.Send({0x61, 0x0C});  // half a CURRENT TIME SENSE, then gone
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    PtyEditor second(link);
    for (int i = 0; i < 3; ++i) replies.push_back(second.Request(kTimeSense));
  });
  ASSERT_EQ(replies.size(), 3u);
  for (const auto& reply : replies) EXPECT_EQ(reply.size(), 7u) << "every request answered";
}
