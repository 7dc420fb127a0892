// The window program's threads with port A and port B open on pseudo-terminals and busy: the
// headless program's threads plus the GUI thread, and nothing per port. Threads the toolkit
// starts by itself carry the names it gives them (none under offscreen today) and are not counted.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "ProgramThreads.h"
#include "PtyEditor.h"
#include "SettingsFile.h"
#include "SonyBytes.h"
#include "TempDir.h"

namespace {

// Drives both ports until each has carried traffic, then lists the program's threads.
std::vector<std::string> ThreadsWithBothPortsBusy(const WatchedProgram& program,
                                                  const std::string& linkA,
                                                  const std::string& linkB) {
  PtyEditor editor(linkA, 10000);
  PtyEditor machine(linkB, 10000);
  EXPECT_TRUE(editor.IsOpen());
  EXPECT_TRUE(machine.IsOpen());
  EXPECT_EQ(editor.Request(Framed({0x61, 0x0C, 0x01}), 2000).size(), 7u);
  EXPECT_FALSE(machine.ReadReply(2000).empty()) << "the controller polls on port B";
  EXPECT_EQ(editor.Request(Framed({0x20, 0x01})), Framed({0x10, 0x01}));
  return program.ThreadNames();
}

// Threads of the program's own code are unnamed and so carry the program's name.
long Own(const std::vector<std::string>& threads) {
  return std::count(threads.begin(), threads.end(), "selkietest");
}

}  // namespace

TEST(WindowThreadsTest, TheWindowAddsOnlyTheGuiThreadWithBothPortsOpen) {
  TempDir dir;
  const std::string linkA = (dir.path() / "a").string();
  const std::string linkB = (dir.path() / "b").string();
  std::vector<std::string> headless;
  {
    WatchedProgram program(SELKIE_PROGRAM,
                           {"--headless", "--port-a", "pty:" + linkA, "--port-b", "pty:" + linkB,
                            "--settings", (dir.path() / "h.ini").string()},
                           {});
    headless = ThreadsWithBothPortsBusy(program, linkA, linkB);
  }
  // Killed, the headless program leaves its links behind, pointing at terminals that may be
  // someone else's by now: the editors must wait for the window program's own.
  std::filesystem::remove(linkA);
  std::filesystem::remove(linkB);
  SettingsRecord record;
  record.ShowVirtualMachine = 1;
  record.ShowMachineControl = 1;
  record.PortANumber = 241;
  record.PortBNumber = 242;
  const std::string settings = (dir.path() / "s.ini").string();
  SettingsFile(settings).Save(record);
  WatchedProgram program(SELKIE_PROGRAM, {"-platform", "offscreen", "--settings", settings},
                         {{"SELKIE_COM241", "pty:" + linkA},
                          {"SELKIE_COM242", "pty:" + linkB},
                          {"XDG_RUNTIME_DIR", dir.path().string()}});
  const std::vector<std::string> window = ThreadsWithBothPortsBusy(program, linkA, linkB);

  ASSERT_GE(Own(headless), 1) << "the headless program was running";
  ASSERT_GE(Own(window), 1) << "the window program was running";
  EXPECT_LE(Own(window), Own(headless) + 1)
      << "the GUI thread at most; headless: " << Joined(headless) << " window: " << Joined(window);
  EXPECT_LE(Own(window), 4) << "GUI, plus the headless program's main, engine host and settings "
                               "writer; found: "
                            << Joined(window);
}
