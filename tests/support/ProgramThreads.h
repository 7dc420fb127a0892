// The program as a child process seen from outside: started with its own arguments and
// environment, its threads listed by name from /proc, killed at the end of the scope.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

class WatchedProgram {
 public:
  WatchedProgram(const std::string& program, std::vector<std::string> args,
                 const std::vector<std::pair<std::string, std::string>>& env) {
    args.insert(args.begin(), program);
    pid_ = ::fork();
    if (pid_ != 0) return;
    for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ~WatchedProgram() {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  WatchedProgram(const WatchedProgram&) = delete;
  WatchedProgram& operator=(const WatchedProgram&) = delete;

  // The name of each of its threads ("comm": a thread nobody named carries the program's name).
  std::vector<std::string> ThreadNames() const {
    std::vector<std::string> names;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid_) + "/task";
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator(tasks, ec)) {
      std::ifstream comm(task.path() / "comm");
      std::string name;
      std::getline(comm, name);
      names.push_back(name);
    }
    return names;
  }

 private:
  pid_t pid_ = -1;
};

// True when a byte can be read from `fd` within `waitMs`: the far side is talking.
inline bool Readable(int fd, int waitMs) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, waitMs) == 1 && (p.revents & POLLIN);
}

inline std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& n : names) text += "[" + n + "] ";
  return text;
}
