// One copy per user: the second taker of the lock is refused, a released or dead holder frees it;
// a lock file planted by someone else is not used, and the program is told why.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

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

TEST(SingleInstanceTest, ALockFileOfAnotherUserIsNotUsedAndTheWarningSaysWhose) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
  TempDir dir;
  const auto path = dir.path() / "selkietestpOneCopy-0.lock";
  std::ofstream(path).put('x');
  ASSERT_EQ(chmod(path.c_str(), 0666), 0);
  ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
  SingleInstance instance(path);
  EXPECT_TRUE(instance.Acquire()) << "the program runs";
  EXPECT_EQ(instance.Warning(), "the lock file " + path.string() +
                                    " belongs to uid 65534 (mode 0666), not to this user (uid 0); "
                                    "running without the check for another copy");
}

TEST(SingleInstanceTest, APlantedLinkIsNotFollowedAndTheWarningSaysSo) {
  TempDir dir;
  const auto target = dir.path() / "elsewhere";
  const auto path = dir.path() / "selkietestpOneCopy.lock";
  ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
  SingleInstance instance(path);
  EXPECT_TRUE(instance.Acquire());
  EXPECT_EQ(instance.Warning(),
            "the lock file " + path.string() +
                " is a symbolic link; running without the check for another copy");
  EXPECT_FALSE(std::filesystem::exists(target)) << "nothing was created through the link";
}
