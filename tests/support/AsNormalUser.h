// Runs a check as a normal user. Root may write any file in any folder, so checks of what a user
// may not do would pass vacuously under a suite run as root: there the check runs in a forked
// child that has dropped to nobody (65534). The check returns "" when it held, else what failed;
// the text comes back through a pipe.
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string>

namespace testsupport {

constexpr uid_t kNobody = 65534;

// The id a check runs under: nobody under root, else the caller.
inline uid_t NormalUser() { return geteuid() == 0 ? kNobody : geteuid(); }

// `folder` is handed to that user first (when it is another), so the check can work in it.
inline std::string RunAsNormalUser(const std::string& folder,
                                   const std::function<std::string()>& check) {
  if (geteuid() == 0 && chown(folder.c_str(), kNobody, kNobody) != 0)
    return "cannot hand " + folder + " to nobody";
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return "no pipe";
  const pid_t child = fork();
  if (child < 0) return "no fork";
  if (child == 0) {
    close(pipeFds[0]);
    std::string verdict = "cannot drop to nobody";
    if (geteuid() != 0 || (setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 &&
                           setuid(kNobody) == 0 && geteuid() == kNobody)) {
      verdict = check();
    }
    (void)!write(pipeFds[1], verdict.data(), verdict.size());
    _exit(0);
  }
  close(pipeFds[1]);
  std::string verdict;
  char buffer[512];
  for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
    if (n > 0) verdict.append(buffer, std::size_t(n));
    if (n < 0 && errno != EINTR) break;
  }
  close(pipeFds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return verdict + " (the check died)";
  return verdict;
}

}  // namespace testsupport
