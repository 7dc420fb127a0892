// Tells when serial ports may have come or gone: udev's tty events (a USB adapter plugged in or
// pulled) and changes in the folders of the SELKIE_COM<n> targets and pty: links (a pty: port
// of another program appearing). One descriptor to wait on; TakeChanges empties it.
#pragma once

class PortWatch {
 public:
  PortWatch();
  ~PortWatch();
  PortWatch(const PortWatch&) = delete;
  PortWatch& operator=(const PortWatch&) = delete;

  // Readable (poll, a socket notifier) when something changed; -1 when nothing can be watched.
  int Fd() const { return epoll_; }
  // Empties the sources; true when anything had arrived.
  bool TakeChanges();

 private:
  void WatchTargetFolders();
  int epoll_ = -1;
  int folders_ = -1;  // inotify
  struct udev* udev_ = nullptr;
  struct udev_monitor* monitor_ = nullptr;
};
