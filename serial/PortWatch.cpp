#include "PortWatch.h"

#include <libudev.h>
#include <sys/epoll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <set>
#include <string>

#include "PortMap.h"

namespace {

void Add(int epoll, int fd) {
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.fd = fd;
  epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event);
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

}  // namespace

PortWatch::PortWatch() {
  epoll_ = epoll_create1(EPOLL_CLOEXEC);
  if (epoll_ < 0) return;
  udev_ = udev_new();
  monitor_ = udev_ ? udev_monitor_new_from_netlink(udev_, "udev") : nullptr;
  if (monitor_ && udev_monitor_filter_add_match_subsystem_devtype(monitor_, "tty", nullptr) == 0 &&
      udev_monitor_enable_receiving(monitor_) == 0) {
    Add(epoll_, udev_monitor_get_fd(monitor_));
  }
  WatchTargetFolders();
}

PortWatch::~PortWatch() {
  if (monitor_) udev_monitor_unref(monitor_);
  if (udev_) udev_unref(udev_);
  if (folders_ >= 0) ::close(folders_);
  if (epoll_ >= 0) ::close(epoll_);
}

// The fixed device ranges live in /dev, which udev covers; overrides and pty: links may be
// anywhere.
void PortWatch::WatchTargetFolders() {
  std::set<std::string> folders;
  for (int number : PortMap::MappedNumbers()) {
    const PortTarget target = PortMap::Resolve(number);
    if (target.kind == PortTarget::Kind::Device || target.kind == PortTarget::Kind::Pty) {
      folders.insert(FolderOf(target.path));
    }
  }
  folders.erase("/dev/");
  if (folders.empty()) return;
  folders_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (folders_ < 0) return;
  for (const std::string& folder : folders) {
    inotify_add_watch(folders_, folder.c_str(),
                      IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO);
  }
  Add(epoll_, folders_);
}

bool PortWatch::TakeChanges() {
  bool changed = false;
  if (monitor_) {
    while (udev_device* device = udev_monitor_receive_device(monitor_)) {
      udev_device_unref(device);
      changed = true;
    }
  }
  if (folders_ >= 0) {
    char events[4096];
    while (::read(folders_, events, sizeof events) > 0) changed = true;
  }
  return changed;
}
