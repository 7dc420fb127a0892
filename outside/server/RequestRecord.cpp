#include "RequestRecord.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

namespace vyoserver {
namespace {

// One write per line with O_APPEND keeps lines whole even when several processes share a log.
// Callers never look at a result, so a log that cannot be written is skipped silently; the
// in-memory record still holds the line.
void appendToLogFile(const std::string &line) {
  const char *path = std::getenv("VYOSERVER_LOG");
  if (path == nullptr || *path == '\0') return;
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  const std::string text = line + '\n';
  [[maybe_unused]] const ssize_t written = ::write(fd, text.data(), text.size());
  ::close(fd);
}

}  // namespace

void RequestRecord::add(const std::string &line) {
  const std::lock_guard lock(mutex_);
  appendToLogFile(line);
  if (lines_.size() == kCapacity) lines_.pop_front();
  lines_.push_back(line);
}

std::size_t RequestRecord::count() const {
  const std::lock_guard lock(mutex_);
  return lines_.size();
}

std::optional<std::string> RequestRecord::line(std::size_t n) const {
  const std::lock_guard lock(mutex_);
  if (n >= lines_.size()) return std::nullopt;
  return lines_[n];
}

void RequestRecord::clear() {
  const std::lock_guard lock(mutex_);
  lines_.clear();
}

RequestRecord &requestRecord() {
  static RequestRecord record;
  return record;
}

}  // namespace vyoserver
