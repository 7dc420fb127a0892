// selkietest as a child process with its standard output in a file; killed at the end of the
// scope unless it was waited for. The child inherits this process's environment.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

class ChildProgram {
 public:
  ChildProgram(const std::string& program, std::vector<std::string> args,
               const std::filesystem::path& output)
      : output_(output) {
    args.insert(args.begin(), program);
    pid_ = fork();
    if (pid_ == 0) {
      (void)!freopen(output.c_str(), "w", stdout);
      (void)!freopen((output.string() + ".err").c_str(), "w", stderr);
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
  }
  ~ChildProgram() {
    if (running_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;

  // Sends `signal` and waits: the exit status, or -1 when it did not exit.
  int Stop(int signal) {
    kill(pid_, signal);
    return Wait();
  }
  // The exit status, or -1 when it did not exit.
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    running_ = false;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Output() const { return Read(output_); }
  std::string Errors() const { return Read(output_.string() + ".err"); }

 private:
  static std::string Read(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  pid_t pid_ = -1;
  bool running_ = true;
  std::filesystem::path output_;
};
