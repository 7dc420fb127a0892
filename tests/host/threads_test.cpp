// The headless program's threads with both ports open on pseudo-terminals and busy: the main
// thread, the engine host and the settings writer, and no thread per port.
#include <gtest/gtest.h>

#include "ProgramThreads.h"
#include "PtyEditor.h"
#include "SonyBytes.h"
#include "TempDir.h"

TEST(ThreadsTest, HeadlessWithBothPortsOnPtysRunsAtMostThreeThreads) {
  TempDir dir;
  const std::string linkA = (dir.path() / "a").string();
  const std::string linkB = (dir.path() / "b").string();
  WatchedProgram program(SELKIE_PROGRAM,
                         {"--headless", "--port-a", "pty:" + linkA, "--port-b", "pty:" + linkB,
                          "--settings", (dir.path() / "s.ini").string()},
                         {});
  PtyEditor editor(linkA);
  PtyEditor machine(linkB);
  ASSERT_TRUE(editor.IsOpen());
  ASSERT_TRUE(machine.IsOpen());
  // Both ports in use before counting: port A answers, port B's controller polls its machine.
  ASSERT_EQ(editor.Request(Framed({0x61, 0x0C, 0x01})).size(), 7u);
  ASSERT_TRUE(machine.ReadReply(2000).size() > 0) << "the controller polls on port B";
  ASSERT_EQ(editor.Request(Framed({0x20, 0x01})), Framed({0x10, 0x01}));

  const std::vector<std::string> threads = program.ThreadNames();
  EXPECT_GE(threads.size(), 1u) << "the program is running";
  EXPECT_LE(threads.size(), 3u) << "main, engine host, settings writer; found " << threads.size()
                                << ": " << Joined(threads);
}
