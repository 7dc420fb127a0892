// One copy per user: the second taker of the lock is refused, a released or dead holder frees it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "SingleInstance.h"
#include "TempDir.h"

TEST(SingleInstanceTest, LockLivesInTheRuntimeFolder) {
  TempDir dir;
  ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().string());
  EXPECT_EQ(SingleInstance::LockPath(), dir.path() / "selkietestpOneCopy.lock");
}

TEST(SingleInstanceTest, WithoutRuntimeFolderTheLockNamesTheUser) {
  ScopedEnv runtime("XDG_RUNTIME_DIR", "");
  EXPECT_EQ(SingleInstance::LockPath().string(),
            "/tmp/selkietestpOneCopy-" + std::to_string(getuid()) + ".lock");
}

TEST(SingleInstanceTest, SecondInstanceIsRefusedUntilTheFirstEnds) {
  TempDir dir;
  ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().string());
  auto first = std::make_unique<SingleInstance>();
  ASSERT_TRUE(first->Acquire());
  SingleInstance second;
  EXPECT_FALSE(second.Acquire());
  first.reset();
  EXPECT_TRUE(second.Acquire());
}

TEST(SingleInstanceTest, AnInstanceThatDiedLeavesTheLockFree) {
  TempDir dir;
  ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().string());
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    SingleInstance held;
    const char ok = held.Acquire() ? 'y' : 'n';
    (void)!write(ready[1], &ok, 1);
    pause();  // killed by the parent while holding the lock
    _exit(0);
  }
  char ok = 0;
  ASSERT_EQ(read(ready[0], &ok, 1), 1);
  EXPECT_EQ(ok, 'y');
  {
    SingleInstance whileAlive;
    EXPECT_FALSE(whileAlive.Acquire());
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  SingleInstance afterDeath;
  EXPECT_TRUE(afterDeath.Acquire());
  close(ready[0]);
  close(ready[1]);
}
