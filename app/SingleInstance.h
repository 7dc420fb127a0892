// One running copy per user: an advisory lock (flock) on "selkietestpOneCopy.lock" in
// $XDG_RUNTIME_DIR, or in /tmp with the user id in the name. The lock belongs to the open file,
// so an instance that dies frees it with its descriptors; nothing stale is left to clean up.
#pragma once

#include <filesystem>

class SingleInstance {
 public:
  SingleInstance() = default;
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // Takes the lock without waiting; false only when another instance holds it. A lock file that
  // cannot be opened at all lets the program run rather than refuse to start.
  bool Acquire();

  // The lock file for the current environment.
  static std::filesystem::path LockPath();

 private:
  int fd_ = -1;
};
