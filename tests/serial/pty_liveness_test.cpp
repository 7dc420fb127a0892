// A pty: port's liveness names: another user's socket planted at one of them neither blocks the
// path nor passes for a live port of ours.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "PtyDevice.h"
#include "SerialErrors.h"

namespace {

// A child process of another user holding the abstract socket `name` until it is killed.
pid_t PlantSocketAsAnotherUser(const std::string& name) {
  int ready[2];
  if (pipe(ready) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(1);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.data(), name.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 || listen(fd, 4) != 0)
      _exit(1);
    (void)!write(ready[1], "k", 1);
    pause();
    _exit(0);
  }
  ::close(ready[1]);
  char byte = 0;
  const bool planted = read(ready[0], &byte, 1) == 1;
  ::close(ready[0]);
  if (!planted) {
    waitpid(child, nullptr, 0);
    return -1;
  }
  return child;
}

TEST(PtyLiveness, AnotherUsersSocketAtTheNameNeitherBlocksNorCounts) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  const std::string link = "/tmp/selkie-" + std::to_string(getpid()) + "-planted";
  const pid_t squatter = PlantSocketAsAnotherUser(PtyDevice::LivenessName(link, 0));
  ASSERT_GT(squatter, 0);
  EXPECT_FALSE(PtyDevice::LinkInUse(link)) << "another user's socket is no port of ours";
  {
    PtyDevice port(link);  // refused as "device already open" before
    EXPECT_TRUE(PtyDevice::LinkInUse(link));
    EXPECT_THROW(PtyDevice second(link), EAlreadyOpen);
  }
  EXPECT_FALSE(PtyDevice::LinkInUse(link));
  kill(squatter, SIGKILL);
  waitpid(squatter, nullptr, 0);
}

}  // namespace
