// One running copy per user: an advisory lock (flock) on "selkietestpOneCopy.lock" in
// $XDG_RUNTIME_DIR, or in /tmp with the user id in the name. The lock belongs to the open file,
// so an instance that dies frees it with its descriptors; nothing stale is left to clean up.
#pragma once

#include <filesystem>
#include <string>

class SingleInstance {
 public:
  SingleInstance() : SingleInstance(LockPath()) {}
  explicit SingleInstance(std::filesystem::path lockPath) : path_(std::move(lockPath)) {}
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // Takes the lock without waiting; false only when another instance holds it. A lock file that
  // cannot be used (it cannot be opened, is a link, or belongs to another user, who could hold it
  // forever) lets the program run rather than refuse to start, and Warning() says why.
  bool Acquire();

  // Why the program runs without the lock; empty when the lock file was usable.
  const std::string& Warning() const { return warning_; }

  // The lock file for the current environment.
  static std::filesystem::path LockPath();

 private:
  std::filesystem::path path_;
  std::string warning_;
  int fd_ = -1;
};
